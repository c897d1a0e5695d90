// The capture thread: starts the capture helper in the working directory and watches it, one
// check per frame-timer tick, until it ends; then leaves the reason for the main loop.
#pragma once

// What the system's process tools call the thread on Linux.
inline constexpr const char* captureThreadName = "lumora-capture";

// The thread procedure; the parameter is not used. Publishes the end by a release store of -1
// into programState.helperProcess after writing programState.captureError.
void CaptureThread(int parameter);

// Starts CaptureThread(0) as a detached thread unless one is alive already.
void CreateCaptureThread();

bool CaptureThreadAlive();
