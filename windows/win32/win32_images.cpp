// Fonts and images of the Win32 gadget toolkit: numbered font slots, one of which new gadgets
// use, and icons in numbered image slots, taken from PNG bytes or from the program's own file.
#include "windows/win32/win32_toolkit.h"

#include <shellapi.h>

#include <map>

#include "core/program_state.h"
#include "windows/program_icon.h"
#include "windows/wide_text.h"

namespace {

std::map<int, HFONT> fonts;
HFONT defaultFont = nullptr;
std::map<int, HICON> images;

// The icon format version that icon resources carry.
constexpr DWORD iconFormatVersion = 0x00030000;

void PutIcon(int image, HICON icon) {
    auto old = images.find(image);
    if (old != images.end()) {
        DestroyIcon(old->second);
        images.erase(old);
    }
    if (icon) images[image] = icon;
}

}  // namespace

bool LoadGadgetFont(int font, const std::string& name, int size) {
    if (!GadgetsStarted() || name.empty() || size <= 0) return false;
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(size, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    HFONT loaded = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, WideText(name).c_str());
    if (!loaded) return false;
    auto old = fonts.find(font);
    if (old != fonts.end() && old->second != defaultFont) DeleteObject(old->second);
    fonts[font] = loaded;
    return true;
}

bool GadgetFontLoaded(int font) { return fonts.count(font) != 0; }

void SetDefaultGadgetFont(int font) {
    auto found = fonts.find(font);
    if (found != fonts.end()) defaultFont = found->second;
}

HFONT GadgetFont() { return defaultFont ? defaultFont : HFONT(GetStockObject(DEFAULT_GUI_FONT)); }

bool LoadImageFromPng(int image, const unsigned char* bytes, std::size_t size) {
    PutIcon(image, nullptr);
    if (!GadgetsStarted() || bytes == nullptr || size == 0) return false;
    // Icon resources may hold PNG pictures; the system decodes them the same way.
    HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(bytes), DWORD(size), TRUE, iconFormatVersion,
                                          0, 0, LR_DEFAULTCOLOR);
    PutIcon(image, icon);
    return icon != nullptr;
}

bool ImageLoaded(int image) { return images.count(image) != 0; }

HICON GadgetImageIcon(int image) {
    auto found = images.find(image);
    return found == images.end() ? nullptr : found->second;
}

bool LoadProgramIcon(int image) {
    HICON small = nullptr;
    ExtractIconExW(WidePath(programState.programPath).c_str(), 0, nullptr, &small, 1);
    PutIcon(image, small);
    return small != nullptr;
}
