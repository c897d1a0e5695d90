// The shared text helpers: number values, trimming, slashes, SHA-1 and the ISO-8859-15 bridges.
#include <gtest/gtest.h>

#include "core/latin9.h"
#include "core/platform.h"
#include "core/text_util.h"

TEST(NumberValue, ReadsDecimalHexadecimalAndBinary) {
    EXPECT_EQ(NumberValue("8080"), 8080);
    EXPECT_EQ(NumberValue(" \t 12abc"), 12);
    EXPECT_EQ(NumberValue("-3"), -3);
    EXPECT_EQ(NumberValue("+7"), 7);
    EXPECT_EQ(NumberValue("$10"), 16);
    EXPECT_EQ(NumberValue("$fF"), 255);
    EXPECT_EQ(NumberValue("%101"), 5);
    EXPECT_EQ(NumberValue("%102"), 2);
    EXPECT_EQ(NumberValue("-$10"), -16);
}

TEST(NumberValue, TextWithoutDigitsGivesZero) {
    EXPECT_EQ(NumberValue(""), 0);
    EXPECT_EQ(NumberValue("abc"), 0);
    EXPECT_EQ(NumberValue("--1"), 0);
    EXPECT_EQ(NumberValue("$"), 0);
    EXPECT_EQ(NumberValue("\n5"), 0);
}

TEST(NumberValue, IsSixtyFourBitsWide) {
    EXPECT_EQ(NumberValue("4294967296"), 4294967296LL);
    EXPECT_EQ(int32_t(NumberValue("4294967296")), 0);
    EXPECT_EQ(int32_t(NumberValue("4294967295")), -1);
    EXPECT_EQ(NumberValue("9223372036854775807"), INT64_MAX);
}

TEST(TextHelpers, TrimStripAndCase) {
    EXPECT_EQ(TrimText(" \t cam \t"), "cam");
    EXPECT_EQ(TrimText("   "), "");
    EXPECT_EQ(StripSpaces(" \tx\t "), "\tx\t");
    EXPECT_EQ(LowerCase("DEUTSCH \xC4"), "deutsch \xC4");
    EXPECT_TRUE(EqualsIgnoringCase("PoRt", "port"));
    EXPECT_FALSE(EqualsIgnoringCase("port", "ports"));
    EXPECT_EQ(RemoveAll("capturecapture x capt", "capture"), " x capt");
    EXPECT_EQ(RemoveAll("aaa", "aa"), "a");
    EXPECT_EQ(ReplaceAll("port x of x", "x", "8080"), "port 8080 of 8080");
}

TEST(TextHelpers, TrailingSlashes) {
    EXPECT_EQ(AddTrailingSlash("/tmp/lmr"), "/tmp/lmr/");
    EXPECT_EQ(AddTrailingSlash("/tmp/lmr/"), "/tmp/lmr/");
    EXPECT_EQ(AddTrailingSlash(""), "/");
    EXPECT_EQ(StripTrailingSlash("/tmp/lmr/"), "/tmp/lmr");
    EXPECT_EQ(StripTrailingSlash("a//"), "a/");
    EXPECT_EQ(StripTrailingSlash("a"), "a");
}

TEST(Sha1, KnownDigests) {
    EXPECT_EQ(Sha1Hex(std::string("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1Hex(std::string()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    unsigned char zeros[16] = {};
    EXPECT_EQ(Sha1Hex(zeros, sizeof zeros), "e129f27c5103bc5cc44bcdf0a15e160d445066ff");
}

TEST(Latin9, RoundTripsThroughUtf8AndUtf16) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += char(c);
    EXPECT_EQ(Utf8ToLatin9(Latin9ToUtf8(all)), all);
    EXPECT_EQ(Utf16ToLatin9(Latin9ToUtf16(all)), all);
    EXPECT_EQ(Latin9ToUtf8("\xA4"), "\xE2\x82\xAC");  // the euro sign
    EXPECT_EQ(Utf8ToLatin9("\xC2\xA4"), "?");        // Latin-1's currency sign has no place
    EXPECT_EQ(Utf8ToLatin9("a\xFF" "b\xE2\x82"), "a?b??");
}
