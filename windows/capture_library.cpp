// Binding the system's video-capture library from the system folder, once at start-up.
#include "windows/capture_library.h"

#include "windows/wide_text.h"
#include "windows/windows_state.h"

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
    const WindowsState& w = windowsState;
    // Only the system's own copy: the program is often started from the folder it was unpacked to
    // (Downloads), where anyone could have left a library of the same name.
    captureLibrary = LoadLibraryExW(WideText(captureLibraryName).c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!captureLibrary) {
        failure = "\"" + UpperCase(captureLibraryName) + "\"" + w.textNotFoundSuffix;
        return false;
    }
    captureWindowFunction = reinterpret_cast<CaptureWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(captureLibrary, captureFunctionName)));
    if (!captureWindowFunction) {
        failure = w.textFunctionPrefix + "\"" + captureFunctionName + "\"" + w.textNotFoundSuffix;
        return false;
    }
    return true;
}

CaptureWindowFunction CaptureWindowCreator() { return captureWindowFunction; }
