// The capture thread with stand-in helpers in a working directory of its own, driven by
// releasing frameSemaphore from the test as the main window's frame timer does.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "capturectl/capture_thread.h"
#include "core/program_state.h"
#include "program/workdir.h"
#include "tests/support/program_state.h"
#include "tests/support/wait.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string standinHelper = STANDIN_HELPER_PATH;
const std::string fakeCamera = FAKE_CAMERA_PATH;

class CaptureThreadTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string workDir = dir.path() + "/";

    void SetUp() override {
        ResetProgramState(dir.path());
        programState.settingDevice.Set("0");
    }

    void TearDown() override {
        std::filesystem::remove(workDir + "stay");
        // A thread left waiting by a failed check gets its releases, as long as its helper ends.
        TickUntil([] { return !CaptureThreadAlive(); });
    }

    void InstallHelper(const std::string& source) {
        std::filesystem::copy_file(source, workDir + "capture");
        std::filesystem::permissions(workDir + "capture", std::filesystem::perms::owner_all);
    }

    // The frame timer's signal; a signal nobody took is not piled up.
    static void Tick() {
        programState.frameSemaphore.try_acquire();
        programState.frameSemaphore.release();
    }

    template <typename Condition>
    static bool TickUntil(Condition condition) {
        return WaitUntil([&] {
            Tick();
            return condition();
        });
    }

    static bool Ended() { return programState.helperProcess.load(std::memory_order_acquire) == -1; }

    // Starts the thread with the device setting and returns the reason it ends with.
    std::string RunUntilEnd(const std::string& device) {
        programState.settingDevice.Set(device);
        programState.helperProcess.store(0);
        CreateCaptureThread();
        EXPECT_TRUE(TickUntil(Ended));
        EXPECT_TRUE(TickUntil([] { return !CaptureThreadAlive(); }));
        std::string reason = programState.captureError;
        programState.captureError.clear();
        return reason;
    }
};

}  // namespace

TEST_F(CaptureThreadTest, LoaderLikeLineLosesTheFullPathAndStartsWithTheColon) {
    InstallHelper(fakeCamera);
    EXPECT_EQ(RunUntilEnd("7"), ": no camera with index 7 could be opened");
}

TEST_F(CaptureThreadTest, HelperEndingSilentlyOrMidLineGivesUnknownError) {
    InstallHelper(fakeCamera);
    EXPECT_EQ(RunUntilEnd("8"), "Unknown error");
    EXPECT_EQ(RunUntilEnd("9"), "Unknown error");
}

TEST_F(CaptureThreadTest, OnlyTheFirstLineCountsAndEveryCaptureGoes) {
    InstallHelper(standinHelper);
    WriteFileText(workDir + "message.txt", "  Recapture of " + workDir + "frame failed in capture.cpp \nsecond\n");
    EXPECT_EQ(RunUntilEnd("0"), "Re of frame failed in .cpp");
    WriteFileText(workDir + "message.txt",
                  workDir + "capture: error while loading shared libraries: libx.so: cannot open\n");
    EXPECT_EQ(RunUntilEnd("0"), ": error while loading shared libraries: libx.so: cannot open");
}

TEST_F(CaptureThreadTest, HelperStartsInTheWorkingDirectoryWithTheCameraIndex) {
    InstallHelper(standinHelper);
    std::string here = std::filesystem::canonical(dir.path()).string();
    std::string expected;
    for (auto [device, index] : {std::pair{" 12", "12"}, {"4294967295", "-1"}}) {
        EXPECT_EQ(RunUntilEnd(device), "Unknown error");
        expected += std::string("1\n") + index + "\n" + here + "\n";
    }
    EXPECT_EQ(ReadFileText(workDir + "started.txt"), expected);
}

TEST_F(CaptureThreadTest, EndIsNoticedOnlyWhenTheFrameTimerReleasesTheThread) {
    InstallHelper(fakeCamera);
    programState.settingDevice.Set("8");
    CreateCaptureThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_GT(programState.helperProcess.load(std::memory_order_acquire), 0);
    EXPECT_TRUE(CaptureThreadAlive());
    EXPECT_TRUE(TickUntil(Ended));
    EXPECT_EQ(programState.captureError, "Unknown error");
}

TEST_F(CaptureThreadTest, HelperThatCannotStartIsReportedAtOnce) {
    CreateCaptureThread();
    EXPECT_TRUE(WaitUntil(Ended, std::chrono::seconds(5)));
    EXPECT_EQ(programState.captureError, "Unknown error");
}

TEST_F(CaptureThreadTest, OneThreadAndOneHelperAtATimeAndANewOneAfterTheEnd) {
    InstallHelper(standinHelper);
    WriteFileText(workDir + "stay", "");
    CreateCaptureThread();
    CreateCaptureThread();
    ASSERT_TRUE(WaitUntil([&] { return PathExists(workDir + "helper.pid"); }));
    for (int tick = 0; tick < 8; ++tick) {
        Tick();
        CreateCaptureThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(CaptureThreadAlive());
    EXPECT_GT(programState.helperProcess.load(std::memory_order_acquire), 0);
    std::filesystem::remove(workDir + "stay");
    EXPECT_TRUE(TickUntil(Ended));
    EXPECT_TRUE(TickUntil([] { return !CaptureThreadAlive(); }));
    std::string once = "1\n0\n" + std::filesystem::canonical(dir.path()).string() + "\n";
    EXPECT_EQ(ReadFileText(workDir + "started.txt"), once);
    EXPECT_EQ(RunUntilEnd("0"), "Unknown error");
    EXPECT_EQ(ReadFileText(workDir + "started.txt"), once + once);
}

// An earlier helper that ended while no server ran left its end unreported: the main loop must
// not take it for the new thread's end.
TEST_F(CaptureThreadTest, NewThreadBeginsWithoutTheUnreportedEndOfAnEarlierHelper) {
    InstallHelper(standinHelper);
    WriteFileText(workDir + "stay", "");
    programState.helperProcess.store(-1, std::memory_order_release);
    programState.captureError = "an earlier helper's failure";
    CreateCaptureThread();
    EXPECT_NE(programState.helperProcess.load(std::memory_order_acquire), -1);
    EXPECT_EQ(programState.captureError, "");
    ASSERT_TRUE(WaitUntil([] { return programState.helperProcess.load(std::memory_order_acquire) > 0; }));
    EXPECT_EQ(programState.captureError, "");
    std::filesystem::remove(workDir + "stay");
    EXPECT_TRUE(TickUntil(Ended));
}

TEST_F(CaptureThreadTest, WaitingThreadLeavesFramesComingAndShutdownKillsTheHelper) {
    InstallHelper(fakeCamera);
    CreateCaptureThread();
    // No release at all: the thread is blocked, the helper goes on writing frames.
    ASSERT_TRUE(WaitUntil([&] { return PathExists(programState.jpegPath); }));
    int32_t helper = programState.helperProcess.load(std::memory_order_acquire);
    ASSERT_GT(helper, 0);
    CleanUpWorkDir();
    EXPECT_FALSE(PathExists(workDir));
    // The thread can only end once the killed helper is gone.
    EXPECT_TRUE(TickUntil(Ended));
    EXPECT_EQ(programState.captureError, "Unknown error");
}
