// A stand-in for the system's video-capture library in the black-box run: built as avicap32.dll
// and put into the Wine prefix's system folder, it gives the program a capture device that
// connects at index 0 (and only there) and saves each grabbed frame as a 24-bit bitmap whose
// colour changes per grab. Environment: LUMORA_CAPTURE_LOG names a file that gets one line per
// call ("attach PATH", "create", "connect N" followed by "guarantee BYTES", the stack the connecting
// thread keeps for its exception filter, "disconnect", "grab MS", "save"); with
// LUMORA_CAPTURE_STALL = "grab N" or "save N" the N-th such call hangs for a minute (a save after
// writing its file); LUMORA_CAPTURE_BITS = "4" marks the frames as 4 bits per pixel.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT captureDriverConnect = WM_USER + 10;
constexpr UINT captureDriverDisconnect = WM_USER + 11;
constexpr UINT captureGrabFrame = WM_USER + 60;
constexpr UINT captureSaveBitmap = WM_USER + 125;
constexpr int frameWidth = 64;
constexpr int frameHeight = 48;  // rows of 192 bytes: no padding needed, bottom-up as usual

const wchar_t className[] = L"LumoraStandInCapture";
LONG grabs = 0;
LONG saves = 0;

void Record(const std::string& line) {
    const char* log = std::getenv("LUMORA_CAPTURE_LOG");
    HANDLE file = log ? CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, (line + "\n").data(), DWORD(line.size() + 1), &written, nullptr);
    CloseHandle(file);
}

void StallIfAsked(const std::string& call, LONG count) {
    const char* stall = std::getenv("LUMORA_CAPTURE_STALL");
    if (stall && call + " " + std::to_string(count) == stall) Sleep(60000);
}

void PutLe(std::string& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

bool SaveFrame(const wchar_t* path) {
    const size_t stride = frameWidth * 3;
    std::string b(54 + stride * frameHeight, '\0');
    b[0] = 'B';
    b[1] = 'M';
    PutLe(b, 2, uint32_t(b.size()), 4);
    PutLe(b, 10, 54, 4);
    PutLe(b, 14, 40, 4);
    PutLe(b, 18, frameWidth, 4);
    PutLe(b, 22, frameHeight, 4);
    PutLe(b, 26, 1, 2);
    const char* bits = std::getenv("LUMORA_CAPTURE_BITS");
    PutLe(b, 28, bits ? std::atoi(bits) : 24, 2);
    // Each grab brightens the picture, so that successive frames differ.
    const char level = char((grabs * 37) % 256);
    for (size_t i = 54; i < b.size(); i += 3) {
        b[i] = level;            // blue
        b[i + 1] = char(0x80);   // green
        b[i + 2] = char(0x20);   // red
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, b.data(), DWORD(b.size()), &written, nullptr) && written == b.size();
    CloseHandle(file);
    return ok;
}

LRESULT CALLBACK CaptureWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case captureDriverConnect: {
        Record("connect " + std::to_string(wParam));
        // Asking with 0 changes nothing and tells what the calling thread keeps for its
        // exception filter: the capture thread's room for the fatal-error handler.
        ULONG guarantee = 0;
        if (SetThreadStackGuarantee(&guarantee)) Record("guarantee " + std::to_string(guarantee));
        return wParam == 0 ? TRUE : FALSE;
    }
    case captureDriverDisconnect:
        Record("disconnect");
        return TRUE;
    case captureGrabFrame:
        Record("grab " + std::to_string(GetTickCount64()));
        StallIfAsked("grab", InterlockedIncrement(&grabs));
        return TRUE;
    case captureSaveBitmap: {
        Record("save");
        bool saved = SaveFrame(reinterpret_cast<const wchar_t*>(lParam));
        StallIfAsked("save", InterlockedIncrement(&saves));
        return saved ? TRUE : FALSE;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    char path[MAX_PATH] = {};
    if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameA(module, path, MAX_PATH))
        Record(std::string("attach ") + path);
    return TRUE;
}

extern "C" __declspec(dllexport) HWND WINAPI capCreateCaptureWindowW(LPCWSTR name, DWORD style, int x, int y,
                                                                     int width, int height, HWND parent, int id) {
    static ATOM registered = 0;
    HINSTANCE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CaptureWindow), &module);
    if (!registered) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = CaptureWindow;
        windowClass.hInstance = module;
        windowClass.lpszClassName = className;
        registered = RegisterClassExW(&windowClass);
    }
    Record("create");
    return CreateWindowExW(0, className, name ? name : L"", style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(INT_PTR(id)), module, nullptr);
}
