// The Windows capture side under Wine, where the capture window can never connect a driver: the
// thread reports the failure and ends, a Start/Stop press makes a new capture thread only after a
// successful server start and leaves it paused exactly while no server runs, and the report stops
// the server before anything is shown.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "capturectl/capture_thread.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "desktop/capture_control.h"
#include "desktop/event_loop.h"
#include "desktop/server_control.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"
#include "web/server_thread.h"
#include "windows/capture_library.h"
#include "windows/windows_state.h"

namespace {

using Clock = std::chrono::steady_clock;

bool CaptureEnded() { return !CaptureThreadAlive(); }

class WindowsCapture : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override {
        ProgramState& s = programState;
        ApplyLanguage("english");
        s.networkReady = InitNetwork() ? 1 : 0;
        s.responseBuffer.assign(204800, 0);
        s.ioBuffer.assign(204800, 0);
        s.workDir = dir.path() + "\\";
        windowsState.bmpPath = s.workDir + "webcam.bmp";
        s.jpegPath = s.workDir + "webcam.jpg";
        s.settingDevice.Set("0");
        windowsState.settingImage.Set("5");
        windowsState.captureState.store(0);
        std::string failure;
        ASSERT_TRUE(BindCaptureLibrary(failure)) << failure;
        ASSERT_NE(CaptureWindowCreator(), nullptr);
    }
    void TearDown() override {
        if (ServerThreadAlive()) StopServer();
        windowsState.captureState.store(0);
    }
};

TEST_F(WindowsCapture, DeviceThatCannotConnectIsReportedAndTheThreadEnds) {
    CreateCaptureThread();
    ASSERT_TRUE(WaitUntil(CaptureEnded, std::chrono::seconds(10)));
    EXPECT_EQ(windowsState.captureState.load(), -1);
    EXPECT_FALSE(PathExists(windowsState.bmpPath));
    EXPECT_FALSE(PathExists(programState.jpegPath));
}

TEST_F(WindowsCapture, PressMakesAnotherCaptureThreadOnlyAfterAServerStart) {
    MainLoopState loop;
    // A Start that did not start the server still makes the first capture thread: held, since no
    // server runs.
    PaceCaptureAfterPress(loop);
    EXPECT_EQ(loop.capturePaused, 1) << "a thread made while no server runs is released";
    ASSERT_TRUE(WaitUntil(CaptureEnded, std::chrono::seconds(10)));
    EXPECT_EQ(windowsState.captureState.exchange(0), -1);

    // No server was started since: this press leaves the capture alone.
    PaceCaptureAfterPress(loop);
    EXPECT_FALSE(CaptureThreadAlive());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(windowsState.captureState.load(), 0);
    EXPECT_EQ(loop.capturePaused, 1);

    auto port = uint16_t(FreePort());
    programState.settingPort.Set(std::to_string(port));
    ASSERT_TRUE(StartServer());
    PaceCaptureAfterPress(loop);
    ASSERT_TRUE(WaitUntil(CaptureEnded, std::chrono::seconds(10)));
    EXPECT_EQ(windowsState.captureState.load(), -1);
}

// A pause left over from a Stop, or from a Start that failed, never holds back the capture thread a
// successful Start makes.
TEST_F(WindowsCapture, ThreadMadeForARunningServerIsReleasedWhateverTheFlagWas) {
    MainLoopState loop;
    loop.capturePaused = 1;
    auto port = uint16_t(FreePort());
    programState.settingPort.Set(std::to_string(port));
    ASSERT_TRUE(WaitUntil(CaptureEnded, std::chrono::seconds(10)));
    ASSERT_TRUE(StartServer());
    PaceCaptureAfterPress(loop);
    EXPECT_EQ(loop.capturePaused, 0) << "the window says Active while the capture waits";
    ASSERT_TRUE(WaitUntil(CaptureEnded, std::chrono::seconds(10)));
    EXPECT_EQ(windowsState.captureState.exchange(0), -1) << "the press made a capture thread";
}

TEST_F(WindowsCapture, ReportStopsTheServerBeforeTheMessage) {
    auto port = uint16_t(FreePort());
    programState.settingPort.Set(std::to_string(port));
    ASSERT_TRUE(StartServer());
    ASSERT_TRUE(PortAccepts(port));
    programState.loggedInClients.push_back(0x7F000002);

    MainLoopState loop;
    windowsState.captureState.store(-1);
    auto start = Clock::now();
    ReportCaptureFailure(loop);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 1000) << "the server thread gets its second to end";
    EXPECT_LT(took, 5000);
    EXPECT_FALSE(ServerThreadAlive());
    EXPECT_FALSE(PortAccepts(port));
    EXPECT_EQ(windowsState.captureState.load(), 0);
    EXPECT_EQ(programState.serverState.load(), 0);
    EXPECT_TRUE(programState.loggedInClients.empty());

    start = Clock::now();
    ReportCaptureFailure(loop);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 500)
        << "nothing to report twice";
}

}  // namespace
