// The shortcut in the user's Startup folder through which Windows starts the program.
#include "windows/startup_shortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "core/program_state.h"
#include "windows/wide_text.h"

namespace {

// The buffer the shell's path of a folder is copied into.
constexpr size_t folderPathLength = 255;

}  // namespace

std::string GetSpecialFolderPath(int folder) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, &items)) || !items) return {};
    // The shell writes up to MAX_PATH characters whatever the buffer; the text counts up to 255.
    wchar_t path[MAX_PATH + 1] = {};
    BOOL found = SHGetPathFromIDListW(items, path);
    CoTaskMemFree(items);
    if (!found) return {};
    path[folderPathLength] = L'\0';
    return PathFromWide(path);
}

HRESULT CreateShortcut(const std::string& target, const std::string& linkFile,
                       const std::string& arguments, const std::string& description,
                       const std::string& workingDirectory, const std::string& iconFile, int iconIndex) {
    HRESULT com = CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) {
        link->SetPath(WidePath(target).c_str());
        link->SetArguments(WideText(arguments).c_str());
        link->SetDescription(WideText(description).c_str());
        link->SetWorkingDirectory(WidePath(workingDirectory).c_str());
        link->SetIconLocation(WidePath(iconFile).c_str(), iconIndex);
        IPersistFile* file = nullptr;
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(result)) {
            result = file->Save(WidePath(linkFile).c_str(), TRUE);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}

void WriteStartupShortcut() {
    const ProgramState& s = programState;
    std::wstring folder = WidePath(GetSpecialFolderPath(CSIDL_STARTUP));
    // Without the folder the name would point into the root of the current drive.
    if (folder.empty()) return;
    folder.resize(folder.size() + 2);  // room for the backslash and the terminator
    PathAddBackslashW(folder.data());
    folder.resize(wcslen(folder.c_str()));
    CreateShortcut(s.programPath, PathFromWide(folder) + startupShortcutName, "", "Lumora", "",
                   s.programPath, 0);
}
