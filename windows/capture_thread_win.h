// What the Windows shutdown needs of the capture thread beyond capturectl/capture_thread.h.
#pragma once

// Waits for a pass in progress to finish and lets no further pass begin, so that nothing is
// written into the working directory while it is removed. For the end of the process only.
void StopCapturePasses();
