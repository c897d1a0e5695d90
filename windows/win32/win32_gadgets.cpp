// Gadgets of the Win32 toolkit: standard controls placed at pixel positions in a window, their
// texts and states, and the gadget events their notifications queue. Spin boxes are an edit
// field with an up-down control beside it.
#include "windows/win32/win32_toolkit.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <vector>

#include "core/text_util.h"
#include "windows/wide_text.h"

namespace {

enum class Kind { Frame, Text, Entry, Button, CheckBox, ComboBox, Spin, Link };

struct GadgetRecord {
    int window;
    Kind kind;
    HWND handle;
    HWND upDown = nullptr;    // Spin
    int minimum = 0;          // Spin
    int maximum = 0;          // Spin
    int value = 0;            // Spin: the last value that was set or read
    COLORREF colour = 0;      // Link
};
std::map<int, GadgetRecord> gadgets;

// A drop-down list needs room below its field for the opened list.
constexpr int comboListHeight = 150;

GadgetRecord* FindGadget(int gadget) {
    auto found = gadgets.find(gadget);
    return found == gadgets.end() ? nullptr : &found->second;
}

void DestroyRecord(const GadgetRecord& record) {
    if (record.upDown) DestroyWindow(record.upDown);
    DestroyWindow(record.handle);
}

HWND MakeControl(int window, int gadget, const wchar_t* className, const std::string& text,
                 DWORD style, DWORD extendedStyle, int x, int y, int width, int height) {
    HWND parent = GadgetWindowHandle(window);
    if (!parent) return nullptr;
    HWND handle = CreateWindowExW(extendedStyle, className, WideText(text).c_str(),
                                  WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                  reinterpret_cast<HMENU>(INT_PTR(gadget)), GetModuleHandleW(nullptr), nullptr);
    if (handle) SendMessageW(handle, WM_SETFONT, WPARAM(GadgetFont()), TRUE);
    return handle;
}

bool Place(int window, int gadget, Kind kind, HWND handle, GadgetRecord extra = {}) {
    if (!handle) return false;
    if (GadgetRecord* old = FindGadget(gadget)) DestroyRecord(*old);
    extra.window = window;
    extra.kind = kind;
    extra.handle = handle;
    gadgets[gadget] = extra;
    return true;
}

std::wstring WindowText(HWND handle) {
    std::wstring text(size_t(GetWindowTextLengthW(handle)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(handle, text.data(), int(text.size()))));
    return text;
}

// The text the gadget shows: the selected item of a combo box, the window text of the others.
std::wstring ShownText(const GadgetRecord& record) {
    if (record.kind != Kind::ComboBox) return WindowText(record.handle);
    LRESULT item = SendMessageW(record.handle, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) return std::wstring();
    std::wstring text(size_t(SendMessageW(record.handle, CB_GETLBTEXTLEN, WPARAM(item), 0)) + 1, L'\0');
    LRESULT length = SendMessageW(record.handle, CB_GETLBTEXT, WPARAM(item), LPARAM(text.data()));
    text.resize(length == CB_ERR ? 0 : size_t(length));
    return text;
}

// The spin box's number: what its field shows when that holds digits, kept within the range.
int SpinValue(GadgetRecord& record) {
    std::string text = TextFromWide(WindowText(record.handle));
    if (text.find_first_of("0123456789") != std::string::npos)
        record.value = int(std::clamp<int64_t>(NumberValue(text), record.minimum, record.maximum));
    return record.value;
}

void SetSpinValue(GadgetRecord& record, int value) {
    record.value = std::clamp(value, record.minimum, record.maximum);
    SendMessageW(record.upDown, UDM_SETPOS32, 0, record.value);
    SetWindowTextW(record.handle, std::to_wstring(record.value).c_str());
}

void QueueGadgetEvent(int window, int gadget) {
    WindowEvent event;
    event.kind = EventKind::Gadget;
    event.window = window;
    event.gadget = gadget;
    PostWindowEvent(event);
}

}  // namespace

