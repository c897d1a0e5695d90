// The process runner against real children (runner_child, shell scripts, files that cannot run):
// error lines, arguments, program lookup, reaping, killing, and one handle used by two threads.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "capturectl/process_runner.h"
#include "tests/support/session.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string child = RUNNER_CHILD_PATH;
constexpr int keepAll = processKeepHandle | processConnectOutput | processConnectError;

int32_t RunToEnd(const std::string& steps, int options = keepAll) {
    int32_t handle = RunProcess(child, steps, "", options);
    EXPECT_GT(handle, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); })) << steps;
    return handle;
}

std::vector<std::string> RemainingLines(int32_t handle) {
    std::vector<std::string> lines;
    for (std::string line; !(line = ReadProcessErrorLine(handle)).empty();) lines.push_back(line);
    return lines;
}

// The first error line, waited for while the child runs.
std::string NextLine(int32_t handle) {
    std::string line;
    EXPECT_TRUE(WaitUntil([&] { return !(line = ReadProcessErrorLine(handle)).empty(); }));
    return line;
}

void MakeFile(const std::string& path, const std::string& content, mode_t mode) {
    WriteFileText(path, content);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

// Replaces PATH for one test.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& value) {
        const char* old = std::getenv("PATH");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath() {
        if (hadOld_) setenv("PATH", old_.c_str(), 1);
        else unsetenv("PATH");
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

}  // namespace

TEST(ProcessErrorLines, CompleteLinesOneAtATimeCarriageReturnKeptUnfinishedLineNever) {
    int32_t handle = RunToEnd("say:one cr:two raw:three");
    EXPECT_EQ(ReadProcessErrorLine(handle), "one");
    EXPECT_EQ(ReadProcessErrorLine(handle), "two\r");
    EXPECT_EQ(ReadProcessErrorLine(handle), "");
    EXPECT_EQ(ReadProcessErrorLine(handle), "");
    CloseProcess(handle);
}

TEST(ProcessErrorLines, LineWrittenInTwoPartsComesWhole) {
    int32_t handle = RunProcess(child, "raw:par sleep:300 say:tial", "", keepAll);
    ASSERT_GT(handle, 0);
    // Reading all along makes sure reads happen while only the first part is there.
    std::vector<std::string> lines;
    while (ProcessRunning(handle)) {
        std::string line = ReadProcessErrorLine(handle);
        if (!line.empty()) lines.push_back(line);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (const std::string& line : RemainingLines(handle)) lines.push_back(line);
    EXPECT_EQ(lines, std::vector<std::string>{"partial"});
    CloseProcess(handle);
}

TEST(ProcessArguments, QuotesGroupAndTheChildSeesTheProgramAsGiven) {
    int32_t handle = RunToEnd("args before \"two words\" after");
    EXPECT_EQ(RemainingLines(handle),
              (std::vector<std::string>{"[" + child + "]", "[args]", "[before]", "[two words]", "[after]"}));
    CloseProcess(handle);
}

TEST(ProcessArguments, TabsLineFeedsAndRunsOfBlanksSeparate) {
    int32_t handle = RunToEnd("args\ta\nb   c ");
    EXPECT_EQ(RemainingLines(handle),
              (std::vector<std::string>{"[" + child + "]", "[args]", "[a]", "[b]", "[c]"}));
    CloseProcess(handle);
}

TEST(ProcessDirectory, ChildRunsInTheGivenDirectory) {
    TempDir dir;
    int32_t handle = RunProcess(child, "cwd", dir.path(), keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextLine(handle), std::filesystem::canonical(dir.path()).string());
    CloseProcess(handle);
}

TEST(ProcessDirectory, RelativeProgramPathStillNamesOurFileInAnotherDirectory) {
    TempDir dir, elsewhere;
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink(child.c_str(), dir.File("sub/lumora-probe").c_str()), 0);
    std::filesystem::path ours = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    int32_t handle = RunProcess("sub/lumora-probe", "args", elsewhere.path(), keepAll);
    std::filesystem::current_path(ours);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextLine(handle), "[sub/lumora-probe]") << "the child sees the path as given";
    EXPECT_EQ(NextLine(handle), "[args]");
    CloseProcess(handle);
}

