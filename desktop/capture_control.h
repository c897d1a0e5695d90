// How the event loop drives the capture side: each build links its own version of these, since
// the Linux build watches a frame-grabber process and the Windows build a capture window.
#pragma once

struct MainLoopState;

// After a Start/Stop press, whether or not the server started: pause or resume a running capture
// thread, or create one.
void PaceCaptureAfterPress(MainLoopState& loop);
// At start-up, after the server was created by the "server" setting.
void StartCaptureWithServer();
// At every pass: reports a failed frame grabber and stops the server.
void ReportCaptureFailure(MainLoopState& loop);
