// Windows of the Win32 gadget toolkit: fixed-size top-level windows centred on the screen, owned
// by their parent when they have one, and the window procedure that turns messages into events.
#include <map>

#include "desktop/event_queue.h"
#include "windows/wide_text.h"
#include "windows/win32/win32_toolkit.h"

namespace {

const wchar_t windowClassName[] = L"LumoraGadgetWindow";
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

std::map<int, HWND> windows;

// The window number is kept in the window itself, one higher so that 0 means none.
int WindowNumber(HWND handle) { return int(GetWindowLongPtrW(handle, GWLP_USERDATA)) - 1; }

LRESULT CALLBACK WindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    int window = WindowNumber(handle);
    if (window >= 0) {
        LRESULT result = 0;
        switch (message) {
        case WM_CLOSE: {
            // The program decides whether the window really closes.
            WindowEvent event;
            event.kind = EventKind::CloseWindow;
            event.window = window;
            PostWindowEvent(event);
            return 0;
        }
        case WM_TIMER:
            HandleTimerMessage(window, wParam);
            return 0;
        default:
            if (HandleGadgetMessage(window, message, wParam, lParam, result)) return result;
            if (HandleTrayMessage(window, message, wParam, lParam)) return 0;
        }
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

bool RegisterWindowClass() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = windowClassName;
    registered = RegisterClassExW(&windowClass) != 0;
    return registered;
}

}  // namespace

bool OpenGadgetWindow(int window, int innerWidth, int innerHeight, const std::string& title,
                      int parentWindow, bool visible) {
    if (!GadgetsStarted() || innerWidth <= 0 || innerHeight <= 0 || !RegisterWindowClass()) return false;
    CloseGadgetWindow(window);
    RECT frame{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&frame, windowStyle, FALSE, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    HWND handle = CreateWindowExW(0, windowClassName, WideText(title).c_str(), windowStyle, x, y, width,
                                  height, GadgetWindowHandle(parentWindow), nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!handle) return false;
    SetWindowLongPtrW(handle, GWLP_USERDATA, LONG_PTR(window) + 1);
    windows[window] = handle;
    if (visible) ShowGadgetWindow(window);
    return true;
}

void CloseGadgetWindow(int window) {
    auto found = windows.find(window);
    if (found == windows.end()) return;
    RemoveWindowTimers(window);
    RemoveWindowTrayIcons(window);
    ForgetWindowGadgets(window);
    HWND handle = found->second;
    windows.erase(found);
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    DestroyWindow(handle);
    DropWindowEvents(window);
}

bool GadgetWindowExists(int window) { return windows.count(window) != 0; }

HWND GadgetWindowHandle(int window) {
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second;
}

void SetGadgetWindowIcon(int window, int image) {
    HWND handle = GadgetWindowHandle(window);
    HICON icon = GadgetImageIcon(image);
    if (!handle || !icon) return;
    SendMessageW(handle, WM_SETICON, ICON_SMALL, LPARAM(icon));
    SendMessageW(handle, WM_SETICON, ICON_BIG, LPARAM(icon));
}

// A hidden window keeps its place, and it is off the task bar while hidden.
void HideGadgetWindow(int window) {
    if (HWND handle = GadgetWindowHandle(window)) ShowWindow(handle, SW_HIDE);
}

void ShowGadgetWindow(int window) {
    HWND handle = GadgetWindowHandle(window);
    if (!handle) return;
    ShowWindow(handle, IsIconic(handle) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(handle);
    RedrawWindow(handle, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool GadgetWindowVisible(int window) {
    HWND handle = GadgetWindowHandle(window);
    return handle && IsWindowVisible(handle);
}
