// Reading and writing settings.ini: the file format as read, as written, and the save sequence.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "tests/support/temp_dir.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("settings.ini");
    void SetUp() override { programState.settingsPath = path; }

    SettingsInput Input(const std::string& language = "English") {
        SettingsInput in;
        in.languageName = language;
        in.username = "cam";
        in.password = "abc";
        in.server = true;
        in.hide = false;
        in.ipcheck = true;
        in.port = "8000";
        in.device = "0";
        return in;
    }
};

const std::string abcDigest = "a9993e364706816aba3e25717850c26c9cd0d89d";

TEST_F(SettingsTest, FirstSaveWritesEightLinesInOrder) {
    SaveSettings(Input());
    EXPECT_EQ(ReadFileText(path),
              "language = English\nusername = cam\npassword = " + abcDigest +
                  "\nserver = 1\nhide = 0\nipcheck = 1\nport = 8000\ndevice = 0\n");
    EXPECT_EQ(programState.settingLanguage, "english");
}

TEST_F(SettingsTest, MissingFileReadsEmptyAndIsNotCreatedByWrite) {
    EXPECT_EQ(ReadSetting("username"), "");
    EXPECT_FALSE(WriteSetting("username", "cam"));
    EXPECT_FALSE(PathExists(path));
}

TEST_F(SettingsTest, KeysIgnoreCaseAndKeepCallerSpelling) {
    WriteFileText(path, "PORT=8080\n");
    EXPECT_EQ(ReadSetting("port"), "8080");
    EXPECT_TRUE(WriteSetting("port", "8080"));
    EXPECT_EQ(ReadFileText(path), "port = 8080\n");
}

TEST_F(SettingsTest, BlanksAroundKeysAndValuesAreTrimmed) {
    WriteFileText(path, "  \tusername   =   cam   \r\n");
    EXPECT_EQ(ReadSetting("username"), "cam");
}

TEST_F(SettingsTest, EntriesBelowAGroupHeaderAreNeverRead) {
    WriteFileText(path, "[main]\nusername = cam\n");
    EXPECT_EQ(ReadSetting("username"), "");
    EXPECT_TRUE(WriteSetting("username", "bob"));
    EXPECT_EQ(ReadFileText(path), "username = bob\n[main]\nusername = cam\n");
}

TEST_F(SettingsTest, NewKeyGoesAfterLastItemBeforeFirstHeader) {
    WriteFileText(path, "; note\nport = 1\n[x]\na = b\n");
    EXPECT_TRUE(WriteSetting("device", "3"));
    EXPECT_EQ(ReadFileText(path), "; note\nport = 1\ndevice = 3\n[x]\na = b\n");
}

TEST_F(SettingsTest, FirstOfDuplicateKeysIsReadAndUpdated) {
    WriteFileText(path, "port = 1\nport = 2\n");
    EXPECT_EQ(ReadSetting("port"), "1");
    WriteSetting("port", "3");
    EXPECT_EQ(ReadFileText(path), "port = 3\nport = 2\n");
}

TEST_F(SettingsTest, CrLfFileIsRewrittenWithLfAndCommentsSurvive) {
    WriteFileText(path, ";comment\r\n\r\n\r\nport=1\r\r[g]\r\n");
    WriteSetting("port", "2");
    EXPECT_EQ(ReadFileText(path), "; comment\nport = 2\n[g]\n");
}

TEST_F(SettingsTest, ByteOrderMarkIsKeptAndValuesAreConverted) {
    WriteFileText(path, "\xEF\xBB\xBFusername = J\xC3\xBCrgen\n");
    EXPECT_EQ(ReadSetting("username"), "J\xFCrgen");  // ISO-8859-15 inside the program
    WriteSetting("username", "G\xE4rtner");
    EXPECT_EQ(ReadFileText(path), "\xEF\xBB\xBF\nusername = G\xC3\xA4rtner\n");
}

TEST_F(SettingsTest, LineWithoutEqualsSignIsKeptAsItStands) {
    WriteFileText(path, "garbage line\nport = 1\n");
    EXPECT_EQ(ReadSetting("garbage line"), "");
    WriteSetting("port", "2");
    EXPECT_EQ(ReadFileText(path), "garbage line\nport = 2\n");
}

TEST_F(SettingsTest, PlaceholderPasswordKeepsStoredDigest) {
    SaveSettings(Input());
    LoadSettings();
    SettingsInput again = Input("Deutsch");
    again.password = "*****";
    SaveSettings(again);
    EXPECT_EQ(ReadSetting("password"), abcDigest);
    EXPECT_EQ(ReadSetting("language"), "Deutsch");
    EXPECT_EQ(programState.settingLanguage, "deutsch");
}

TEST_F(SettingsTest, LoadSettingsFillsTheFields) {
    SaveSettings(Input());
    LoadSettings();
    EXPECT_EQ(programState.settingUsername.Get(), "cam");
    EXPECT_EQ(programState.settingPasswordHash.Get(), abcDigest);
    EXPECT_EQ(programState.settingServer.Get(), "1");
    EXPECT_EQ(programState.settingPort.Get(), "8000");
}

TEST_F(SettingsTest, RewriteKeepsPermissionsAndSymbolicLink) {
    std::string target = dir.File("real.ini");
    WriteFileText(target, "port = 1\n");
    chmod(target.c_str(), 0640);
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    EXPECT_TRUE(WriteSetting("port", "2"));
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileText(target), "port = 2\n");
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(SettingsTest, ReadOnlyFileIsLeftUntouchedButWriteAnswersTrue) {
    WriteFileText(path, "port = 1\n");
    chmod(path.c_str(), 0444);
    chmod(dir.path().c_str(), 0777);
    // Root may write any file, so the write runs as an unprivileged user in a child process.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
        _exit(WriteSetting("port", "2") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFileText(path), "port = 1\n");
}

TEST_F(SettingsTest, NoTemporaryFileIsLeftBeside) {
    SaveSettings(Input());
    WriteSetting("port", "9");
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

}  // namespace