TEST(ProcessArguments, SeparateArgumentsReachTheChildUnsplit) {
    int32_t handle = RunProgram(child, {"args", "1.2.3.4 -profile /tmp/p", "\"q\""}, "", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
    EXPECT_EQ(RemainingLines(handle),
              (std::vector<std::string>{"[" + child + "]", "[args]", "[1.2.3.4 -profile /tmp/p]", "[\"q\"]"}));
    CloseProcess(handle);
}

TEST(ProcessDirectory, EmptyDirectoryKeepsOurs) {
    int32_t handle = RunProcess(child, "cwd", "", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextLine(handle), std::filesystem::current_path().string());
    CloseProcess(handle);
}

TEST(ProcessDirectory, MissingDirectoryEndsTheChildBeforeTheProgramRuns) {
    int32_t handle = RunProcess(child, "say:ran", "/nonexistent/lumora-test", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
    EXPECT_EQ(ReadProcessErrorLine(handle), "");
    CloseProcess(handle);
}

TEST(ProcessInheritance, OnlyStandardDescriptorsPassToTheChild) {
    int leaky[2];
    ASSERT_EQ(pipe(leaky), 0);  // deliberately without close-on-exec
    int32_t handle = RunProcess(child, "fds", "", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextLine(handle), "0 1 2");
    CloseProcess(handle);
    close(leaky[0]);
    close(leaky[1]);
}

TEST(ProcessInheritance, ChildStartsWithDefaultSignalHandling) {
    // The program ignores SIGPIPE, and a thread may block signals; neither must reach the child.
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    sigset_t usr1, oldMask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, &oldMask);
    int32_t handle = RunProcess(child, "signals", "", keepAll);
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &old, nullptr);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextLine(handle), "SIGPIPE default, SIGUSR1 open");
    CloseProcess(handle);
}

TEST(ProgramLookup, FilesThatCannotRunAreRefused) {
    TempDir dir;
    MakeFile(dir.File("plain"), "#!/bin/sh\nexit 0\n", 0644);
    MakeFile(dir.File("empty"), "", 0755);
    EXPECT_EQ(RunProcess(dir.File("plain"), "", "", keepAll), 0);
    EXPECT_EQ(RunProcess(dir.File("empty"), "", "", keepAll), 0);
    EXPECT_EQ(RunProcess(dir.path(), "", "", keepAll), 0);
    EXPECT_EQ(RunProcess(dir.File("missing"), "", "", 0), 0);
    EXPECT_EQ(RunProcess("./lumora-no-such-program", "", "", 0), 0);
    EXPECT_EQ(RunProcess("", "", "", 0), 0);
}

TEST(ProgramLookup, PathIsSearchedInOrderForTheFirstRunnableFile) {
    TempDir notRunnable, directory, runnable, later;
    MakeFile(notRunnable.File("lumora-probe"), "#!/bin/sh\n", 0644);
    ASSERT_EQ(mkdir(directory.File("lumora-probe").c_str(), 0755), 0);
    ASSERT_EQ(symlink(child.c_str(), runnable.File("lumora-probe").c_str()), 0);
    MakeFile(later.File("lumora-probe"), "#!/bin/sh\necho wrong >&2\n", 0755);
    ScopedPath path("/nonexistent:" + notRunnable.path() + ":" + directory.path() + ":" +
                    runnable.path() + ":" + later.path());

    int32_t handle = RunProcess("lumora-probe", "args", "", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
    EXPECT_EQ(RemainingLines(handle), (std::vector<std::string>{"[lumora-probe]", "[args]"}));
    CloseProcess(handle);

    EXPECT_EQ(RunProcess("lumora-not-on-path", "", "", 0), 0);
}

TEST(ProgramLookup, NameWithInnerSlashIsAlsoLookedUpInPath) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink(child.c_str(), dir.File("sub/lumora-probe").c_str()), 0);
    ScopedPath path(dir.path());
    int32_t handle = RunProcess("sub/lumora-probe", "say:found", "", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextLine(handle), "found");
    CloseProcess(handle);
}

TEST(ProgramLookup, WithoutHandleTheResultIsOneAndTheChildIsReapedAllTheSame) {
    TempDir bin, work;
    ASSERT_EQ(symlink(child.c_str(), bin.File("firefox").c_str()), 0);
    ScopedPath path(bin.path());
    EXPECT_EQ(RunProcess("firefox", "pidfile:" + work.File("pid"), "", 0), 1);
    pid_t pid = ReadPidFile(work.File("pid"));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pid); }));
}

TEST(ProgramLookup, ExecutableThatTheSystemCannotRunShowsAnEndedProcess) {
    TempDir dir;
    MakeFile(dir.File("garbage"), "this is not a program\n", 0755);
    int32_t handle = RunProcess(dir.File("garbage"), "", "", keepAll);
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
    EXPECT_EQ(ReadProcessErrorLine(handle), "");
    CloseProcess(handle);
}

