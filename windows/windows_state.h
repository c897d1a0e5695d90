// What only the Windows build keeps beside the shared ProgramState.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "core/shared_text.h"

struct WindowsState {
    std::string bmpPath;  // each captured frame before its conversion
    SharedText settingAutostart;
    SharedText settingImage;
    // 1 while the capture device delivers, -1 when it could not be connected.
    std::atomic<int32_t> captureState{0};
    // The texts only this build shows, set with the shared ones.
    std::string textFunctionPrefix;
    std::string textNotFoundSuffix;
    std::string textDeviceFailed;
    std::string textImageQuality;
    std::string textStartWithWindows;
};

extern WindowsState windowsState;
