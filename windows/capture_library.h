// The system's video-capture library, bound once at start-up from the system folder and kept for
// the life of the process; without it the program does not start.
#pragma once
#include <windows.h>

#include <string>

using CaptureWindowFunction = HWND(WINAPI*)(LPCWSTR name, DWORD style, int x, int y, int width,
                                            int height, HWND parent, int id);

inline constexpr const char* captureLibraryName = "avicap32.dll";
inline constexpr const char* captureFunctionName = "capCreateCaptureWindowW";

// Loads the library and looks up the capture-window function. On failure returns false with the
// message the user is to see (in the language in force).
bool BindCaptureLibrary(std::string& failure);

// The bound function; nullptr before a successful BindCaptureLibrary.
CaptureWindowFunction CaptureWindowCreator();