TEST(ProcessLifetime, NoZombieAfterTheEndWhateverTheExitStatus) {
    for (const char* status : {"0", "1", "3", "255"}) {
        int32_t handle = RunProcess(child, std::string("pid exit:") + status, "", keepAll);
        ASSERT_GT(handle, 0);
        pid_t pid = std::atoi(NextLine(handle).c_str());
        EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
        // With standard output connected the end is only reported once the child is reaped.
        EXPECT_TRUE(ProcessGone(pid)) << "status " << status;
        CloseProcess(handle);
    }
}

TEST(ProcessLifetime, NoZombieWhenTheHandleIsNeverClosedOrClosedEarly) {
    int32_t open = RunProcess(child, "pid sleep:100", "", processKeepHandle | processConnectError);
    int32_t closed = RunProcess(child, "pid sleep:300", "", keepAll);
    ASSERT_GT(open, 0);
    ASSERT_GT(closed, 0);
    EXPECT_NE(open, closed);
    pid_t openPid = std::atoi(NextLine(open).c_str());
    pid_t closedPid = std::atoi(NextLine(closed).c_str());
    CloseProcess(closed);
    EXPECT_FALSE(ProcessRunning(closed));
    // Without standard output connected: running exactly while the process exists.
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(open); }));
    EXPECT_TRUE(ProcessGone(openPid));
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(closedPid); }));
    CloseProcess(open);
}

TEST(ProcessLifetime, KillEndsTheChildAndLaterKillsDoNothing) {
    int32_t handle = RunProcess(child, "pid forever", "", keepAll);
    ASSERT_GT(handle, 0);
    pid_t pid = std::atoi(NextLine(handle).c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(ProcessRunning(handle));
    KillProcess(handle);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
    EXPECT_TRUE(ProcessGone(pid));
    KillProcess(handle);
    KillProcessForFatalError(handle);
    CloseProcess(handle);
}

// runner_parent starts a child and is then killed from outside, as the program may be.
TEST(ProcessLifetime, ChildAskedToEndWithTheProgramDoesSoAndOthersLiveOn) {
    TempDir dir;
    for (bool end : {true, false}) {
        std::string pidFile = dir.File(end ? "ending" : "staying");
        std::string command = std::string("'") + RUNNER_PARENT_PATH + "' '" + child + "' '" + pidFile +
                              "' " + (end ? "end" : "stay");
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL));
        pid_t pid = ReadPidFile(pidFile);
        ASSERT_GT(pid, 0);
        // Its new parent may leave it a zombie; it must not run on.
        auto ended = [&] { char state = ProcessStateLetter(pid); return state == 0 || state == 'Z'; };
        if (end) {
            EXPECT_TRUE(WaitUntil(ended));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_FALSE(ended());
            kill(pid, SIGKILL);
        }
    }
}

TEST(ProcessLifetime, FatalPathKillFindsTheChildByItsHandle) {
    int32_t other = RunProcess(child, "pid forever", "", keepAll);
    int32_t handle = RunProcess(child, "pid forever", "", keepAll);
    ASSERT_GT(other, 0);
    ASSERT_GT(handle, 0);
    pid_t otherPid = std::atoi(NextLine(other).c_str());
    pid_t pid = std::atoi(NextLine(handle).c_str());
    KillProcessForFatalError(handle);
    // The fatal path keeps the child from being reaped (its pid must not be reused before the
    // kill); the program ends right after, and the zombie with it.
    EXPECT_TRUE(WaitUntil([&] { return ProcessStateLetter(pid) == 'Z'; }));
    EXPECT_TRUE(ProcessRunning(other));
    EXPECT_NE(ProcessStateLetter(otherPid), 0);
    KillProcess(other);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(other); }));
    CloseProcess(handle);
    CloseProcess(other);
}

TEST(ProcessLifetime, ChildThatClosesItsOutputAndLivesOnIsNotWaitedForWithoutEnd) {
    int32_t handle = RunProcess(child, "closeout pid forever", "", keepAll);
    ASSERT_GT(handle, 0);
    pid_t pid = std::atoi(NextLine(handle).c_str());
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ProcessRunning(handle));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    KillProcess(handle);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
    EXPECT_TRUE(ProcessGone(pid));
    CloseProcess(handle);
}

