// The event loop's side of the capture thread on Linux: the pause flag, creating the thread, and
// the report of a frame grabber that ended with an error.
#include "capturectl/capture_thread.h"
#include "core/program_state.h"
#include "desktop/capture_control.h"
#include "desktop/event_loop.h"
#include "desktop/gadgets.h"
#include "desktop/server_control.h"
#include "web/server_thread.h"

void PaceCaptureAfterPress(MainLoopState& loop) {
    if (CaptureThreadAlive())
        loop.capturePaused = loop.capturePaused == 0 ? 1 : 0;
    else
        CreateCaptureThread();
}

void StartCaptureWithServer() { CreateCaptureThread(); }

void ReportCaptureFailure(MainLoopState&) {
    ProgramState& s = programState;
    if (!ServerThreadAlive() || s.helperProcess.load(std::memory_order_acquire) != -1) return;
    ShowMessageBox(s.textErrorTitle, s.textCaptureFailed + s.captureError);
    s.captureError.clear();
    StopServer();
    s.helperProcess.store(0);
}
