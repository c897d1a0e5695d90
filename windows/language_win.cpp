// The Windows build's interface language: the "language" setting, else the system's.
#include "windows/language_win.h"

#include <windows.h>

#include "core/text_util.h"
#include "windows/wide_text.h"

namespace {

// The system's name counts only so far: "Deutsch (Schweiz)" and "Deutsch" choose alike.
constexpr size_t systemNameLength = 7;

}  // namespace

std::string SystemLanguageName() {
    // When the display language is the locale's own language, the name in the display language is
    // the locale's native name; asking for that directly also works where the system's tables of
    // localised names are incomplete (Wine's are).
    LANGID display = GetUserDefaultUILanguage();
    LCTYPE kind = PRIMARYLANGID(display) == PRIMARYLANGID(GetUserDefaultLangID()) ? LOCALE_SNATIVEDISPLAYNAME
                                                                                 : LOCALE_SLANGUAGE;
    int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, kind, nullptr, 0);
    if (length <= 1) return {};
    std::wstring name(size_t(length), L'\0');
    length = GetLocaleInfoW(LOCALE_USER_DEFAULT, kind, name.data(), length);
    if (length <= 1) return {};
    name.resize(size_t(length - 1));
    return TextFromWide(name);
}

std::string ChooseLanguageKey(const std::string& systemName, const std::string& setting) {
    std::string chosen = LowerCase(TrimText(setting));
    if (!chosen.empty()) return chosen;
    return LowerCase(systemName.substr(0, systemNameLength));
}
