// The fatal path of the whole program, black-box: the stand-in program is installed with a
// settings.ini that starts the server, runs on a display of the test's own, and its server thread
// gets SIGSEGV (by thread id) while the stand-in camera writes frames. The message box comes, OK
// ends the program with status 1, and neither the helper nor the working directory is left; when
// the display goes away, the same end comes within a bounded time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "core/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"
#include "web/server_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class FatalProgram : public testing::Test {
protected:
    PrivateDisplay display;
    TempDir folder;
    std::unique_ptr<RunningProgram> program;
    pid_t helper = -1;
    std::string workDir;
    pid_t serverThread = -1;

    void SetUp() override {
        ASSERT_TRUE(display.ok()) << "no private X display";
        std::string path = InstallStandInProgram(
            folder.path(), {{"language", "English"}, {"username", "cam"}, {"password", Sha1Hex(std::string("pw"))},
                            {"server", "1"}, {"hide", "0"}, {"ipcheck", "0"},
                            {"port", std::to_string(FreePort())}, {"device", "0"}});
        program = std::make_unique<RunningProgram>(path, std::vector<std::string>{},
                                                   std::vector<std::string>{"DISPLAY=" + display.name()},
                                                   folder.path());
        ASSERT_TRUE(WaitUntil([&] { return (helper = FindHelperOf(program->pid())) > 0; }, 10000))
            << "the camera did not start: " << program->Output();
        workDir = WorkDirOfHelper(helper);
        ASSERT_TRUE(WaitUntil([&] { return PathExists(workDir + "webcam.jpg"); }, 10000));
        std::vector<pid_t> threads;
        ASSERT_TRUE(WaitUntil(
            [&] { return (threads = ThreadsNamed(program->pid(), serverThreadName)).size() == 1; }, 5000))
            << "no single server thread";
        serverThread = threads[0];
    }

    void TearDown() override {
        program.reset();
        if (helper > 0 && ProcessAlive(helper)) kill(helper, SIGKILL);
        std::error_code ignored;
        if (!workDir.empty()) std::filesystem::remove_all(workDir, ignored);
    }

    void ExpectEndedCleanly(int status) {
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(helper); }, 3000)) << "the camera still runs";
        EXPECT_FALSE(PathExists(workDir)) << workDir;
    }
};

TEST_F(FatalProgram, ServerThreadFaultShowsTheBoxAndOkCleansUp) {
    ASSERT_TRUE(SignalThread(program->pid(), serverThread, SIGSEGV));
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitUntil([&] { return !(boxes = FindWindows(display.name(), "^Error$", true)).empty(); }, 10000))
        << "no message box";
    bool boxText = false;
    for (pid_t child : ChildrenOf(program->pid())) {
        std::vector<std::string> command = CommandLineOf(child);
        if (command.size() == 5)
            boxText = command[4] == "An unknown error occured. The program will be terminated.";
    }
    EXPECT_TRUE(boxText);
    EXPECT_TRUE(ProcessAlive(helper)) << "the clean-up must wait for the box";

    RunCommand({"xdotool", "windowfocus", "--sync", boxes[0], "key", "Return"}, display.name());
    int status = 0;
    ASSERT_TRUE(program->WaitForExit(5000, status)) << "OK did not end the program";
    ExpectEndedCleanly(status);
}

TEST_F(FatalProgram, DisplayGoingAwayEndsTheProgramWithTheCleanUp) {
    Clock::time_point start = Clock::now();
    display.Stop();
    int status = 0;
    ASSERT_TRUE(program->WaitForExit(8000, status));
    EXPECT_LT(SecondsSince(start), 8.0);
    ExpectEndedCleanly(status);
}

}  // namespace
