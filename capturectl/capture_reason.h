// The texts around the capture helper: its one argument made from the device setting, and the
// short reason made from its first error line when it ends.
#pragma once
#include <string>

// The number value of the setting cut to its low 32 bits (two's complement), in decimal.
std::string CameraIndexArgument(const std::string& device);

// The line without the helper's full path, the working directory and every "capture", trimmed
// of spaces; "Unknown error" when nothing is left.
std::string CaptureFailureReason(const std::string& errorLine, const std::string& workDir);
