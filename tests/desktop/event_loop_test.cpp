// The main window's event loop driven through its own procedures with real gadgets, a real server
// thread on loopback and the stand-in camera as the frame grabber: start and stop with status and
// caption together, the users field, a failed grabber, a port in use, Preview, the frame timer's
// pacing, the network message, closing, and the start of the window itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "capturectl/capture_thread.h"
#include "capturectl/process_runner.h"
#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "desktop/event_loop.h"
#include "desktop/main_window.h"
#include "desktop/server_control.h"
#include "desktop/settings_dialog.h"
#include "desktop/tray.h"
#include "tests/desktop/gui_support.h"
#include "tests/support/loopback_client.h"
#include "tests/support/program_state.h"
#include "tests/support/session.h"
#include "tests/support/stored_settings.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"
#include "web/server_thread.h"

extern const unsigned char iconImage[];
extern const std::size_t iconImageSize;

namespace {

using Clock = std::chrono::steady_clock;

class EventLoopTest : public testing::Test {
protected:
    TempDir dir;
    TempDir binDir;
    MainLoopState loop;
    // Every message box is answered, so that none can stop a test; each test says which it expects.
    MessageBoxAnswerer boxes;
    int port = 0;
    std::string savedPath;

    void SetUp() override {
        ASSERT_TRUE(StartGadgetsForTest()) << "no X display (set DISPLAY)";
        ResetProgramState(dir.path());
        ProgramState& s = programState;
        s.serviceBaseUrl = "http://127.0.0.1:9";  // nobody answers: the address check fails
        s.sessionId = Sha1Hex(std::string("session"));
        s.networkReady = 1;
        port = FreePort();
        ASSERT_NE(port, 0);
        LoadImageFromPng(iconImageSlot, iconImage, iconImageSize);
        s.settingPort.Set(std::to_string(port));
        s.settingDevice.Set("0");
        WriteFileText(s.workDir + helperFileName, ReadFileText(FAKE_CAMERA_PATH));
        chmod((s.workDir + helperFileName).c_str(), 0755);
        savedPath = std::getenv("PATH");
        ASSERT_TRUE(OpenMainWindow());
        s.mainWindowReady.store(1);
        AddWindowTimer(mainWindow, frameTimer, frameTimerPeriod);
        ShowGadgetWindow(mainWindow);
    }

    void TearDown() override {
        ProgramState& s = programState;
        if (ServerThreadAlive()) StopServer();
        EndCaptureThread();
        CloseGadgetWindow(mainWindow);
        CloseGadgetWindow(settingsWindow);
        s.mainWindowReady.store(0);
        for (const MessageBoxSeen& box : boxes.seen) std::cout << "message box: " << box.text << "\n";
        setenv("PATH", savedPath.c_str(), 1);
        while (WaitWindowEvent(0).kind != EventKind::NoEvent) {
        }
    }

