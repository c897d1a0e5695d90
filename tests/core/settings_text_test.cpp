// Settings text parsed from memory reads as the same file would, and a text cut at any byte gives
// each entry whose line is whole the value it has in the whole text, a cut entry at most the part
// of its value that came, and nothing else.
#include <gtest/gtest.h>

#include <string>

#include "core/platform.h"
#include "core/settings_file.h"
#include "tests/support/temp_dir.h"

namespace {

struct Entry {
    const char* key;
    const char* value;
};

const char* const text =
    "; written by hand\r\n"
    "  username =  anna  \r\n"
    "port=8080\n"
    "Quality = 7\r"
    "note without equals\n"
    "\n"
    "device = /dev/video1\r\n"
    "[later]\r\n"
    "hidden = 1\r\n";
const Entry entries[] = {{"username", "anna"}, {"port", "8080"}, {"quality", "7"}, {"device", "/dev/video1"}};

TEST(SettingsText, EveryCutGivesTheWholeLinesAndAtMostTheStartOfACutOne) {
    const std::string whole = text;
    for (size_t n = 0; n <= whole.size(); ++n) {
        std::string prefix = whole.substr(0, n);
        for (auto purpose : {SettingsFile::Purpose::Lookup, SettingsFile::Purpose::Update}) {
            SettingsFile settings = SettingsFile::FromText(prefix, purpose);
            EXPECT_EQ(settings.access(), SettingsFile::Access::None);
            EXPECT_FALSE(settings.Commit());
            for (const Entry& entry : entries) {
                size_t line = whole.find(entry.key == std::string("quality") ? "Quality" : entry.key);
                size_t lineEnd = whole.find_first_of("\r\n", line);
                std::string value;
                bool found = settings.Find(entry.key, value);
                std::string context = entry.key + (" in a cut at " + std::to_string(n));
                if (n > lineEnd) {
                    EXPECT_TRUE(found) << context;
                    EXPECT_EQ(value, entry.value) << context;
                } else if (found) {
                    EXPECT_EQ(std::string(entry.value).compare(0, value.size(), value), 0) << context;
                }
            }
            std::string hidden;
            EXPECT_FALSE(settings.Find("hidden", hidden)) << n;
        }
    }
}

TEST(SettingsText, ReadsAndRendersAsTheFileOfTheSameBytes) {
    TempDir dir;
    std::string path = dir.File("settings.ini");
    const std::string texts[] = {text, std::string("\xEF\xBB\xBF") + "username = J\xC3\xBCrgen\r\n[x]\r\n",
                                 std::string(SettingsFile::readLimit - 3, ';') + "\nport = 1\n"};
    for (const std::string& bytes : texts) {
        ASSERT_TRUE(ReplaceFileContent(path, bytes));
        for (auto purpose : {SettingsFile::Purpose::Lookup, SettingsFile::Purpose::Update}) {
            SettingsFile fromFile(path, purpose);
            SettingsFile fromText = SettingsFile::FromText(bytes, purpose);
            for (const char* key : {"username", "port", "device"}) {
                std::string a = "unset", b = "unset";
                EXPECT_EQ(fromFile.Find(key, a), fromText.Find(key, b)) << key;
                EXPECT_EQ(a, b) << key;
            }
            fromFile.Set("port", "99");
            fromText.Set("port", "99");
            EXPECT_EQ(fromFile.Render(), fromText.Render());
        }
    }
}

}  // namespace
