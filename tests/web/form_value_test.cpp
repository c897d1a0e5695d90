// Undoing the login form's encoding: "+" and "%XX", UTF-8 from the page next to bytes sent as
// they stand, a "%" that is not an escape left alone, and nothing for a character without an
// ISO-8859-15 form.
#include <gtest/gtest.h>

#include <utility>

#include "web/form_value.h"

TEST(FormValue, UndoesWhatTheFormEncodesAndLeavesTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"web+cam", "web cam"}, {"a%2Bb+c%2b", "a+b c+"}, {"%2541", "%41"}, {"", ""},
        {"K%C3%A4tzchen+1%21", "K\xE4tzchen 1!"}, {"%c3%a4%C3%9F", "\xE4\xDF"}, {"\xC3\xA4", "\xE4"},
        {"%E2%82%AC%C5%A0", "\xA4\xA6"},  // the euro sign and S caron have places of their own
        // No UTF-8: Latin-1, a cut sequence, overlong forms, a surrogate, beyond U+10FFFF.
        {"K%E4tzchen", "K\xE4tzchen"}, {"%C3%A4%E4", "\xE4\xE4"}, {"%C3(%E2%82", "\xC3(\xE2\x82"},
        {"%C0%AF%E0%80%AF", "\xC0\xAF\xE0\x80\xAF"}, {"%ED%A0%80", "\xED\xA0\x80"},
        {"%F4%90%80%80", "\xF4\x90\x80\x80"}, {"a%00b", std::string("a\0b", 3)},
        {"%G1", "%G1"}, {"%1G", "%1G"}, {"ab%4", "ab%4"}, {"100%", "100%"}, {"%%41", "%A"}, {"%+1", "% 1"}};
    for (const auto& [sent, meant] : cases) EXPECT_EQ(DecodeFormValue(sent), meant) << sent;
}

TEST(FormValue, UndoesNothingThatIso885915CannotHold) {
    // Latin-1's currency sign, l with stroke, an emoji, a CJK character; one beside good bytes.
    for (const char* sent : {"%C2%A4", "%C5%82", "%F0%9F%98%80", "%E6%97%A5", "ok%C3%A4%E4+%D0%96"})
        EXPECT_FALSE(DecodeFormValue(sent).has_value()) << sent;
}
