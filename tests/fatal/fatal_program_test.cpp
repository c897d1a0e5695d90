// The fatal path of the whole program, black-box: the stand-in program is installed with a
// settings.ini that starts the server, runs on a display of the test's own, and its server thread
// gets SIGSEGV (by thread id) while the stand-in camera writes frames, or one of its threads runs
// out of stack. The message box comes, OK ends the program with status 1, and neither the helper
// nor the working directory is left; when the display goes away, the same end comes within a
// bounded time. Every other signal that would end the program does so with its clean-up: those
// that ask it to end with status 0, those that report a fault by the same road as SIGSEGV, and
// an end asked for while the fault's message is shown comes at once, with status 1 and no box left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/user.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "capturectl/capture_thread.h"
#include "capturectl/child_watcher.h"
#include "core/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"
#include "web/server_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

// Leaves the thread (of a child of the test) as a recursion that ran its stack full leaves it: its
// stack pointer points where no memory can be (below the lowest address the system maps), so its
// next push or return faults, and the fault's frame fits on no stack but an alternate signal
// stack. A system call it waits in ends with EINTR instead of starting again, so that the
// thread returns to its code at once.
bool FillStack(pid_t thread) {
    if (ptrace(PTRACE_SEIZE, thread, nullptr, nullptr) != 0) return false;
    int status = 0;
    user_regs_struct registers{};
    bool done = ptrace(PTRACE_INTERRUPT, thread, nullptr, nullptr) == 0 &&
                waitpid(thread, &status, __WALL) == thread &&
                ptrace(PTRACE_GETREGS, thread, nullptr, &registers) == 0;
    if (done) {
        registers.rsp = 0x800;
        const long restartFirst = -516, restartLast = -512;  // ERESTART_RESTARTBLOCK ... ERESTARTSYS
        long result = long(registers.rax);
        if (long(registers.orig_rax) >= 0 && result >= restartFirst && result <= restartLast)
            registers.rax = uint64_t(-EINTR);
        done = ptrace(PTRACE_SETREGS, thread, nullptr, &registers) == 0;
    }
    ptrace(PTRACE_DETACH, thread, nullptr, nullptr);
    return done;
}

class FatalProgram : public testing::Test {
protected:
    PrivateDisplay display;
    TempDir folder;
    std::unique_ptr<RunningProgram> program;
    pid_t helper = -1;
    std::string workDir;
    pid_t serverThread = -1;
    pid_t boxProcess = -1;

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

    void ExpectEndedCleanly(int status, int expected = 1) {
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), expected);
        EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(helper); }, 3000)) << "the camera still runs";
        EXPECT_FALSE(PathExists(workDir)) << workDir;
    }

    // After a fault: the box on screen with its text and the helper kept meanwhile; returns the
    // box's window, "" when none came.
    std::string WaitForTheBox() {
        std::vector<std::string> boxes;
        int status = 0;
        bool ended = false;
        bool shown = WaitUntil(
            [&] {
                return !(boxes = FindWindows(display.name(), "^Error$", true)).empty() ||
                       (ended = program->WaitForExit(0, status));
            },
            10000);
        EXPECT_TRUE(shown && !ended) << "no box; ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        if (!shown || ended) return {};
        for (pid_t child : ChildrenOf(program->pid())) {
            std::vector<std::string> command = CommandLineOf(child);
            if (command.size() == 5 &&
                command[4] == "An unknown error occured. The program will be terminated.")
                boxProcess = child;
        }
        EXPECT_GT(boxProcess, 0) << "no box with the text";
        EXPECT_TRUE(ProcessAlive(helper)) << "the clean-up must wait for the box";
        return boxes[0];
    }

    void ExpectTheBoxAndOkCleansUp() {
        std::string box = WaitForTheBox();
        ASSERT_FALSE(box.empty());
        int status = 0;
        RunCommand({"xdotool", "windowfocus", "--sync", box, "key", "Return"}, display.name());
        ASSERT_TRUE(program->WaitForExit(5000, status)) << "OK did not end the program";
        ExpectEndedCleanly(status);
    }
};

TEST_F(FatalProgram, ServerThreadFaultShowsTheBoxAndOkCleansUp) {
    ASSERT_TRUE(SignalThread(program->pid(), serverThread, SIGSEGV));
    ExpectTheBoxAndOkCleansUp();
}

// Each thread the program starts for as long as it runs, by the name it gives itself.
class FatalStackOverflow : public FatalProgram, public testing::WithParamInterface<const char*> {};

