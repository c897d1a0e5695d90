// The Windows program launcher: the text is first started as a program; a web address, which
// cannot be, goes to the shell, which opens it with the user's default browser.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <vector>

#include "desktop/browser.h"
#include "windows/wide_text.h"

namespace {

bool StartAsProgram(const std::wstring& commandLine) {
    // CreateProcessW may write into its command line.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void OpenWithShell(const std::wstring& address) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = address.c_str();
    info.nShow = SW_SHOWNORMAL;
    // Shell extensions that may handle the address expect COM on the calling thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteExW(&info);
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace

// The shell tells the user itself when it has no handler; there is nothing more to report here.
bool OpenInBrowser(const std::string& address) {
    std::wstring wide = WideText(address);
    if (!StartAsProgram(wide)) OpenWithShell(wide);
    return true;
}
