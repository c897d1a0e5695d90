// A small Windows program the black-box tests run beside lumora-win.exe under Wine: it finds the
// program's windows by title, reads and sets gadget texts, presses buttons and closes windows
// through window messages, as a user's clicks and typing would.
//
//   window_driver wait TITLE ID MS        a window so titled holding gadget ID appears within MS
//   window_driver gone TITLE ID MS        no such window is left within MS
//   window_driver text TITLE ID           prints the gadget's text (UTF-8)
//   window_driver set TITLE ID TEXT       types TEXT into the gadget
//   window_driver click TITLE ID          presses the button or check box
//   window_driver checked TITLE ID        prints 1 or 0
//   window_driver close TITLE ID          closes the window holding gadget ID (its close button)
//   window_driver visible TITLE ID        prints 1 when the window holding gadget ID is shown, else 0
//   window_driver tray TITLE ID           double-clicks the tray icon of the window holding gadget ID
//   window_driver box TITLE MS            prints the text of a message box so titled, within MS
//   window_driver ok TITLE                presses OK on that message box
//   window_driver temp                    prints the temporary folder (UTF-8)
//   window_driver folder CSIDL            prints the user's special folder of that number (UTF-8)
//   window_driver hold MS                 keeps a hidden window on the desktop for MS
// Exit status 0 on success, 1 when the window or gadget is not there, 2 for a wrong command line.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Wide(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

void PrintUtf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), narrow.data(), length, nullptr, nullptr);
    std::printf("%s\n", narrow.c_str());
}

struct Search {
    std::wstring title;
    const wchar_t* className;
    int gadget;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t title[256];
    GetWindowTextW(window, title, 256);
    if (search->title != title) return TRUE;
    if (search->className) {
        wchar_t name[64];
        GetClassNameW(window, name, 64);
        if (wcscmp(name, search->className) != 0) return TRUE;
    }
    if (search->gadget >= 0 && !GetDlgItem(window, search->gadget)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(const std::wstring& title, const wchar_t* className, int gadget) {
    Search search{title, className, gadget, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const std::wstring& title, const wchar_t* className, int gadget, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindTopLevel(title, className, gadget)) return found;
        if (GetTickCount() - start >= milliseconds) return nullptr;
        Sleep(50);
    }
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

const wchar_t messageBoxClass[] = L"#32770";
constexpr UINT trayCallbackMessage = 12501;
constexpr int messageBoxText = 0xFFFF;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string command = argv[1];
    if (command == "temp") {
        wchar_t path[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, path);
        PrintUtf8(std::wstring(path, length));
        return 0;
    }
    if (command == "folder" && argc == 3) {
        wchar_t path[MAX_PATH];
        if (SHGetFolderPathW(nullptr, std::atoi(argv[2]), nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return 1;
        PrintUtf8(path);
        return 0;
    }
    if (command == "hold" && argc == 3) {
        // While a program has a window on it, Wine's desktop process stays; otherwise it ends
        // when idle and the next program starts a new one, which holds that program's output
        // open for as long as it lives.
        HWND holder = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        Sleep(DWORD(std::atoi(argv[2])));
        DestroyWindow(holder);
        return 0;
    }
    if (argc < 3) return 2;
    std::wstring title = Wide(argv[2]);
    if (command == "box" && argc == 4) {
        // The box exists a moment before its text is filled in.
        DWORD limit = DWORD(std::atoi(argv[3]));
        DWORD start = GetTickCount();
        HWND box = WaitForWindow(title, messageBoxClass, messageBoxText, limit);
        if (!box) return 1;
        std::wstring text = TextOf(GetDlgItem(box, messageBoxText));
        while (text.empty() && GetTickCount() - start < limit) {
            Sleep(50);
            text = TextOf(GetDlgItem(box, messageBoxText));
        }
        PrintUtf8(text);
        return text.empty() ? 1 : 0;
    }
    if (command == "ok") {
        HWND box = FindTopLevel(title, messageBoxClass, messageBoxText);
        if (!box) return 1;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (argc < 4) return 2;
    int gadget = std::atoi(argv[3]);
    if (command == "wait" && argc == 5) return WaitForWindow(title, nullptr, gadget, DWORD(std::atoi(argv[4]))) ? 0 : 1;
    if (command == "gone" && argc == 5) {
        DWORD start = GetTickCount();
        while (FindTopLevel(title, nullptr, gadget)) {
            if (GetTickCount() - start >= DWORD(std::atoi(argv[4]))) return 1;
            Sleep(50);
        }
        return 0;
    }
    HWND window = FindTopLevel(title, nullptr, gadget);
    if (!window) return 1;
    HWND control = GetDlgItem(window, gadget);
    if (command == "text") {
        PrintUtf8(TextOf(control));
        return 0;
    }
    if (command == "set" && argc == 5) {
        std::wstring text = Wide(argv[4]);
        SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
        return 0;
    }
    if (command == "click") {
        // Posted, so that a message box the press opens does not hold this program.
        PostMessageW(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "checked") {
        DWORD_PTR state = 0;
        SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
        std::printf("%d\n", state == BST_CHECKED ? 1 : 0);
        return 0;
    }
    if (command == "visible") {
        std::printf("%d\n", IsWindowVisible(window) ? 1 : 0);
        return 0;
    }
    if (command == "tray") {
        // What the notification area sends the window for a left double-click on its icon.
        PostMessageW(window, trayCallbackMessage, 0, WM_LBUTTONDBLCLK);
        return 0;
    }
    if (command == "close") {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    return 2;
}
