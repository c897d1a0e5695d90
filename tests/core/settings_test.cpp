// Reading and writing settings.ini: the file format as read, as written, and the save sequence.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

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
constexpr uid_t nobody = 65534;

// Runs the body in a fresh child process as an ordinary user (root may write any file) and
// hands back its answer.
std::string AsNobody(const std::function<std::string()>& body) {
    int out[2];
    if (pipe(out) != 0) return "no pipe";
    pid_t child = fork();
    if (child == 0) {
        bool dropped = geteuid() != 0 || (setgid(nobody) == 0 && setuid(nobody) == 0);
        std::string answer = dropped ? body() : "could not become nobody";
        _exit(write(out[1], answer.data(), answer.size()) == ssize_t(answer.size()) ? 0 : 1);
    }
    close(out[1]);
    std::string answer;
    char chunk[4096];
    for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;) answer.append(chunk, size_t(n));
    close(out[0]);
    int status = -1;
    waitpid(child, &status, 0);
    return status == 0 ? answer : "child status " + std::to_string(status);
}

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

TEST_F(SettingsTest, WritesThatDoNotReachTheFileSaySo) {
    WriteFileText(path, "port = 1\n");
    chmod(path.c_str(), 0444);
    chmod(dir.path().c_str(), 0777);
    programState.settingLanguage = "deutsch";
    // A read-only file: only a value it already holds counts as written.
    EXPECT_EQ(AsNobody([this] {
                  std::string answers = std::to_string(WriteSetting("port", "2"));
                  answers += std::to_string(WriteSetting("port", "1"));
                  return answers + std::to_string(SaveSettings(Input())) + programState.settingLanguage;
              }),
              "010deutsch");
    EXPECT_EQ(ReadFileText(path), "port = 1\n");
    unlink(path.c_str());
    chmod(dir.path().c_str(), 0555);
    EXPECT_EQ(AsNobody([this] { return std::to_string(SaveSettings(Input())); }), "0") << "no file made";
    EXPECT_FALSE(PathExists(path));
}

TEST_F(SettingsTest, ARewriteKeepsTheOwnerAndPutsTheOldBytesBackWhenItFails) {
    const std::string old = "; note\nport = 1\n";
    WriteFileText(path, old);
    ASSERT_EQ(chown(path.c_str(), nobody, nobody), 0) << "needs root";
    for (mode_t folderMode : {0555, 0777}) {  // rewritten in place, or through a spare file
        chmod(dir.path().c_str(), folderMode);
        EXPECT_EQ(AsNobody([&] {
                      // The size limit stands for a full disk: the new bytes cannot all arrive.
                      signal(SIGXFSZ, SIG_IGN);
                      rlimit limit{old.size() + 4, old.size() + 4};
                      setrlimit(RLIMIT_FSIZE, &limit);
                      std::string answers = std::to_string(WriteSetting("username", std::string(200, 'n')));
                      answers += std::to_string(WriteSetting("port", "2"));
                      return answers + std::to_string(WriteSetting("port", "1"));
                  }),
                  "011")
            << std::oct << folderMode;
        EXPECT_EQ(ReadFileText(path), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "a spare left";
    }
    // Root saving the user's file leaves it theirs; a user who cannot give a new file to its
    // owner rewrites it in place.
    EXPECT_TRUE(WriteSetting("port", "2"));
    struct stat info;
    EXPECT_TRUE(stat(path.c_str(), &info) == 0 && info.st_uid == nobody && info.st_gid == nobody);
    ASSERT_EQ(chown(path.c_str(), 1234, 1234), 0);
    chmod(path.c_str(), 0666);
    EXPECT_EQ(AsNobody([] { return std::to_string(WriteSetting("port", "3")); }), "1");
    EXPECT_TRUE(stat(path.c_str(), &info) == 0 && info.st_uid == 1234u && info.st_gid == 1234u);
    EXPECT_EQ(ReadFileText(path), "; note\nport = 3\n");
}

TEST_F(SettingsTest, AHugeFileIsReadCheaplyAndKeepsEveryLineWhenRewritten) {
    std::string lines, rewritten;
    for (int n = 0; lines.size() < 20 * 1024 * 1024; ++n) {
        lines += "  key" + std::to_string(n) + "= value  \r\n";
        rewritten += "key" + std::to_string(n) + " = value  \n";
    }
    WriteFileText(path, "username = cam\n[more]\n" + lines);
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(AsNobody([] {
                  rusage before, after;
                  getrusage(RUSAGE_SELF, &before);
                  auto start = std::chrono::steady_clock::now();
                  LoadSettings();
                  bool quick = std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500);
                  getrusage(RUSAGE_SELF, &after);
                  bool small = after.ru_maxrss - before.ru_maxrss < 8 * 1024;  // kilobytes
                  return programState.settingUsername.Get() + (small ? " small" : " big") +
                         (quick ? " quick" : " slow");
              }),
              "cam small quick");
    EXPECT_TRUE(WriteSetting("port", "1"));
    EXPECT_EQ(ReadFileText(path), "username = cam\nport = 1\n[more]\n" + rewritten);
}

TEST_F(SettingsTest, SettingsLiveBesideTheProgramOrInTheUsersOwnFolder) {
    const std::string program = dir.File("bin/"), home = dir.File("home");
    ASSERT_EQ(mkdir(program.c_str(), 0755) | mkdir(home.c_str(), 0755) | chown(home.c_str(), nobody, nobody), 0);
    chmod(dir.path().c_str(), 0755);
    auto choose = [&](const char* configHome) {
        return AsNobody([&] {
            setenv("HOME", home.c_str(), 1);
            configHome ? setenv("XDG_CONFIG_HOME", configHome, 1) : unsetenv("XDG_CONFIG_HOME");
            return ChooseSettingsPath(program);
        });
    };
    for (const char* none : {(const char*)nullptr, "", "relative"})
        EXPECT_EQ(choose(none), home + "/.config/lumora/settings.ini") << (none ? none : "unset");
    EXPECT_EQ(choose((home + "/xdg").c_str()), home + "/xdg/lumora/settings.ini");
    WriteFileText(program + "settings.ini", "");
    EXPECT_EQ(choose(nullptr), program + "settings.ini") << "an existing file stays the place";
    unlink((program + "settings.ini").c_str());
    chmod(program.c_str(), 0777);
    EXPECT_EQ(choose(nullptr), program + "settings.ini") << "a folder the user may write";
    WriteFileText(program + "installed.txt", "");
    EXPECT_EQ(choose(nullptr), home + "/.config/lumora/settings.ini") << "unless an installer marked it";
    unlink((program + "installed.txt").c_str());
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    EXPECT_EQ(ChooseSettingsPath(program, program), home + "/lumora/settings.ini")
        << "the folder a package installs into, even for the superuser";
    WriteFileText(program + "settings.ini", "");
    EXPECT_EQ(ChooseSettingsPath(program, program), program + "settings.ini");
    unlink((program + "settings.ini").c_str());
    unsetenv("XDG_CONFIG_HOME");

    // The first save makes the user's folders, private to them.
    programState.settingsPath = home + "/a/b/lumora/settings.ini";
    EXPECT_EQ(AsNobody([this] { return std::to_string(SaveSettings(Input())); }), "1");
    for (const char* folder : {"/a", "/a/b", "/a/b/lumora"}) {
        struct stat info;
        EXPECT_TRUE(stat((home + folder).c_str(), &info) == 0 && (info.st_mode & 07777) == 0700 &&
                    info.st_uid == nobody)
            << folder;
    }
    EXPECT_EQ(ReadSetting("username"), "cam");
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
