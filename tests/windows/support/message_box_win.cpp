// A message box found by its title, read and closed with OK from another thread.
#include "tests/windows/support/message_box_win.h"

#include <windows.h>

#include "windows/wide_text.h"

bool AnswerMessageBox(const std::string& title, const std::function<void(const std::string&)>& seen,
                      int limitMs) {
    constexpr int pollMs = 50;
    for (int waited = 0; waited < limitMs; waited += pollMs) {
        HWND box = FindWindowW(L"#32770", WideText(title).c_str());
        wchar_t text[512] = {};
        // The box exists a moment before its text is filled in.
        if (box && GetDlgItemTextW(box, 0xFFFF, text, 512) > 0) {
            seen(TextFromWide(text));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return true;
        }
        Sleep(pollMs);
    }
    return false;
}
