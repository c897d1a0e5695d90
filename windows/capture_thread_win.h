// What the Windows shutdown and event loop need of the capture thread beyond
// capturectl/capture_thread.h.
#pragma once
#include <string>

// Waits a bounded time for a pass in progress to finish and lets no further pass begin, so that
// nothing is written into the working directory while it is removed. False when the pass did not
// finish in time: the capture driver hangs. For the end of the process only.
bool StopCapturePasses();

// The description of the first captured bitmap whose format could not be converted, once a run:
// true the first time it is asked for after such a frame, false before and ever after.
bool TakeUnreadFormat(std::string& format);
