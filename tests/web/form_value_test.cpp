// Undoing the login form's encoding: "+" and "%XX", UTF-8 from the page next to bytes sent as
// they stand, and a "%" that is not an escape left alone.
#include <gtest/gtest.h>

#include "web/form_value.h"

TEST(FormValue, PlusIsABlankAndAnEscapedPlusIsAPlus) {
    EXPECT_EQ(DecodeFormValue("web+cam"), "web cam");
    EXPECT_EQ(DecodeFormValue("a%2Bb+c%2b"), "a+b c+");
    EXPECT_EQ(DecodeFormValue("%20+%21"), "  !");
    EXPECT_EQ(DecodeFormValue("%2541"), "%41") << "one pass only";
    EXPECT_EQ(DecodeFormValue(""), "");
}

TEST(FormValue, Utf8BecomesTheIso885915Character) {
    EXPECT_EQ(DecodeFormValue("K%C3%A4tzchen+1%21"), "K\xE4tzchen 1!");
    EXPECT_EQ(DecodeFormValue("%c3%a4%C3%9F"), "\xE4\xDF");
    EXPECT_EQ(DecodeFormValue("%E2%82%AC%C5%A0"), "\xA4\xA6") << "euro sign and S caron";
    // As the settings dialog stores what ISO-8859-15 has no place for.
    EXPECT_EQ(DecodeFormValue("%C2%A4%C5%82%F0%9F%98%80"), "???");
    EXPECT_EQ(DecodeFormValue("\xC3\xA4"), "\xE4") << "unescaped bytes count the same";
}

TEST(FormValue, BytesThatAreNotUtf8StandAsTheyAre) {
    EXPECT_EQ(DecodeFormValue("K%E4tzchen"), "K\xE4tzchen");
    EXPECT_EQ(DecodeFormValue("%C3%A4%E4"), "\xE4\xE4");
    EXPECT_EQ(DecodeFormValue("%C3"), "\xC3") << "a cut sequence";
    EXPECT_EQ(DecodeFormValue("%C3(%E2%82"), "\xC3(\xE2\x82");
    EXPECT_EQ(DecodeFormValue("%C0%AF%E0%80%AF"), "\xC0\xAF\xE0\x80\xAF") << "overlong forms";
    EXPECT_EQ(DecodeFormValue("%ED%A0%80"), "\xED\xA0\x80") << "a surrogate";
    EXPECT_EQ(DecodeFormValue("%F4%90%80%80"), "\xF4\x90\x80\x80") << "beyond U+10FFFF";
    EXPECT_EQ(DecodeFormValue("a%00b"), std::string("a\0b", 3));
}

TEST(FormValue, APercentWithoutTwoHexDigitsStays) {
    EXPECT_EQ(DecodeFormValue("%G1"), "%G1");
    EXPECT_EQ(DecodeFormValue("%1G"), "%1G");
    EXPECT_EQ(DecodeFormValue("ab%4"), "ab%4");
    EXPECT_EQ(DecodeFormValue("100%"), "100%");
    EXPECT_EQ(DecodeFormValue("%%41"), "%A");
    EXPECT_EQ(DecodeFormValue("%+1"), "% 1");
}