    // Ends the stand-in camera and lets its watching thread see that, so that the next test
    // starts with no capture thread and no helper process.
    void EndCaptureThread() {
        ProgramState& s = programState;
        int32_t helper = s.helperProcess.load();
        if (helper > 0) KillProcess(helper);
        auto start = Clock::now();
        while (CaptureThreadAlive() && MillisecondsSince(start) < 5000) {
            s.frameSemaphore.release();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        while (s.frameSemaphore.try_acquire()) {
        }
        EXPECT_FALSE(CaptureThreadAlive());
        s.helperProcess.store(0);
        s.captureError.clear();
    }

    void Press(int gadget) {
        ClickGadget(gadget);
        WindowEvent event = WaitForEventKind(EventKind::Gadget, 2000);
        ASSERT_EQ(event.gadget, gadget);
        EXPECT_TRUE(HandleMainEvent(loop, event));
    }

    // Runs the loop as MainEventLoop does until the condition holds or the time is up.
    template <typename Condition>
    bool RunLoopUntil(Condition condition, int timeoutMilliseconds) {
        auto start = Clock::now();
        while (!condition()) {
            if (MillisecondsSince(start) > timeoutMilliseconds) return false;
            RunPassChecks(loop);
            HandleMainEvent(loop, WaitWindowEvent(100));
        }
        return true;
    }

    void ExpectStatus(bool active) {
        EXPECT_EQ(GetGadgetText(gadgetStatusField), active ? " Active" : " Inactive");
        EXPECT_EQ(GetGadgetText(gadgetStartStop), active ? "Stop" : "Start");
    }

    // A stand-in "firefox" that writes its arguments into a file, one a line, alone on PATH.
    std::string InstallFirefox() {
        std::string log = binDir.File("firefox.log");
        WriteFileText(binDir.File("firefox"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + log +
                                                   ".tmp\nmv " + log + ".tmp " + log + "\n");
        chmod(binDir.File("firefox").c_str(), 0755);
        setenv("PATH", (binDir.path() + ":/usr/bin:/bin").c_str(), 1);
        return log;
    }
};

}  // namespace

TEST_F(EventLoopTest, StartAndStopChangeStatusAndCaptionTogether) {
    ExpectStatus(false);
    Press(gadgetStartStop);
    ExpectStatus(true);
    EXPECT_TRUE(ServerThreadAlive());
    EXPECT_EQ(programState.serverState.load(), 0);
    EXPECT_NE(Fetch("127.0.0.1", port, "").find("Server: Lumora-Server"), std::string::npos);
    EXPECT_TRUE(CaptureThreadAlive()) << "the first press creates the capture thread";
    EXPECT_EQ(loop.capturePaused, 0);

    programState.userCount.store(3);
    RunPassChecks(loop);
    EXPECT_EQ(GetGadgetText(gadgetUsersField), " 3");
    programState.runningPort = "1234";

    auto start = Clock::now();
    Press(gadgetStartStop);
    long took = MillisecondsSince(start);
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 3000);
    ExpectStatus(false);
    EXPECT_EQ(GetGadgetText(gadgetUsersField), " 0");
    EXPECT_EQ(programState.runningPort, "");
    EXPECT_FALSE(ServerThreadAlive());
    EXPECT_EQ(Fetch("127.0.0.1", port, ""), "") << "the port is still open after Stop";
    EXPECT_TRUE(programState.loggedInClients.empty());
    EXPECT_EQ(loop.capturePaused, 1) << "Stop pauses the running capture thread";