TEST_P(FatalStackOverflow, ThreadWhoseStackRanFullStillShowsTheBoxAndOkCleansUp) {
    std::vector<pid_t> threads;
    ASSERT_TRUE(WaitUntil([&] { return (threads = ThreadsNamed(program->pid(), GetParam())).size() == 1; }, 5000))
        << "no single thread named " << GetParam();
    ASSERT_TRUE(FillStack(threads[0])) << "the thread could not be traced";
    ExpectTheBoxAndOkCleansUp();
}

INSTANTIATE_TEST_SUITE_P(ProgramThreads, FatalStackOverflow,
                         testing::Values(serverThreadName, captureThreadName, watcherThreadName),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(name.find('-') + 1);
                         });

std::string SignalName(const testing::TestParamInfo<int>& info) { return sigabbrev_np(info.param); }

// Each signal that asks the program to end, and whose default action would leave the helper and
// the working directory behind, ends it as SIGTERM does.
class EndingSignal : public FatalProgram, public testing::WithParamInterface<int> {};

TEST_P(EndingSignal, EndsTheProgramWithTheCleanUpAndStatusZero) {
    kill(program->pid(), GetParam());
    int status = 0;
    ASSERT_TRUE(program->WaitForExit(5000, status)) << "the program did not end";
    ExpectEndedCleanly(status, 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignal,
                         testing::Values(SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPWR,
                                         SIGSTKFLT, SIGIO),
                         SignalName);

// A fault reported by a signal, on the thread the system would send it to (the whole process for
// a spent processor-time limit), and a SIGTERM while its message is shown: the end comes at once,
// with the fault's status and the clean-up, and the box's process ends with the program.
struct FaultAndEnd {
    int signal;
    const char* thread;  // a thread's name; empty for the main thread, null for the process
};

class FaultThenEnd : public FatalProgram, public testing::WithParamInterface<FaultAndEnd> {};

TEST_P(FaultThenEnd, EndAskedForWhileTheBoxIsShownComesAtOnceWithStatusOne) {
    const FaultAndEnd& fault = GetParam();
    if (fault.thread) {
        // The server thread was found in SetUp, the capture thread started the running helper.
        std::vector<pid_t> threads = *fault.thread ? ThreadsNamed(program->pid(), fault.thread)
                                                   : std::vector<pid_t>{program->pid()};
        ASSERT_EQ(threads.size(), 1u) << fault.thread;
        ASSERT_TRUE(SignalThread(program->pid(), threads[0], fault.signal));
    } else {
        ASSERT_EQ(kill(program->pid(), fault.signal), 0);
    }
    ASSERT_FALSE(WaitForTheBox().empty());

    Clock::time_point asked = Clock::now();
    kill(program->pid(), SIGTERM);
    int status = 0;
    ASSERT_TRUE(program->WaitForExit(5000, status)) << "the program did not end";
    double seconds = SecondsSince(asked);
    std::printf("%s on %s: ended %.3f s after SIGTERM\n", sigabbrev_np(fault.signal),
                fault.thread ? (*fault.thread ? fault.thread : "the main thread") : "the process", seconds);
    EXPECT_LT(seconds, 1.0);
    EXPECT_FALSE(ProcessAlive(boxProcess)) << "the box outlived the program";
    ExpectEndedCleanly(status);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultThenEnd,
    testing::Values(FaultAndEnd{SIGSEGV, ""}, FaultAndEnd{SIGSEGV, serverThreadName}, FaultAndEnd{SIGTRAP, ""},
                    FaultAndEnd{SIGSYS, serverThreadName}, FaultAndEnd{SIGXCPU, nullptr},
                    FaultAndEnd{SIGXFSZ, captureThreadName}),
    [](const testing::TestParamInfo<FaultAndEnd>& info) {
        std::string where = !info.param.thread ? "process" : *info.param.thread ? info.param.thread : "main";
        std::replace(where.begin(), where.end(), '-', '_');
        return std::string(sigabbrev_np(info.param.signal)) + "_" + where;
    });

TEST_F(FatalProgram, DisplayGoingAwayEndsTheProgramWithTheCleanUp) {
    Clock::time_point start = Clock::now();
    display.Stop();
    int status = 0;
    ASSERT_TRUE(program->WaitForExit(8000, status));
    EXPECT_LT(SecondsSince(start), 8.0);
    ExpectEndedCleanly(status);
}

}  // namespace
