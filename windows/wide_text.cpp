// The program's ISO-8859-15 texts and UTF-8 paths to and from Win32's UTF-16.
#include "windows/wide_text.h"

#include <windows.h>

#include "core/latin9.h"

std::wstring WideText(std::string_view text) {
    std::u16string wide = Latin9ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

namespace {

std::u16string_view Utf16View(std::wstring_view text) {
    return std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

}  // namespace

std::string TextFromWide(std::wstring_view text) { return Utf16ToLatin9(Utf16View(text)); }

bool WideTextFitsLatin9(std::wstring_view text) { return Utf16FitsLatin9(Utf16View(text)); }

std::wstring WidePath(std::string_view path) {
    if (path.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), wide.data(), length);
    return wide;
}

std::string PathFromWide(std::wstring_view path) {
    if (path.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), int(path.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}
