// The event side of the Win32 gadget toolkit: start-up, the queue that WaitWindowEvent pulls
// from while it runs the thread's message loop, window timers and the message box.
#include "windows/win32/win32_toolkit.h"

#include <commctrl.h>

#include <chrono>
#include <set>
#include <utility>

#include "desktop/event_queue.h"
#include "windows/wide_text.h"

namespace {

bool started = false;
std::set<std::pair<int, int>> activeTimers;

// Keyboard moves between gadgets (Tab) go to the gadget windows' own dialog navigation.
bool TakenByNavigation(MSG& message) {
    if (!message.hwnd) return false;
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    return root && GetWindowLongPtrW(root, GWLP_USERDATA) != 0 && IsDialogMessageW(root, &message);
}

}  // namespace

bool InitGadgets(int&, char**&) {
    if (started) return true;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    started = InitCommonControlsEx(&controls) != FALSE;
    return started;
}

bool GadgetsStarted() { return started; }

void PostWindowEvent(const WindowEvent& event) { QueueWindowEvent(event); }

WindowEvent WaitWindowEvent(int timeoutMilliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (!WindowEventQueued() && started) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!TakenByNavigation(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            continue;
        }
        DWORD wait = INFINITE;
        if (timeoutMilliseconds >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            wait = DWORD(left.count());
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return TakeWindowEvent();
}

void HandleTimerMessage(int window, UINT_PTR timer) {
    if (activeTimers.count(std::make_pair(window, int(timer)))) QueueTimerEvent(window, int(timer));
}

void AddWindowTimer(int window, int timer, int periodMilliseconds) {
    HWND handle = GadgetWindowHandle(window);
    if (!handle || periodMilliseconds <= 0) return;
    if (SetTimer(handle, UINT_PTR(timer), UINT(periodMilliseconds), nullptr))
        activeTimers.insert(std::make_pair(window, timer));
}

void RemoveWindowTimer(int window, int timer) {
    if (!activeTimers.erase(std::make_pair(window, timer))) return;
    if (HWND handle = GadgetWindowHandle(window)) KillTimer(handle, UINT_PTR(timer));
}

void RemoveWindowTimers(int window) {
    for (auto it = activeTimers.begin(); it != activeTimers.end();) {
        if (it->first == window) {
            if (HWND handle = GadgetWindowHandle(window)) KillTimer(handle, UINT_PTR(it->second));
            it = activeTimers.erase(it);
        } else {
            ++it;
        }
    }
}

// Every message of the program is an error report, so every box carries the error icon.
void ShowMessageBox(const std::string& title, const std::string& text) {
    if (!started) return;
    MessageBoxW(nullptr, WideText(text).c_str(), WideText(title).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}