TEST(ProcessLifetime, ChattyChildNeverBlocksWhileNobodyAsks) {
    TempDir dir;
    // Far more than a pipe holds, on both pipes, while the test calls nothing of the runner.
    int32_t handle = RunProcess(
        child, "say:first errbytes:2000000 outbytes:2000000 say:last pidfile:" + dir.File("pid"),
        "", keepAll);
    ASSERT_GT(handle, 0);
    pid_t pid = ReadPidFile(dir.File("pid"));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pid); }));
    EXPECT_FALSE(ProcessRunning(handle));
    EXPECT_EQ(ReadProcessErrorLine(handle), "first");
    CloseProcess(handle);
}

// A library that the child loads may start a process of its own, which keeps the child's pipes.
TEST(ProcessGroups, ChildIsReportedEndedWithItsFirstLineWhileItsOwnChildHoldsThePipes) {
    for (int group : {0, int(processOwnGroup)}) {
        SCOPED_TRACE(group ? "own group: the rest goes with it" : "no group: the rest stays");
        TempDir dir;
        OrphanCatcher catcher;
        int32_t handle = RunProcess(child, "spawn:" + dir.File("spawned") + " say:first say:second exit:1",
                                    "", keepAll | group);
        ASSERT_GT(handle, 0);
        pid_t spawned = ReadPidFile(dir.File("spawned"));
        ASSERT_GT(spawned, 0);
        EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
        EXPECT_EQ(ReadProcessErrorLine(handle), "first");
        CloseProcess(handle);
        if (group) {
            EXPECT_TRUE(ReapKilled(spawned));
        } else {
            EXPECT_TRUE(ProcessAlive(spawned));
            kill(spawned, SIGKILL);
            EXPECT_TRUE(ReapKilled(spawned));
        }
    }
}

TEST(ProcessGroups, KillAndTheFatalPathKillTheWholeGroup) {
    for (bool fatal : {false, true}) {
        SCOPED_TRACE(fatal ? "fatal path" : "KillProcess");
        TempDir dir;
        OrphanCatcher catcher;
        int32_t handle = RunProcess(child, "spawn:" + dir.File("spawned") + " pid forever", "",
                                    keepAll | processOwnGroup);
        ASSERT_GT(handle, 0);
        pid_t spawned = ReadPidFile(dir.File("spawned"));
        ASSERT_GT(spawned, 0);
        pid_t pid = std::atoi(NextLine(handle).c_str());
        if (fatal) {
            KillProcessForFatalError(handle);
            // Left unreaped by the fatal path, as ever; the program ends right after.
            EXPECT_TRUE(WaitUntil([&] { return ProcessStateLetter(pid) == 'Z'; }));
        } else {
            KillProcess(handle);
            EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(handle); }));
        }
        EXPECT_TRUE(ReapKilled(spawned));
        CloseProcess(handle);
    }
}

TEST(ProcessHandles, UnknownHandlesAreHarmless) {
    for (int32_t handle : {0, -1, 1 << 30}) {
        EXPECT_FALSE(ProcessRunning(handle));
        EXPECT_EQ(ReadProcessErrorLine(handle), "");
        CloseProcess(handle);
        KillProcess(handle);
        KillProcessForFatalError(handle);
    }
}

// The capture thread closes the handle when the helper has ended while the shutdown checks and
// kills through the same handle.
TEST(ProcessHandles, CloseOnOneThreadWhileAnotherChecksAndKills) {
    TempDir dir;
    for (int round = 0; round < 20; ++round) {
        std::string pidFile = dir.File("pid" + std::to_string(round));
        int32_t handle = RunProcess(child, "pidfile:" + pidFile + " sleep:" + std::to_string(round % 4 * 10) + " say:bye",
                                    "", keepAll);
        ASSERT_GT(handle, 0);
        std::atomic<bool> closed{false};
        std::thread watcher([&] {
            while (ProcessRunning(handle)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ReadProcessErrorLine(handle);
            CloseProcess(handle);
            closed = true;
        });
        std::thread shutdown([&] {
            while (!closed) {
                if (ProcessRunning(handle) && round % 2 == 1) KillProcess(handle);
                ReadProcessErrorLine(handle);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        watcher.join();
        shutdown.join();
        EXPECT_FALSE(ProcessRunning(handle));
        // A child killed early may not have written its pid; one that was left alone has.
        if (round % 2 == 0 || !ReadFileText(pidFile).empty()) {
            pid_t pid = ReadPidFile(pidFile);
            ASSERT_GT(pid, 0);
            EXPECT_TRUE(WaitUntil([&] { return ProcessGone(pid); }));
        }
    }
}
