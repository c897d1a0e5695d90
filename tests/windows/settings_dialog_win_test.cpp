// The shared settings dialog in the Windows build under Wine: its Windows layout, the two gadgets
// only this build has with their defaults, numbers saved from the spin boxes, the Startup
// shortcut written at every confirm while its box is checked, and a login that ISO-8859-15
// cannot hold refused.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <thread>

#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "core/texts.h"
#include "desktop/gadgets.h"
#include "desktop/settings_dialog.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/support/message_box_win.h"
#include "windows/startup_shortcut.h"
#include "windows/wide_text.h"
#include "windows/win32/win32_toolkit.h"
#include "windows/windows_gadgets.h"

namespace {

// Where a gadget stands in the dialog; a spin box's place takes in its arrows beside the field.
RECT PlaceOf(int gadget) {
    HWND dialog = GadgetWindowHandle(settingsWindow);
    HWND control = GetDlgItem(dialog, gadget);
    RECT place{};
    GetWindowRect(control, &place);
    HWND next = GetWindow(control, GW_HWNDNEXT);
    wchar_t className[32] = {};
    if (next && GetClassNameW(next, className, 32) && std::wstring(className) == UPDOWN_CLASSW) {
        RECT arrows;
        GetWindowRect(next, &arrows);
        UnionRect(&place, &place, &arrows);
    }
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

class WindowsSettingsDialog : public ::testing::Test {
protected:
    TempDir dir;
    std::string link;

    void SetUp() override {
        int argc = 0;
        char** argv = nullptr;
        ASSERT_TRUE(InitGadgets(argc, argv)) << "the dialog needs a display";
        ProgramState& s = programState;
        s.settingsPath = dir.File("settings.ini");
        s.programPath = ReadProgramPath();
        ApplyLanguage("english");
        link = GetSpecialFolderPath(CSIDL_STARTUP) + "\\" + startupShortcutName;
        DeleteFileW(WidePath(link).c_str());
    }
    void TearDown() override {
        CloseGadgetWindow(settingsWindow);
        DeleteFileW(WidePath(link).c_str());
    }

    void Stored(const std::string& content) {
        WriteFileText(programState.settingsPath, content);
        LoadSettings();
    }
    void Type(int gadget, const wchar_t* text) {
        SetWindowTextW(GetDlgItem(GadgetWindowHandle(settingsWindow), gadget), text);
    }
    int PressOk() {
        WindowEvent ok;
        ok.kind = EventKind::Gadget;
        ok.window = settingsWindow;
        ok.gadget = gadgetOkButton;
        return HandleSettingsEvent(ok);
    }
};

TEST_F(WindowsSettingsDialog, LaidOutWithTheWindowsGadgets) {
    Stored("");
    ASSERT_TRUE(OpenSettingsDialog());
    RECT inner;
    GetClientRect(GadgetWindowHandle(settingsWindow), &inner);
    EXPECT_EQ(inner.right, 370);
    EXPECT_EQ(inner.bottom, 320);
    const struct {
        int gadget, x, y, width;
    } places[] = {{gadgetAutostartCheckBox, 30, 150, 150}, {gadgetServerCheckBox, 30, 180, 150},
                  {gadgetHideCheckBox, 30, 210, 150},      {gadgetIpCheckCheckBox, 30, 240, 150},
                  {gadgetLanguageLabel, 190, 152, 50},     {gadgetPortSpin, 265, 180, 70},
                  {gadgetDeviceSpin, 265, 210, 70},        {gadgetImageQualityLabel, 190, 242, 72},
                  {gadgetOkButton, 80, 290, 100},          {gadgetCancelButton, 190, 290, 100},
                  {gadgetSettingsFrame, 7, 124, 356}};
    for (const auto& p : places) {
        RECT place = PlaceOf(p.gadget);
        EXPECT_EQ(place.left, p.x) << p.gadget;
        EXPECT_EQ(place.top, p.y) << p.gadget;
        // The arrows of a spin box draw their own edge and may give up a pixel or two of it.
        bool spin = p.gadget == gadgetPortSpin || p.gadget == gadgetDeviceSpin;
        EXPECT_NEAR(place.right - place.left, p.width, spin ? 2 : 0) << p.gadget;
    }
    EXPECT_EQ(PlaceOf(gadgetSettingsFrame).bottom, 124 + 157);
    EXPECT_EQ(GetGadgetText(gadgetAutostartCheckBox), "Start with windows");
    EXPECT_EQ(GetGadgetText(gadgetImageQualityLabel), "Image quality:");
    EXPECT_EQ(GetGadgetState(gadgetAutostartCheckBox), 0);
    EXPECT_EQ(GetGadgetState(gadgetImageQualitySpin), 5);
    EXPECT_EQ(GetGadgetState(gadgetPortSpin), 8000);
}

TEST_F(WindowsSettingsDialog, StoredValuesOutsideTheRangesShowTheDefaults) {
    const struct {
        const char* stored;
        int device, image, autostart;
    } cases[] = {{"device = 12\r\nimage = 0\r\n", 0, 5, 0},
                 {"device = 9\r\nimage = 11\r\nautostart = 1\r\n", 9, 5, 1},
                 {"device = 3\r\nimage = 7\r\nautostart = 0\r\n", 3, 7, 0},
                 {"device = -1\r\nimage = 1\r\n", 0, 1, 0}};
    for (const auto& c : cases) {
        Stored(c.stored);
        ASSERT_TRUE(OpenSettingsDialog());
        EXPECT_EQ(GetGadgetState(gadgetDeviceSpin), c.device) << c.stored;
        EXPECT_EQ(GetGadgetState(gadgetImageQualitySpin), c.image) << c.stored;
        EXPECT_EQ(GetGadgetState(gadgetAutostartCheckBox), c.autostart) << c.stored;
        CloseGadgetWindow(settingsWindow);
    }
}

TEST_F(WindowsSettingsDialog, ConfirmSavesNumbersAndWritesTheShortcutWhileChecked) {
    Stored("");
    ASSERT_TRUE(OpenSettingsDialog());
    SetGadgetText(gadgetUsernameEntry, " cam ");
    SetGadgetText(gadgetPasswordEntry, "abc");
    SetGadgetState(gadgetAutostartCheckBox, 1);
    SetGadgetState(gadgetImageQualitySpin, 7);
    // Typed by hand: leading zeros are no part of the number that is saved.
    SetWindowTextW(GetDlgItem(GadgetWindowHandle(settingsWindow), gadgetPortSpin), L"08080");
    ASSERT_EQ(PressOk(), 1);
    EXPECT_EQ(ReadFileText(programState.settingsPath),
              "language = English\r\nusername = cam\r\n"
              "password = a9993e364706816aba3e25717850c26c9cd0d89d\r\nautostart = 1\r\n"
              "server = 0\r\nhide = 0\r\nipcheck = 0\r\nport = 8080\r\ndevice = 0\r\nimage = 7\r\n");
    EXPECT_TRUE(PathExists(link));

    // Confirmed again with the box checked: written anew.
    DeleteFileW(WidePath(link).c_str());
    ASSERT_EQ(PressOk(), 1);
    EXPECT_TRUE(PathExists(link));

    // Unchecked: the setting follows, the shortcut stays where it is.
    SetGadgetState(gadgetAutostartCheckBox, 0);
    ASSERT_EQ(PressOk(), 1);
    EXPECT_EQ(ReadSetting("autostart"), "0");
    EXPECT_TRUE(PathExists(link));
}

TEST_F(WindowsSettingsDialog, ALoginOutsideIso885915IsRefusedAndNothingIsSaved) {
    Stored("username = cam\r\npassword = " + Sha1Hex(std::string("pw")) + "\r\n");
    const std::string before = ReadFileText(programState.settingsPath);
    ASSERT_TRUE(OpenSettingsDialog());
    // Cyrillic, Chinese, and an emoji that takes two UTF-16 units.
    const wchar_t* const logins[][2] = {{L"cam", L"\u043F\u0430\u0440\u043E\u043B\u044C"},
                                        {L"\u65E5\u672C\u8A9E", L"pw"}, {L"cam", L"pw\U0001F600"}};
    for (const auto& login : logins) {
        Type(gadgetUsernameEntry, login[0]);
        Type(gadgetPasswordEntry, login[1]);
        std::string said;
        std::thread answerer([&] { AnswerMessageBox("Error", [&](const std::string& text) { said = text; }, 30000); });
        EXPECT_EQ(PressOk(), settingsDialogOpen);
        answerer.join();
        EXPECT_EQ(said, "The username and password may only hold characters of ISO-8859-15.");
    }
    EXPECT_EQ(ReadFileText(programState.settingsPath), before);

    // The euro sign has a place of its own: the digest is over its byte A4.
    Type(gadgetUsernameEntry, L"cam");
    Type(gadgetPasswordEntry, L"\u20ACuro");
    ASSERT_EQ(PressOk(), 1);
    EXPECT_EQ(ReadSetting("password"), Sha1Hex(std::string("\xA4uro")));
}

}  // namespace
