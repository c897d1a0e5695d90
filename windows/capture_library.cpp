#include "windows/capture_library.h"

#include "core/program_state.h"
#include "windows/wide_text.h"

namespace {

HMODULE captureLibrary = nullptr;
CaptureWindowFunction captureWindowFunction = nullptr;

std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

}  // namespace

bool BindCaptureLibrary(std::string& failure) {
    const ProgramState& s = programState;
    captureLibrary = LoadLibraryW(WideText(captureLibraryName).c_str());
    if (!captureLibrary) {
        failure = "\"" + UpperCase(captureLibraryName) + "\"" + s.textNotFoundSuffix;
        return false;
    }
    captureWindowFunction = reinterpret_cast<CaptureWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(captureLibrary, captureFunctionName)));
    if (!captureWindowFunction) {
        failure = s.textFunctionPrefix + "\"" + captureFunctionName + "\"" + s.textNotFoundSuffix;
        return false;
    }
    return true;
}

CaptureWindowFunction CaptureWindowCreator() { return captureWindowFunction; }
