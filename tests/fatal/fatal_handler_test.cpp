// The fatal-error handler in a child process of the test, without a display: whatever signal and
// whichever thread, the process ends with status 1, its helper killed and its working directory
// gone, and the missing display costs no more than a moment.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>

#include "tests/fatal/faulting_child.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"

namespace {

using Clock = std::chrono::steady_clock;

void ExpectExitStatusOne(FaultingChild& child, double limitSeconds) {
    Clock::time_point start = Clock::now();
    child.Fault();
    int status = 0;
    ASSERT_TRUE(child.WaitForExit(int(limitSeconds * 1000), status)) << "the handler did not end the process";
    EXPECT_LT(SecondsSince(start), limitSeconds);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(FatalHandler, FaultOnAWorkerThreadCleansUpAndEndsWithStatusOne) {
    FaultPlan plan;
    plan.invalidAccess = true;
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    ASSERT_TRUE(ProcessAlive(child.helper()));
    ExpectExitStatusOne(child, 5.0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(child.helper()); }, 3000)) << "the helper still runs";
    EXPECT_FALSE(PathExists(child.workDir())) << "every regular file, ip.txt included, and the folder go";
}

TEST(FatalHandler, StackOverflowOnAWorkerThreadStillReachesTheHandler) {
    FaultPlan plan;
    plan.stackOverflow = true;
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    ExpectExitStatusOne(child, 5.0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(child.helper()); }, 3000));
    EXPECT_FALSE(PathExists(child.workDir()));
}

TEST(FatalHandler, EachSignalOfAFaultIsHandled) {
    for (int signal : {SIGFPE, SIGSEGV, SIGBUS, SIGABRT, SIGTRAP, SIGSYS, SIGILL, SIGXCPU, SIGXFSZ}) {
        SCOPED_TRACE(strsignal(signal));
        FaultPlan plan;
        plan.signals = {signal};
        FaultingChild child(plan);
        ASSERT_TRUE(child.ready());
        ExpectExitStatusOne(child, 5.0);
        EXPECT_FALSE(PathExists(child.workDir()));
    }
}

TEST(FatalHandler, FaultsOnSeveralThreadsAtOnceCleanUpOnce) {
    FaultPlan plan;
    plan.signals = {SIGSEGV, SIGBUS, SIGFPE, SIGSEGV};
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    ExpectExitStatusOne(child, 5.0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(child.helper()); }, 3000));
    EXPECT_FALSE(PathExists(child.workDir()));
}

TEST(FatalHandler, SubdirectoryKeepsTheWorkingDirectory) {
    FaultPlan plan;
    plan.subdirectory = true;
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    ExpectExitStatusOne(child, 5.0);
    EXPECT_TRUE(PathExists(child.workDir() + "kept"));
    EXPECT_FALSE(PathExists(child.workDir() + "capture"));
    EXPECT_FALSE(PathExists(child.workDir() + "webcam.jpg"));
    EXPECT_FALSE(PathExists(child.workDir() + "ip.txt"));
}

TEST(FatalHandler, DisplayThatDoesNotExistCostsOnlyAMoment) {
    FaultPlan plan;
    plan.display = ":64999";
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    ExpectExitStatusOne(child, 3.0);
    EXPECT_FALSE(PathExists(child.workDir()));
}

}  // namespace
