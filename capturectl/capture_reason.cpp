// Texts of the capture control. The cleaning order matters: the full path goes first, because
// the system's program loader starts its messages with it.
#include "capturectl/capture_reason.h"

#include <cstdint>

#include "core/constants.h"
#include "core/text_util.h"

namespace {
constexpr const char* unknownError = "Unknown error";
}

std::string CameraIndexArgument(const std::string& device) {
    return std::to_string(int32_t(uint32_t(uint64_t(NumberValue(device)))));
}

std::string CaptureFailureReason(const std::string& errorLine, const std::string& workDir) {
    std::string reason = RemoveAll(errorLine, workDir + helperFileName);
    reason = RemoveAll(reason, workDir);
    reason = RemoveAll(reason, helperFileName);
    reason = StripSpaces(reason);
    return reason.empty() ? unknownError : reason;
}
