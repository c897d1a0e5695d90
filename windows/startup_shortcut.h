// The shortcut in the user's Startup folder through which Windows starts the program at log-on.
#pragma once
#include <string>

#include <windows.h>

inline constexpr const char* startupShortcutName = "Lumora.lnk";

// The path of a special folder of the shell (a CSIDL number); empty when the shell has none.
std::string GetSpecialFolderPath(int folder);

// Writes a shell link file, replacing one of that name; the result of the last COM step that ran
// (S_OK when the file was saved).
HRESULT CreateShortcut(const std::string& target, const std::string& linkFile,
                       const std::string& arguments, const std::string& description,
                       const std::string& workingDirectory, const std::string& iconFile, int iconIndex);

// The program's own shortcut in the Startup folder, written anew; failures are not reported.
void WriteStartupShortcut();
