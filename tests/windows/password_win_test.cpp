// The Windows password decision: a save stores the digest of the whole password over its
// ISO-8859-15 bytes, as on Linux; a digest of the former Windows form is still let in at login.
#include <gtest/gtest.h>

#include "core/platform.h"
#include "core/program_state.h"
#include "web/connection.h"
#include "web/login.h"
#include "windows/legacy_password.h"

namespace {

class PasswordCheck : public ::testing::Test {
protected:
    void TearDown() override {
        programState.settingPasswordHash.Set("");
        programState.wrongLoginTimes.clear();
    }
    void Store(const std::string& digest) { programState.settingPasswordHash.Set(digest); }
};

TEST_F(PasswordCheck, FormerDigestCoversHalfTheUtf16Bytes) {
    // "abc" in UTF-16LE is 61 00 62 00 63 00; the former digest took its first three bytes.
    EXPECT_EQ(LegacyPasswordDigest("abc"), Sha1Hex(std::string("a\0b", 3)));
    // "ä€" is E4 00 AC 20: the first two bytes.
    EXPECT_EQ(LegacyPasswordDigest("\xE4\xA4"), Sha1Hex(std::string("\xE4\0", 2)));
    EXPECT_EQ(LegacyPasswordDigest(""), Sha1Hex(std::string()));
}

TEST_F(PasswordCheck, CurrentDigestIsTheWholeIso885915Text) {
    Store(Sha1Hex(std::string("s\xE4ge")));
    EXPECT_TRUE(PasswordMatches("s\xE4ge"));
    EXPECT_FALSE(PasswordMatches("s\xE4gf")) << "the last character counts";
    EXPECT_FALSE(PasswordMatches("s\xE4g"));
}

TEST_F(PasswordCheck, FormerDigestIsStillLetIn) {
    Store(LegacyPasswordDigest("secret"));
    EXPECT_TRUE(PasswordMatches("secret"));
    EXPECT_FALSE(PasswordMatches("other1"));
    // What made the former digest unsound: half the password went unchecked.
    EXPECT_TRUE(PasswordMatches("secXYZ"));
}

TEST_F(PasswordCheck, AFormEncodedPasswordMatchesTheFormerDigestToo) {
    Store(LegacyPasswordDigest("s\xE4ge 1"));
    programState.settingUsername.Set("cam");
    Connection browser;
    browser.peerAddress = 0x7F000002;
    EXPECT_TRUE(FormLoginAdmits(browser, "cam", "s%C3%A4ge+1"));
    EXPECT_TRUE(FormLoginAdmits(browser, "cam", "s%E4ge%201"));
    EXPECT_FALSE(FormLoginAdmits(browser, "cam", "t%C3%A4ge+1"));
}

TEST_F(PasswordCheck, NoStoredDigestLetsNobodyIn) {
    Store("");
    EXPECT_FALSE(PasswordMatches(""));
    EXPECT_FALSE(PasswordMatches("x"));
}

}  // namespace
