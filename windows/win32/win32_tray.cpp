// Tray icons of the Win32 gadget toolkit: icons in the task bar's notification area, whose mouse
// messages come back to their window and become tray events.
#include "windows/win32/win32_toolkit.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <vector>

#include "windows/wide_text.h"

namespace {

// The message number the notification area sends the window for clicks on the icon.
constexpr UINT trayCallbackMessage = 12501;
// The first version of the icon record: room for a tip of 63 characters and the terminator.
constexpr DWORD trayRecordSize = NOTIFYICONDATAW_V1_SIZE;
constexpr size_t tipLength = 63;

struct TrayRecord {
    int window;
    HWND handle;
};
std::map<int, TrayRecord> trays;

NOTIFYICONDATAW Record(int tray, const TrayRecord& record) {
    NOTIFYICONDATAW data{};
    data.cbSize = trayRecordSize;
    data.hWnd = record.handle;
    data.uID = UINT(tray);
    return data;
}

}  // namespace

std::wstring TrayTipText(const std::string& text) { return WideText(text).substr(0, tipLength); }

bool AddTrayIcon(int tray, int window, int image) {
    HWND handle = GadgetWindowHandle(window);
    HICON icon = GadgetImageIcon(image);
    if (!handle || !icon) return false;
    RemoveTrayIcon(tray);
    TrayRecord record{window, handle};
    NOTIFYICONDATAW data = Record(tray, record);
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = trayCallbackMessage;
    data.hIcon = icon;
    if (!Shell_NotifyIconW(NIM_ADD, &data)) return false;
    trays[tray] = record;
    return true;
}

void SetTrayIconToolTip(int tray, const std::string& text) {
    auto found = trays.find(tray);
    if (found == trays.end()) return;
    NOTIFYICONDATAW data = Record(tray, found->second);
    data.uFlags = NIF_TIP;
    std::wstring tip = TrayTipText(text);
    std::wcsncpy(data.szTip, tip.c_str(), tipLength);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void RemoveTrayIcon(int tray) {
    auto found = trays.find(tray);
    if (found == trays.end()) return;
    NOTIFYICONDATAW data = Record(tray, found->second);
    Shell_NotifyIconW(NIM_DELETE, &data);
    trays.erase(found);
}

bool TrayIconExists(int tray) { return trays.count(tray) != 0; }

void RemoveWindowTrayIcons(int window) {
    std::vector<int> ofWindow;
    for (const auto& [tray, record] : trays)
        if (record.window == window) ofWindow.push_back(tray);
    for (int tray : ofWindow) RemoveTrayIcon(tray);
}

bool HandleTrayMessage(int window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != trayCallbackMessage) return false;
    int kind;
    switch (UINT(lParam)) {
    case WM_LBUTTONDOWN: kind = trayLeftClick; break;
    case WM_RBUTTONDOWN: kind = trayRightClick; break;
    case WM_LBUTTONDBLCLK: kind = trayLeftDoubleClick; break;
    case WM_RBUTTONDBLCLK: kind = trayRightDoubleClick; break;
    default: return true;
    }
    WindowEvent event;
    event.kind = EventKind::Tray;
    event.window = window;
    event.trayKind = kind;
    event.tray = int(wParam);
    PostWindowEvent(event);
    return true;
}
