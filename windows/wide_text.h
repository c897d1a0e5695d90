// The Win32 boundary of texts: the program's ISO-8859-15 texts and its paths meet the system's
// UTF-16 here. Paths are held as UTF-8 inside the Windows build so that no file name is lost.
#pragma once
#include <string>
#include <string_view>

// Interface texts (ISO-8859-15) to and from the system's wide characters.
std::wstring WideText(std::string_view text);
std::string TextFromWide(std::wstring_view text);
// False when TextFromWide would put "?" in place of a character it has no ISO-8859-15 form for.
bool WideTextFitsLatin9(std::wstring_view text);

// Paths (UTF-8) to and from the system's wide characters.
std::wstring WidePath(std::string_view path);
std::string PathFromWide(std::wstring_view path);
