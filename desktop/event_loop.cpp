// The main window's event loop: start of the window, the per-pass checks, and the reaction to
// each event (buttons, frame timer, tray, closing the window).
#include "desktop/event_loop.h"

#include <chrono>
#include <thread>

#include "core/constants.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "desktop/browser.h"
#include "desktop/capture_control.h"
#include "desktop/host_name.h"
#include "desktop/main_window.h"
#include "desktop/public_address.h"
#include "desktop/server_control.h"
#include "desktop/settings_dialog.h"
#include "desktop/tray.h"
#include "web/server_thread.h"

namespace {

void ShowNetworkMessage() {
    const ProgramState& s = programState;
    ShowMessageBox(s.textErrorTitle, s.textNetworkFailed);
}

// A capture thread waiting now is let through once; a permit nobody took is taken back at once.
// The second take drops a permit left from before this tick too: every tick ends at a count of 0.
void ReleaseFrame(const MainLoopState& loop) {
    ProgramState& s = programState;
    if (loop.capturePaused == 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return;
    }
    s.frameSemaphore.release();
    s.frameSemaphore.try_acquire();
    s.frameSemaphore.try_acquire();
}

void PressStartStop(MainLoopState& loop) {
    if (programState.networkReady == 0) {
        ShowNetworkMessage();
        return;
    }
    if (ServerThreadAlive())
        StopServerFromButton();
    else
        StartServer();
    PaceCaptureAfterPress(loop);
}

std::string AddressFieldText() { return TrimText(GetGadgetText(gadgetAddressField)); }

void Preview(const MainLoopState& loop) {
    ProgramState& s = programState;
    if (s.networkReady == 0) {
        ShowNetworkMessage();
        return;
    }
    if (!ServerThreadAlive()) {
        ShowMessageBox(s.textErrorTitle, s.textPreviewUnavailable);
        return;
    }
    std::string address = AddressFieldText();
    if (address == "-") {
        CheckPublicAddress(loop.downloadName, loop.answerName);
        address = AddressFieldText();
        if (address == "-") return;
    }
    // Anything else could carry the browser, with the session id, to a host no one here chose.
    if (!IsDottedAddress(address)) return;
    std::string port = s.runningPort.empty() ? s.settingPort.Get() : s.runningPort;
    std::string url = "http://" + address + ":" + port + "/" + pages::index + "?id=" + s.sessionId;
    if (OpenInBrowser(url))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    else
        ShowMessageBox(s.textErrorTitle, s.textFirefoxNotFound);
}

void OpenWebSite() {
    const ProgramState& s = programState;
    if (s.networkReady == 0)
        ShowNetworkMessage();
    else if (!OpenInBrowser(s.serviceBaseUrl))
        ShowMessageBox(s.textErrorTitle, s.textFirefoxNotFound);
}

void HandleGadget(MainLoopState& loop, int gadget) {
    switch (gadget) {
    case gadgetStartStop:
        PressStartStop(loop);
        break;
    case gadgetSettingsButton:
        SettingsDialog(showAlways);
        break;
    case gadgetIpCheckButton:
        CheckPublicAddress(loop.downloadName, loop.answerName);
        break;
    case gadgetPreviewButton:
        Preview(loop);
        break;
    case gadgetHideButton:
        HideToTray(mainWindow, iconImageSlot, windowTitle);
        break;
    case gadgetWebLink:
        OpenWebSite();
        break;
    default:
        break;
    }
}

}  // namespace

bool StartMainWindow(const MainLoopState& loop) {
    ProgramState& s = programState;
    if (SettingsDialog(showWhenLoginMissing) != 1) return false;
    if (!OpenMainWindow()) return false;
    s.mainWindowHandle = mainWindow;
    AddWindowTimer(mainWindow, frameTimer, frameTimerPeriod);
    s.mainWindowReady.store(1);
    if (s.settingHide.Get() == "1")
        HideToTray(mainWindow, iconImageSlot, windowTitle);
    else
        ShowGadgetWindow(mainWindow);
    if (s.networkReady == 0) {
        ShowNetworkMessage();
        return true;
    }
    if (NumberValue(s.settingIpCheck.Get()) == 1)
        CheckPublicAddress(loop.downloadName, loop.answerName);
    if (NumberValue(s.settingServer.Get()) == 1 && StartServer()) StartCaptureWithServer();
    return true;
}

void RunPassChecks(MainLoopState& loop) {
    int32_t users = programState.userCount.load();
    if (users != loop.usersShown) {
        SetGadgetText(gadgetUsersField, FieldText(std::to_string(users)));
        loop.usersShown = users;
    }
    ReportCaptureFailure(loop);
}

bool HandleMainEvent(MainLoopState& loop, const WindowEvent& event) {
    switch (event.kind) {
    case EventKind::CloseWindow:
        if (event.window != mainWindow) return true;
        CloseGadgetWindow(mainWindow);
        return false;
    case EventKind::Timer:
        if (event.window == mainWindow && event.timer == frameTimer) ReleaseFrame(loop);
        return true;
    case EventKind::Tray:
        if (event.trayKind == trayLeftDoubleClick) RestoreFromTray();
        return true;
    case EventKind::Gadget:
        if (event.window == mainWindow) HandleGadget(loop, event.gadget);
        return true;
    case EventKind::NoEvent:
        return true;
    }
    return true;
}

void MainEventLoop() {
    MainLoopState loop;
    if (!StartMainWindow(loop)) return;
    for (;;) {
        RunPassChecks(loop);
        if (!HandleMainEvent(loop, WaitWindowEvent())) return;
    }
}