    // The served connection keeps the old port in TIME_WAIT for a while; start on another one.
    programState.settingPort.Set(std::to_string(FreePort()));
    Press(gadgetStartStop);
    ExpectStatus(true);
    EXPECT_EQ(loop.capturePaused, 0) << "Start resumes it";
}

TEST_F(EventLoopTest, UsersFieldFollowsTheCountWithALeadingBlank) {
    EXPECT_EQ(GetGadgetText(gadgetUsersField), " 0");
    programState.userCount.store(12);
    RunPassChecks(loop);
    EXPECT_EQ(GetGadgetText(gadgetUsersField), " 12");
    EXPECT_EQ(loop.usersShown, 12);
    programState.userCount.store(0);
    RunPassChecks(loop);
    EXPECT_EQ(GetGadgetText(gadgetUsersField), " 0");
}

TEST_F(EventLoopTest, FailedFrameGrabberIsReportedAndStopsTheServer) {
    programState.settingDevice.Set("7");  // the stand-in camera finds no camera 7
    Press(gadgetStartStop);
    ExpectStatus(true);
    ASSERT_TRUE(RunLoopUntil([&] { return !boxes.seen.empty(); }, 8000));
    EXPECT_EQ(boxes.seen[0].title, "Error");
    EXPECT_EQ(boxes.seen[0].text,
              "Can not create webcam captures.\nError message:\n: no camera with index 7 could be "
              "opened");
    ExpectStatus(false);
    EXPECT_FALSE(ServerThreadAlive());
    EXPECT_EQ(programState.helperProcess.load(), 0);
    EXPECT_EQ(programState.captureError, "");
    EXPECT_EQ(Fetch("127.0.0.1", port, ""), "");

    // The next Start finds no capture thread and makes a new one with a new helper.
    programState.settingDevice.Set("0");
    Press(gadgetStartStop);
    ExpectStatus(true);
    EXPECT_TRUE(CaptureThreadAlive());
    ASSERT_TRUE(RunLoopUntil([] { return programState.helperProcess.load() > 0; }, 3000));
    ASSERT_TRUE(RunLoopUntil([] { return PathExists(programState.jpegPath); }, 5000));
    EXPECT_EQ(boxes.seen.size(), 1u);
}

TEST_F(EventLoopTest, PortInUseIsNamedAndTheWindowStaysInactive) {
    auto holder = std::make_unique<BusyPort>();
    ASSERT_GT(holder->port(), 0);
    std::string busy = std::to_string(holder->port());
    programState.settingPort.Set(busy);

    Press(gadgetStartStop);
    holder.reset();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Can not create the server on port " + busy);
    ExpectStatus(false);
    EXPECT_FALSE(ServerThreadAlive());
    EXPECT_EQ(programState.serverState.load(), 0);
    EXPECT_FALSE(CaptureThreadAlive()) << "no camera is taken into use for a server that failed";
    EXPECT_EQ(loop.capturePaused, 1);

    ApplyLanguage("deutsch");
    Press(gadgetStartStop);
    ASSERT_EQ(boxes.seen.size(), 1u) << "the port is free again: no message";
    EXPECT_EQ(GetGadgetText(gadgetStatusField), " Aktiv");
    EXPECT_EQ(loop.capturePaused, 0) << "the capture thread watches while the server runs";
    EXPECT_TRUE(CaptureThreadAlive());
}

TEST_F(EventLoopTest, CaptureFollowsTheServerAndOnlyTheCurrentHelpersFailureIsReported) {
    ProgramState& s = programState;
    // A failing camera while no server runs, then a good one: the old failure is never shown.
    auto busy = std::make_unique<BusyPort>();
    s.settingPort.Set(std::to_string(busy->port()));
    s.settingDevice.Set("7");
    Press(gadgetStartStop);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(loop.capturePaused, 1);
    RunLoopUntil([] { return false; }, 1500);
    busy.reset();
    s.settingDevice.Set("0");
    s.settingPort.Set(std::to_string(port));
    Press(gadgetStartStop);
    ExpectStatus(true);
    EXPECT_EQ(loop.capturePaused, 0);
    ASSERT_TRUE(RunLoopUntil([&] { return s.helperProcess.load() > 0 && PathExists(s.jpegPath); }, 5000));
    RunLoopUntil([] { return false; }, 1500);
    EXPECT_EQ(boxes.seen.size(), 1u) << boxes.seen.back().text;
    ExpectStatus(true);

    // Stop pauses; a Start that fails keeps it paused instead of turning it round; a good Start
    // lets the thread watch again.
    Press(gadgetStartStop);
    EXPECT_EQ(loop.capturePaused, 1);
    busy = std::make_unique<BusyPort>();
    s.settingPort.Set(std::to_string(busy->port()));
    Press(gadgetStartStop);
    ASSERT_EQ(boxes.seen.size(), 2u);
    EXPECT_EQ(loop.capturePaused, 1);
    s.settingPort.Set(std::to_string(FreePort()));
    Press(gadgetStartStop);
    ExpectStatus(true);
    EXPECT_EQ(loop.capturePaused, 0);

    // The watched helper ends: reported, and the stop forgets the port as every stop does.
    s.runningPort = s.settingPort.Get();
    KillProcess(s.helperProcess.load());
    ASSERT_TRUE(RunLoopUntil([&] { return boxes.seen.size() == 3; }, 5000));
    EXPECT_EQ(boxes.seen[2].text, "Can not create webcam captures.\nError message:\nUnknown error");
    ExpectStatus(false);
    EXPECT_EQ(s.runningPort, "");
    EXPECT_EQ(s.helperProcess.load(), 0);
}

TEST_F(EventLoopTest, PreviewOpensTheSessionAddressOrSaysWhyNot) {
    std::string log = InstallFirefox();
    Press(gadgetPreviewButton);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Preview is not available. The server is inactive.");

    Press(gadgetStartStop);
    ExpectStatus(true);
    SetGadgetText(gadgetAddressField, " 127.0.0.2 ");
    Press(gadgetPreviewButton);
    ASSERT_TRUE(RunLoopUntil([&] { return PathExists(log); }, 5000));
    const std::string id = programState.sessionId;
    EXPECT_EQ(ReadFileText(log),
              "http://127.0.0.2:" + std::to_string(port) + "/index.html?id=" + id + "\n");
    EXPECT_EQ(boxes.seen.size(), 1u);

    // A port changed while the server runs: Preview keeps the one the server listens on.
    unlink(log.c_str());
    programState.runningPort = std::to_string(port);
    programState.settingPort.Set("9999");
    Press(gadgetPreviewButton);
    ASSERT_TRUE(RunLoopUntil([&] { return PathExists(log); }, 5000));
    EXPECT_EQ(ReadFileText(log),
              "http://127.0.0.2:" + std::to_string(port) + "/index.html?id=" + id + "\n");

    setenv("PATH", "/nonexistent", 1);
    Press(gadgetPreviewButton);
    ASSERT_EQ(boxes.seen.size(), 2u);
    EXPECT_EQ(boxes.seen[1].text, "Firefox not found.");
    Press(gadgetWebLink);
    ASSERT_EQ(boxes.seen.size(), 3u);
    EXPECT_EQ(boxes.seen[2].text, "Firefox not found.");

    // An address field that is no dotted address starts nothing: blanks would hand the browser
    // options, a host name the session id to whoever answers for it.
    setenv("PATH", (binDir.path() + ":/usr/bin:/bin").c_str(), 1);
    unlink(log.c_str());
    for (const char* field : {" 1.2.3.4 -profile /tmp/p", "a\"b", "1.2.3.4.5", "attacker-host.test", "localhost"}) {
        SetGadgetText(gadgetAddressField, field);
        Press(gadgetPreviewButton);
    }
    PumpToolkit(300);
    EXPECT_FALSE(PathExists(log));
    EXPECT_EQ(boxes.seen.size(), 3u);

    // No address yet and the address-echo service unreachable: nothing visible happens.
    SetGadgetText(gadgetAddressField, " -");
    setenv("PATH", (binDir.path() + ":/usr/bin:/bin").c_str(), 1);
    unlink(log.c_str());
    Press(gadgetPreviewButton);
    PumpToolkit(300);
    EXPECT_FALSE(PathExists(log));
    EXPECT_EQ(boxes.seen.size(), 3u);
    EXPECT_EQ(GetGadgetText(gadgetAddressField), " -");
}

TEST_F(EventLoopTest, WebSiteLinkOpensTheServiceAddress) {
    std::string log = InstallFirefox();
    EXPECT_EQ(GetGadgetText(gadgetWebLink), "127.0.0.1");
    Press(gadgetWebLink);
    ASSERT_TRUE(RunLoopUntil([&] { return PathExists(log); }, 5000));
    EXPECT_EQ(ReadFileText(log), "http://127.0.0.1:9\n");

    // One argument whatever it holds: a blank in it must not become a browser option.
    unlink(log.c_str());
    programState.serviceBaseUrl = "http://127.0.0.1:9/a b -profile /tmp/p";
    Press(gadgetWebLink);
    ASSERT_TRUE(RunLoopUntil([&] { return PathExists(log); }, 5000));
    EXPECT_EQ(ReadFileText(log), "http://127.0.0.1:9/a b -profile /tmp/p\n");
}

TEST_F(EventLoopTest, WithoutNetworkEveryNetworkActionOnlyGivesTheMessage) {
    programState.networkReady = 0;
    std::string log = InstallFirefox();
    for (int gadget : {gadgetStartStop, gadgetPreviewButton, gadgetWebLink})
        Press(gadget);
    ASSERT_EQ(boxes.seen.size(), 3u);
    for (const MessageBoxSeen& box : boxes.seen)
        EXPECT_EQ(box.text, "Can not initialize the network.");
    EXPECT_FALSE(ServerThreadAlive());
    EXPECT_FALSE(CaptureThreadAlive());
    ExpectStatus(false);
    PumpToolkit(200);
    EXPECT_FALSE(PathExists(log));
}

TEST_F(EventLoopTest, FrameTimerReleasesAWaitingCaptureThreadOnceAndBanksNothing) {
    ProgramState& s = programState;
    WindowEvent tick;
    tick.kind = EventKind::Timer;
    tick.window = mainWindow;
    tick.timer = frameTimer;

    HandleMainEvent(loop, tick);  // nobody waits: the permit is taken back
    EXPECT_FALSE(s.frameSemaphore.try_acquire());

    std::atomic<int> passes{0};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        while (!done) {
            s.frameSemaphore.acquire();
            ++passes;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    HandleMainEvent(loop, tick);
    auto start = Clock::now();
    while (passes < 1 && MillisecondsSince(start) < 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(passes.load(), 1);

    loop.capturePaused = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto paused = Clock::now();
    HandleMainEvent(loop, tick);
    EXPECT_GE(MillisecondsSince(paused), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(passes.load(), 1) << "a paused timer let the capture thread through";

    done = true;
    s.frameSemaphore.release();
    waiter.join();
    EXPECT_FALSE(s.frameSemaphore.try_acquire());
}

TEST_F(EventLoopTest, ClosingTheMainWindowEndsTheLoopAndTrayDoubleClickRestores) {
    WindowEvent close;
    close.kind = EventKind::CloseWindow;
    close.window = settingsWindow;
    EXPECT_TRUE(HandleMainEvent(loop, close)) << "only the main window's close ends the loop";

    TrayManager manager(std::getenv("DISPLAY"));
    ASSERT_TRUE(manager.Ready(5000)) << "trayer did not take the tray";
    Press(gadgetHideButton);
    PumpToolkit(200);
    ASSERT_FALSE(GadgetWindowVisible(mainWindow));
    WindowEvent tray;
    tray.kind = EventKind::Tray;
    tray.window = mainWindow;
    for (int kind : {trayLeftClick, trayRightClick, trayRightDoubleClick}) {
        tray.trayKind = kind;
        EXPECT_TRUE(HandleMainEvent(loop, tray));
        EXPECT_FALSE(GadgetWindowVisible(mainWindow)) << "tray kind " << kind;
    }
    tray.trayKind = trayLeftDoubleClick;
    EXPECT_TRUE(HandleMainEvent(loop, tray));
    EXPECT_TRUE(GadgetWindowVisible(mainWindow));
    EXPECT_FALSE(TrayIconExists(mainTrayIcon));

    RequestWindowClose(mainWindow);
    WindowEvent event = WaitForEventKind(EventKind::CloseWindow, 2000);
    EXPECT_FALSE(HandleMainEvent(loop, event));
    EXPECT_FALSE(GadgetWindowExists(mainWindow));
}

TEST_F(EventLoopTest, StartOfTheWindowWithAStoredLoginStartsTheServerAndCapture) {
    CloseGadgetWindow(mainWindow);
    programState.mainWindowReady.store(0);
    WriteFileText(programState.settingsPath, StoredSettings(port, {{"server", "1"}}));
    MainLoopState fresh;
    ASSERT_TRUE(StartMainWindow(fresh));
    EXPECT_FALSE(GadgetWindowExists(settingsWindow));
    EXPECT_EQ(programState.mainWindowReady.load(), 1);
    EXPECT_EQ(programState.mainWindowHandle, mainWindow);
    PumpToolkit(100);
    EXPECT_TRUE(GadgetWindowVisible(mainWindow));
    ExpectStatus(true);
    EXPECT_TRUE(ServerThreadAlive());
    EXPECT_TRUE(CaptureThreadAlive());
    EXPECT_EQ(GetGadgetText(gadgetPortField), " " + std::to_string(port));
    EXPECT_EQ(GetGadgetText(gadgetAddressField), " -");
    EXPECT_EQ(WaitForEventKind(EventKind::Timer, 2000).timer, frameTimer);
}

TEST_F(EventLoopTest, FirstStartShowsTheDialogWithPort8000AndCancelEndsTheProgram) {
    CloseGadgetWindow(mainWindow);
    programState.mainWindowReady.store(0);
    programState.settingPort.Set("");
    programState.settingDevice.Set("");
    std::string portShown, deviceShown;
    RunLater(150, [&] {
        portShown = GetGadgetText(gadgetPortSpin);
        deviceShown = GetGadgetText(gadgetDeviceSpin);
        ClickGadget(gadgetCancelButton);
    });
    MainLoopState fresh;
    EXPECT_FALSE(StartMainWindow(fresh));
    EXPECT_EQ(portShown, "8000");
    EXPECT_EQ(deviceShown, "0");
    EXPECT_FALSE(GadgetWindowExists(mainWindow));
    EXPECT_FALSE(PathExists(programState.settingsPath));
}
