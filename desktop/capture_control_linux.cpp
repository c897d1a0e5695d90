// The event loop's side of the capture thread on Linux: the pause flag, creating the thread, and
// the report of a frame grabber that ended with an error.
#include "capturectl/capture_thread.h"
#include "core/program_state.h"
#include "desktop/capture_control.h"
#include "desktop/event_loop.h"
#include "desktop/gadgets.h"
#include "desktop/server_control.h"
#include "web/server_thread.h"

// The watching follows the server, whatever came before: a press that failed to start it must
// not leave the flag the other way round for the next one. A camera is only taken into use for a
// server that runs; a failed Start makes no capture thread, whose helper could otherwise fail
// unseen behind the pause and be reported against the next good Start.
void PaceCaptureAfterPress(MainLoopState& loop) {
    bool serving = ServerThreadAlive();
    loop.capturePaused = serving ? 0 : 1;
    if (serving && !CaptureThreadAlive()) CreateCaptureThread();
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