bool HandleGadgetMessage(int window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND: {
        GadgetRecord* record = FindGadget(LOWORD(wParam));
        if (!record || record->window != window || record->handle != HWND(lParam)) return false;
        WORD code = HIWORD(wParam);
        bool userAction = ((record->kind == Kind::Button || record->kind == Kind::CheckBox) && code == BN_CLICKED) ||
                          (record->kind == Kind::Link && code == STN_CLICKED) ||
                          (record->kind == Kind::ComboBox && code == CBN_SELCHANGE);
        if (userAction) QueueGadgetEvent(window, LOWORD(wParam));
        result = 0;
        return true;
    }
    case WM_CTLCOLORSTATIC: {
        GadgetRecord* record = FindGadget(GetDlgCtrlID(HWND(lParam)));
        if (!record || record->kind != Kind::Link || record->handle != HWND(lParam)) return false;
        HDC context = HDC(wParam);
        SetTextColor(context, record->colour);
        SetBkMode(context, TRANSPARENT);
        result = LRESULT(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    case WM_SETCURSOR: {
        GadgetRecord* record = FindGadget(GetDlgCtrlID(HWND(wParam)));
        if (!record || record->kind != Kind::Link || record->handle != HWND(wParam)) return false;
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

void ForgetWindowGadgets(int window) {
    std::erase_if(gadgets, [window](const auto& entry) { return entry.second.window == window; });
}

bool GadgetExists(int gadget) { return FindGadget(gadget) != nullptr; }

bool CreateFrameGadget(int window, int gadget, int x, int y, int width, int height,
                       const std::string& caption) {
    return Place(window, gadget, Kind::Frame,
                 MakeControl(window, gadget, L"BUTTON", caption, BS_GROUPBOX, 0, x, y, width, height));
}

bool CreateTextGadget(int window, int gadget, int x, int y, int width, int height,
                      const std::string& text) {
    return Place(window, gadget, Kind::Text,
                 MakeControl(window, gadget, L"STATIC", text, SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0,
                             x, y, width, height));
}

bool CreateEntryGadget(int window, int gadget, int x, int y, int width, int height,
                       const std::string& text, int flags) {
    DWORD style = ES_AUTOHSCROLL | WS_TABSTOP;
    if (flags & entryPassword) style |= ES_PASSWORD;
    if (flags & entryReadOnly) style |= ES_READONLY;
    return Place(window, gadget, Kind::Entry,
                 MakeControl(window, gadget, L"EDIT", text, style, WS_EX_CLIENTEDGE, x, y, width, height));
}

bool CreateButtonGadget(int window, int gadget, int x, int y, int width, int height,
                        const std::string& caption) {
    return Place(window, gadget, Kind::Button,
                 MakeControl(window, gadget, L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, 0, x, y,
                             width, height));
}

bool CreateCheckBoxGadget(int window, int gadget, int x, int y, int width, int height,
                          const std::string& caption) {
    return Place(window, gadget, Kind::CheckBox,
                 MakeControl(window, gadget, L"BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, x, y,
                             width, height));
}

bool CreateComboBoxGadget(int window, int gadget, int x, int y, int width, int height) {
    return Place(window, gadget, Kind::ComboBox,
                 MakeControl(window, gadget, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                             0, x, y, width, height + comboListHeight));
}

bool CreateSpinGadget(int window, int gadget, int x, int y, int width, int height, int minimum,
                      int maximum) {
    if (minimum > maximum) return false;
    // The arrows take the right end of the gadget's place and the field the rest, so that the
    // two together fill exactly the place asked for.
    int arrowsWidth = std::min(GetSystemMetrics(SM_CXVSCROLL), width / 2);
    HWND field = MakeControl(window, gadget, L"EDIT", std::to_string(minimum),
                             ES_AUTOHSCROLL | ES_NUMBER | WS_TABSTOP, WS_EX_CLIENTEDGE, x, y,
                             width - arrowsWidth, height);
    if (!field) return false;
    HWND upDown = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                                  WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS |
                                      UDS_NOTHOUSANDS | UDS_HOTTRACK,
                                  x + width - arrowsWidth, y, arrowsWidth, height, GadgetWindowHandle(window),
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!upDown) {
        DestroyWindow(field);
        return false;
    }
    SendMessageW(upDown, UDM_SETBUDDY, WPARAM(field), 0);
    SendMessageW(upDown, UDM_SETRANGE32, WPARAM(minimum), LPARAM(maximum));
    GadgetRecord extra{};
    extra.upDown = upDown;
    extra.minimum = minimum;
    extra.maximum = maximum;
    if (!Place(window, gadget, Kind::Spin, field, extra)) return false;
    SetSpinValue(gadgets[gadget], minimum);
    return true;
}

bool CreateLinkGadget(int window, int gadget, int x, int y, int width, int height,
                      const std::string& text, uint32_t rgbColour) {
    GadgetRecord extra{};
    extra.colour = RGB((rgbColour >> 16) & 0xFF, (rgbColour >> 8) & 0xFF, rgbColour & 0xFF);
    return Place(window, gadget, Kind::Link,
                 MakeControl(window, gadget, L"STATIC", text,
                             SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY, 0, x, y, width, height),
                 extra);
}

void AddGadgetItem(int gadget, const std::string& text) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record || record->kind != Kind::ComboBox) return;
    SendMessageW(record->handle, CB_ADDSTRING, 0, LPARAM(WideText(text).c_str()));
}

void SetGadgetText(int gadget, const std::string& text) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record) return;
    std::wstring wide = WideText(text);
    switch (record->kind) {
    case Kind::ComboBox: {
        LRESULT item = SendMessageW(record->handle, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(wide.c_str()));
        if (item != CB_ERR) SendMessageW(record->handle, CB_SETCURSEL, WPARAM(item), 0);
        break;
    }
    default:
        SetWindowTextW(record->handle, wide.c_str());
        break;
    }
}

std::string GetGadgetText(int gadget) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record) return std::string();
    // What the spin box stands for is its number; the field may hold more digits than fit.
    if (record->kind == Kind::Spin) return std::to_string(SpinValue(*record));
    return TextFromWide(ShownText(*record));
}

bool GadgetTextFitsLatin9(int gadget) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record || record->kind == Kind::Spin) return true;
    return WideTextFitsLatin9(ShownText(*record));
}

void SetGadgetState(int gadget, int state) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record) return;
    switch (record->kind) {
    case Kind::CheckBox:
        SendMessageW(record->handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case Kind::ComboBox:
        SendMessageW(record->handle, CB_SETCURSEL, WPARAM(state), 0);
        break;
    case Kind::Spin:
        SetSpinValue(*record, state);
        break;
    default:
        break;
    }
}

int GetGadgetState(int gadget) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record) return 0;
    switch (record->kind) {
    case Kind::CheckBox:
        return SendMessageW(record->handle, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    case Kind::ComboBox:
        return int(SendMessageW(record->handle, CB_GETCURSEL, 0, 0));
    case Kind::Spin:
        return SpinValue(*record);
    default:
        return 0;
    }
}
