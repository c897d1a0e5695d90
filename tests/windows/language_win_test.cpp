// The Windows choice of interface language: the system's name of the user's language decides
// unless the "language" setting names one; only a name starting with "Deutsch" gives German.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/program_state.h"
#include "core/texts.h"
#include "windows/language_win.h"

namespace {

TEST(LanguageChoice, SystemNameDecidesWithoutSetting) {
    EXPECT_EQ(ChooseLanguageKey("Deutsch (Deutschland)", ""), "deutsch");
    EXPECT_EQ(ChooseLanguageKey("Deutsch (Schweiz)", ""), "deutsch");
    EXPECT_EQ(ChooseLanguageKey("Deutsch", ""), "deutsch");
    EXPECT_EQ(ChooseLanguageKey("German (Germany)", ""), "german ");
    EXPECT_EQ(ChooseLanguageKey("English (United States)", ""), "english");
    EXPECT_EQ(ChooseLanguageKey("", ""), "");
}

TEST(LanguageChoice, SettingOverridesTheSystem) {
    EXPECT_EQ(ChooseLanguageKey("Deutsch (Deutschland)", "English"), "english");
    EXPECT_EQ(ChooseLanguageKey("English (United States)", "DEUTSCH"), "deutsch");
    EXPECT_EQ(ChooseLanguageKey("Deutsch (Deutschland)", "   "), "deutsch") << "blanks count as empty";
}

TEST(LanguageChoice, OnlyDeutschGivesGermanTexts) {
    for (const char* name : {"Deutsch (Deutschland)", "Deutsch (\xD6sterreich)"}) {
        ApplyLanguage(ChooseLanguageKey(name, ""));
        EXPECT_EQ(programState.languageName, "Deutsch") << name;
    }
    for (const char* name : {"German (Germany)", "Dansk (Danmark)", "English (United Kingdom)"}) {
        ApplyLanguage(ChooseLanguageKey(name, ""));
        EXPECT_EQ(programState.languageName, "English") << name;
    }
}

// Run on its own by tests/windows/run, once in a German and once in an English environment,
// with the key the system's name must give.
TEST(SystemLanguage, AsTheEnvironmentSetsIt) {
    const char* expected = std::getenv("LUMORA_EXPECTED_LANGUAGE");
    ASSERT_NE(expected, nullptr) << "LUMORA_EXPECTED_LANGUAGE names the key to expect";
    EXPECT_EQ(ChooseLanguageKey(SystemLanguageName(), ""), expected) << SystemLanguageName();
}

}  // namespace
