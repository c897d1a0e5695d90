// settings.ini as the Windows build reads and writes it: always UTF-8, lines ended by CR LF, the
// two extra keys in their places, and a password digest over the same bytes as on Linux, so
// that a file moves between the builds.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "core/text_util.h"
#include "core/texts.h"
#include "tests/support/temp_dir.h"
#include "windows/wide_text.h"
#include "windows/windows_state.h"

namespace {

class WindowsSettings : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("settings.ini");
    void SetUp() override { programState.settingsPath = path; }

    SettingsInput Input() {
        SettingsInput in;
        in.languageName = "Deutsch";
        in.username = "J\xFCrgen";  // ISO-8859-15 inside the program
        in.password = "s\xE4ge";
        in.autostart = true;
        in.server = false;
        in.hide = true;
        in.ipcheck = false;
        in.port = "8080";
        in.device = "2";
        in.image = "7";
        return in;
    }
};

TEST_F(WindowsSettings, FirstSaveWritesTenUtf8LinesWithCrLfInOrder) {
    SaveSettings(Input());
    // SHA-1 of the ISO-8859-15 bytes 73 E4 67 65, as the Linux build hashes them.
    EXPECT_EQ(ReadFileText(path),
              "language = Deutsch\r\n"
              "username = J\xC3\xBCrgen\r\n"
              "password = c8b8402a46096f9a965d2ce337baadd15e9519f7\r\n"
              "autostart = 1\r\n"
              "server = 0\r\n"
              "hide = 1\r\n"
              "ipcheck = 0\r\n"
              "port = 8080\r\n"
              "device = 2\r\n"
              "image = 7\r\n");
    EXPECT_EQ(programState.settingLanguage, "deutsch");

    LoadSettings();
    EXPECT_EQ(programState.settingUsername.Get(), "J\xFCrgen");
    EXPECT_EQ(windowsState.settingAutostart.Get(), "1");
    EXPECT_EQ(windowsState.settingImage.Get(), "7");
    EXPECT_EQ(programState.settingDevice.Get(), "2");
}

TEST_F(WindowsSettings, LinuxFileWithLfIsReadAlikeAndRewrittenWithCrLf) {
    WriteFileText(path, "; written on Linux\nusername = cam\nport = 8000\n[extra]\nport = 1\n");
    EXPECT_EQ(ReadSetting("username"), "cam");
    EXPECT_EQ(ReadSetting("port"), "8000");
    EXPECT_TRUE(WriteSetting("image", "3"));
    EXPECT_EQ(ReadFileText(path),
              "; written on Linux\r\nusername = cam\r\nport = 8000\r\nimage = 3\r\n[extra]\r\nport = 1\r\n");
}

TEST_F(WindowsSettings, TextIsUtf8WithOrWithoutByteOrderMark) {
    WriteFileText(path, "username = G\xC3\xA4rtner \xE2\x82\xAC\r\n");
    EXPECT_EQ(ReadSetting("username"), "G\xE4rtner \xA4");
    WriteFileText(path, "\xEF\xBB\xBFusername = G\xC3\xA4rtner\n");
    EXPECT_EQ(ReadSetting("username"), "G\xE4rtner");
    EXPECT_TRUE(WriteSetting("port", "9000"));
    EXPECT_EQ(ReadFileText(path), "\xEF\xBB\xBF\r\nusername = G\xC3\xA4rtner\r\nport = 9000\r\n");
}

TEST_F(WindowsSettings, UncheckedAutostartAndPlaceholderPassword) {
    SaveSettings(Input());
    LoadSettings();
    SettingsInput again = Input();
    again.autostart = false;
    again.password = "*****";
    SaveSettings(again);
    EXPECT_EQ(ReadSetting("autostart"), "0");
    EXPECT_EQ(ReadSetting("password"), "c8b8402a46096f9a965d2ce337baadd15e9519f7");
}

TEST(WindowsTexts, GermanAutoStartCaptionAndWindowsOnlyTexts) {
    ApplyLanguage("deutsch");
    const ProgramState& shared = programState;
    const WindowsState& s = windowsState;
    EXPECT_EQ(shared.textActivateServer, "Server automatisch starten");
    EXPECT_EQ(s.textDeviceFailed, "Konnte keine Verbindung mit dem Ger\xE4t herstellen.");
    EXPECT_EQ(s.textImageQuality, "Bildqualit\xE4t");
    EXPECT_EQ(s.textStartWithWindows, "Mit Windows starten");
    EXPECT_EQ(s.textFunctionPrefix, "Die Funktion ");
    EXPECT_EQ(s.textNotFoundSuffix, " wurde nicht gefunden.");
    ApplyLanguage("english");
    EXPECT_EQ(shared.textActivateServer, "Activate server");
    EXPECT_EQ(s.textDeviceFailed, "Can not connect to the capture device.");
    EXPECT_EQ(s.textImageQuality, "Image quality");
    EXPECT_EQ(s.textStartWithWindows, "Start with windows");
}

TEST(WindowsSettingsPlace, BesideTheProgramOrInTheUsersApplicationData) {
    TempDir program;
    const std::string folder = program.path() + "\\";
    EXPECT_EQ(ChooseSettingsPath(folder), folder + "settings.ini");
    wchar_t appData[1024];
    DWORD length = GetEnvironmentVariableW(L"APPDATA", appData, 1024);
    ASSERT_GT(length, 0u);
    const std::string own = StripTrailingSlash(PathFromWide(std::wstring(appData, length))) + "\\Lumora\\";
    EXPECT_EQ(UserSettingsFolder(), own);
    // A folder that takes no new file: here, one that does not exist.
    EXPECT_EQ(ChooseSettingsPath(folder + "gone\\"), own + "settings.ini");
    // The installed copy's folder is the user's and writable; the installer marked it.
    WriteFileText(folder + "installed.txt", "");
    EXPECT_EQ(ChooseSettingsPath(folder), own + "settings.ini");
}

}  // namespace
