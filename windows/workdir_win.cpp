// Removing the Windows working directory: the bitmap and the frame, any other file the program
// left directly inside, then the directory itself.
#include <windows.h>

#include "core/program_state.h"
#include "core/text_util.h"
#include "program/workdir.h"
#include "windows/wide_text.h"
#include "windows/windows_state.h"

void CleanUpWorkDir() {
    const ProgramState& s = programState;
    if (s.workDir.empty()) return;
    DeleteFileW(WidePath(windowsState.bmpPath).c_str());
    DeleteFileW(WidePath(s.jpegPath).c_str());
    std::wstring folder = WidePath(StripTrailingSlash(s.workDir));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}
