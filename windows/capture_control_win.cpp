// The event loop's side of the capture thread on Windows: the pause flag, the mark that keeps a
// Start/Stop press from creating capture threads again and again, and the reports of a capture
// device that could not be connected or whose frames cannot be read.
#include "capturectl/capture_thread.h"
#include "core/program_state.h"
#include "desktop/capture_control.h"
#include "desktop/event_loop.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"
#include "desktop/server_control.h"
#include "web/server_thread.h"
#include "windows/capture_thread_win.h"
#include "windows/windows_state.h"

namespace {

// Set when a press creates a capture thread; cleared by every server start that succeeds.
bool captureCreatedByPress = false;

}  // namespace

// The pause follows the server, whatever came before, for a thread this press creates as for one
// that runs already: a press that failed to start the server must not leave a capture thread
// released without one, nor a stale pause hold back the thread of a server that runs.
void PaceCaptureAfterPress(MainLoopState& loop) {
    // After a press the server thread lives only when the press started it successfully.
    bool serving = ServerThreadAlive();
    loop.capturePaused = serving ? 0 : 1;
    if (serving) captureCreatedByPress = false;
    if (!CaptureThreadAlive() && !captureCreatedByPress) {
        CreateCaptureThread();
        captureCreatedByPress = true;
    }
}

void StartCaptureWithServer() { CreateCaptureThread(); }

// The device is reported whether or not the server runs; the server is stopped before the user
// reads the message, so that nothing is served while it is shown. A device that delivers frames
// the conversion cannot read stays connected and the server keeps running: the user is told why
// no picture comes, once.
void ReportCaptureFailure(MainLoopState&) {
    const ProgramState& s = programState;
    std::string unreadFormat;
    if (TakeUnreadFormat(unreadFormat)) ShowMessageBox(s.textErrorTitle, s.textCaptureFailed + unreadFormat);
    if (windowsState.captureState.load() != -1) return;
    ShowServerStatus(false);
    StopServer();
    windowsState.captureState.store(0);
    ShowMessageBox(s.textErrorTitle, windowsState.textDeviceFailed);
}
