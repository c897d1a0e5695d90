// The settings dialog with real gadgets: when it shows, what it shows, its validation (characters
// outside ISO-8859-15 included), what OK writes to settings.ini, a save that does not reach the
// file, the reload, the language switch with the refreshed main window, and its own loop that
// drops every other event.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <gtk/gtk.h>

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "core/texts.h"
#include "desktop/gtk/gtk_toolkit.h"
#include "desktop/main_window.h"
#include "desktop/settings_dialog.h"
#include "tests/desktop/gui_support.h"
#include "tests/support/program_state.h"
#include "tests/support/temp_dir.h"

namespace {

WindowEvent GadgetEvent(int window, int gadget) {
    WindowEvent event;
    event.kind = EventKind::Gadget;
    event.window = window;
    event.gadget = gadget;
    return event;
}

class SettingsDialogTest : public testing::Test {
protected:
    TempDir dir;
    std::string settingsFile;

    void SetUp() override {
        ASSERT_TRUE(StartGadgetsForTest()) << "no X display (set DISPLAY)";
        settingsFile = dir.File("settings.ini");
        ResetProgramState(dir.path());
    }
    void TearDown() override {
        CloseGadgetWindow(settingsWindow);
        CloseGadgetWindow(mainWindow);
        programState.mainWindowReady.store(0);
        while (WaitWindowEvent(0).kind != EventKind::NoEvent) {
        }
    }
    void StoreLogin() {
        WriteFileText(settingsFile,
                      "username = anna\npassword = " + Sha1Hex(std::string("pw")) +
                          "\nport = 8081\ndevice = 3\nserver = 1\n");
    }
    void OpenMainWindowShowing(bool active) {
        ASSERT_TRUE(OpenMainWindow());
        programState.mainWindowReady.store(1);
        ShowServerStatus(active);
    }
};

}  // namespace

TEST_F(SettingsDialogTest, FirstStartShowsAnEmptyDialogWithPort8000AndDevice0) {
    ASSERT_FALSE(PathExists(settingsFile));
    EXPECT_TRUE(SettingsDialogNeeded(showWhenLoginMissing));
    ASSERT_TRUE(OpenSettingsDialog());
    PumpToolkit(100);
    EXPECT_TRUE(GadgetWindowVisible(settingsWindow));
    GtkWidget* window = GadgetWindowWidget(settingsWindow);
    GtkAllocation inner;
    gtk_widget_get_allocation(window, &inner);
    EXPECT_EQ(inner.width, 370);
    EXPECT_EQ(inner.height, 290);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Lumora v1.4");

    EXPECT_EQ(GetGadgetText(gadgetUsernameEntry), "");
    EXPECT_EQ(GetGadgetText(gadgetPasswordEntry), "");
    EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(GadgetWidget(gadgetPasswordEntry))));
    EXPECT_EQ(GetGadgetState(gadgetServerCheckBox), 0);
    EXPECT_EQ(GetGadgetState(gadgetHideCheckBox), 0);
    EXPECT_EQ(GetGadgetState(gadgetIpCheckCheckBox), 0);
    EXPECT_EQ(GetGadgetText(gadgetPortSpin), "8000");
    EXPECT_EQ(GetGadgetText(gadgetDeviceSpin), "0");
    EXPECT_EQ(GetGadgetText(gadgetLanguageComboBox), "English");
    EXPECT_EQ(GetGadgetText(gadgetLoginFrame), "Login");
    EXPECT_EQ(GetGadgetText(gadgetSettingsFrame), "Program settings");
    EXPECT_EQ(GetGadgetText(gadgetHideCheckBox), "Hide in tray");
    EXPECT_EQ(GetGadgetText(gadgetLanguageLabel), "Language:");
    EXPECT_EQ(GetGadgetText(gadgetDeviceLabel), "Device:");
    EXPECT_EQ(GetGadgetText(gadgetCancelButton), "Cancel");
}

TEST_F(SettingsDialogTest, GermanCaptionsAndStoredValuesAreShown) {
    ProgramState& s = programState;
    ApplyLanguage("deutsch");
    s.settingUsername.Set("anna");
    s.settingPasswordHash.Set(Sha1Hex(std::string("pw")));
    s.settingServer.Set("1");
    s.settingHide.Set("0");
    s.settingIpCheck.Set("$1");
    s.settingPort.Set(" 8081");
    s.settingDevice.Set("12");
    ASSERT_TRUE(OpenSettingsDialog());
    EXPECT_EQ(GetGadgetText(gadgetUsernameEntry), "anna");
    EXPECT_EQ(GetGadgetText(gadgetPasswordEntry), "*****");
    EXPECT_EQ(GetGadgetState(gadgetServerCheckBox), 1);
    EXPECT_EQ(GetGadgetState(gadgetHideCheckBox), 0);
    EXPECT_EQ(GetGadgetState(gadgetIpCheckCheckBox), 1);
    EXPECT_EQ(GetGadgetText(gadgetPortSpin), "8081");
    EXPECT_EQ(GetGadgetText(gadgetDeviceSpin), "12");
    EXPECT_EQ(GetGadgetText(gadgetLanguageComboBox), "Deutsch");
    EXPECT_EQ(GetGadgetText(gadgetHideCheckBox), "Versteckt starten");
    EXPECT_EQ(GetGadgetText(gadgetDeviceLabel), "Ger\xE4t:");
    EXPECT_EQ(GetGadgetText(gadgetCancelButton), "Abbrechen");
    EXPECT_EQ(GetGadgetText(gadgetOkButton), "OK");
}

TEST_F(SettingsDialogTest, OutOfRangeStoredNumbersShowTheDefaults) {
    ProgramState& s = programState;
    s.settingPort.Set("70000");
    s.settingDevice.Set("-1");
    ASSERT_TRUE(OpenSettingsDialog());
    EXPECT_EQ(GetGadgetText(gadgetPortSpin), "8000");
    EXPECT_EQ(GetGadgetText(gadgetDeviceSpin), "0");
    CloseGadgetWindow(settingsWindow);
    s.settingPort.Set("0");
    s.settingDevice.Set("10000");
    ASSERT_TRUE(OpenSettingsDialog());
    EXPECT_EQ(GetGadgetText(gadgetPortSpin), "8000");
    EXPECT_EQ(GetGadgetText(gadgetDeviceSpin), "0");
}

TEST_F(SettingsDialogTest, EmptyOrBlankLoginIsRefusedAndNothingIsWritten) {
    ASSERT_TRUE(OpenSettingsDialog());
    MessageBoxAnswerer answerer;
    for (auto [user, password] : {std::pair{"", "pw"}, std::pair{"anna", "   "},
                                  std::pair{" \t", "pw"}}) {
        TypeIntoGadget(gadgetUsernameEntry, user);
        TypeIntoGadget(gadgetPasswordEntry, password);
        EXPECT_EQ(HandleSettingsEvent(GadgetEvent(settingsWindow, gadgetOkButton)),
                  settingsDialogOpen);
    }
    ASSERT_EQ(answerer.seen.size(), 3u);
    for (const MessageBoxSeen& box : answerer.seen) {
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.text, "Please enter a username and password.");
    }
    EXPECT_FALSE(PathExists(settingsFile));
    EXPECT_TRUE(GadgetWindowExists(settingsWindow));
}

TEST_F(SettingsDialogTest, ALoginOutsideIso885915IsRefusedInBothLanguagesAndNothingIsSaved) {
    StoreLogin();
    LoadSettings();
    const std::string before = ReadFileText(settingsFile);
    ASSERT_TRUE(OpenSettingsDialog());
    MessageBoxAnswerer answerer;
    auto typeUtf8 = [](int gadget, const char* text) {
        gtk_entry_set_text(GTK_ENTRY(GadgetWidget(gadget)), text);
    };
    for (auto [user, password] : {std::pair{"anna", "пароль"}, std::pair{"ЖЖЖЖЖЖ", "*****"},
                                  std::pair{"日本語中文字", "pw"}, std::pair{"??????", "pw\u0142"}}) {
        typeUtf8(gadgetUsernameEntry, user);
        typeUtf8(gadgetPasswordEntry, password);
        EXPECT_EQ(HandleSettingsEvent(GadgetEvent(settingsWindow, gadgetOkButton)), settingsDialogOpen)
            << user << " " << password;
    }
    ApplyLanguage("deutsch");
    EXPECT_EQ(HandleSettingsEvent(GadgetEvent(settingsWindow, gadgetOkButton)), settingsDialogOpen);
    ASSERT_EQ(answerer.seen.size(), 5u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(answerer.seen[i].title, "Error");
        EXPECT_EQ(answerer.seen[i].text, "The username and password may only hold characters of ISO-8859-15.");
    }
    EXPECT_EQ(answerer.seen[4].title, "Fehler");
    EXPECT_EQ(answerer.seen[4].text, "Nutzername und Passwort d\xFCrfen nur Zeichen aus ISO-8859-15 enthalten.");
    EXPECT_EQ(ReadFileText(settingsFile), before);
    EXPECT_EQ(programState.settingUsername.Get(), "anna");
    EXPECT_TRUE(GadgetWindowVisible(settingsWindow));

    // The euro sign and S caron have places of their own: the digest is over their bytes A4 and A6.
    typeUtf8(gadgetUsernameEntry, "??????");
    typeUtf8(gadgetPasswordEntry, "€Š");
    EXPECT_EQ(HandleSettingsEvent(GadgetEvent(settingsWindow, gadgetOkButton)), 1);
    EXPECT_EQ(ReadSetting("username"), "??????");
    EXPECT_EQ(ReadSetting("password"), Sha1Hex(std::string("\xA4\xA6")));
}

TEST_F(SettingsDialogTest, OkWritesTheEightKeysInOrderWithTrimmedLoginAndDigest) {
    ASSERT_TRUE(OpenSettingsDialog());
    TypeIntoGadget(gadgetUsernameEntry, "  anna ");
    TypeIntoGadget(gadgetPasswordEntry, " geheim\t");
    ClickGadget(gadgetServerCheckBox);
    ClickGadget(gadgetIpCheckCheckBox);
    TypeIntoGadget(gadgetPortSpin, "8080");
    TypeIntoGadget(gadgetDeviceSpin, "2");
    ChooseGadgetItem(gadgetLanguageComboBox, 0);
    EXPECT_EQ(HandleSettingsEvent(GadgetEvent(settingsWindow, gadgetOkButton)), 1);
    EXPECT_EQ(ReadFileText(settingsFile),
              "language = Deutsch\nusername = anna\npassword = " +
                  Sha1Hex(std::string("geheim")) +
                  "\nserver = 1\nhide = 0\nipcheck = 1\nport = 8080\ndevice = 2\n");
    EXPECT_EQ(programState.settingLanguage, "deutsch");
    EXPECT_EQ(programState.textCancel, "Abbrechen") << "the new language is in force at once";
}

TEST_F(SettingsDialogTest, UntouchedOrRetypedPlaceholderKeepsTheStoredDigest) {
    ProgramState& s = programState;
    const std::string digest = Sha1Hex(std::string("old password"));
    for (bool retype : {false, true}) {
        s.settingUsername.Set("anna");
        s.settingPasswordHash.Set(digest);
        ASSERT_TRUE(OpenSettingsDialog());
        if (retype) TypeIntoGadget(gadgetPasswordEntry, "*****");
        ASSERT_EQ(HandleSettingsEvent(GadgetEvent(settingsWindow, gadgetOkButton)), 1);
        EXPECT_EQ(ReadSetting("password"), digest) << "retyped: " << retype;
        CloseGadgetWindow(settingsWindow);
    }
}

TEST_F(SettingsDialogTest, StoredLoginSkipsTheDialogAtStartAndReloadsTheSettings) {
    StoreLogin();
    EXPECT_FALSE(SettingsDialogNeeded(showWhenLoginMissing));
    EXPECT_TRUE(SettingsDialogNeeded(showAlways));
    EXPECT_EQ(SettingsDialog(showWhenLoginMissing), 1);
    EXPECT_FALSE(GadgetWindowExists(settingsWindow));
    EXPECT_EQ(programState.settingUsername.Get(), "anna");
    EXPECT_EQ(programState.settingPort.Get(), "8081");
    EXPECT_EQ(programState.settingDevice.Get(), "3");
    EXPECT_EQ(programState.settingServer.Get(), "1");

    WriteFileText(settingsFile, "username = anna\npassword = \n");
    EXPECT_TRUE(SettingsDialogNeeded(showWhenLoginMissing)) << "a stored password is needed too";
}

TEST_F(SettingsDialogTest, ItsOwnLoopDropsOtherEventsAndOkByMouseConfirms) {
    OpenMainWindowShowing(false);
    RunLater(150, [] {
        WindowEvent timer;
        timer.kind = EventKind::Timer;
        timer.window = mainWindow;
        timer.timer = frameTimer;
        PostWindowEvent(timer);
        PostWindowEvent(GadgetEvent(mainWindow, gadgetStartStop));
        TypeIntoGadget(gadgetUsernameEntry, "bert");
        TypeIntoGadget(gadgetPasswordEntry, "secret");
        TypeIntoGadget(gadgetPortSpin, "9090");
    });
    RunLater(300, [] { ClickGadget(gadgetOkButton); });
    EXPECT_EQ(SettingsDialog(showAlways), 1);
    EXPECT_FALSE(GadgetWindowExists(settingsWindow));
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent) << "an event outlived the dialog";
    EXPECT_EQ(programState.settingUsername.Get(), "bert");
    EXPECT_EQ(programState.settingPasswordHash.Get(), Sha1Hex(std::string("secret")));
    EXPECT_EQ(GetGadgetText(gadgetPortField), " 9090");
    EXPECT_EQ(programState.runningPort, "") << "the server was not running";
}

TEST_F(SettingsDialogTest, SwitchingToEnglishRefreshesTheMainWindowAndKeepsTheRunningPort) {
    StoreLogin();
    ApplyLanguage("deutsch");
    LoadSettings();
    OpenMainWindowShowing(true);
    EXPECT_EQ(GetGadgetText(gadgetStatusField), " Aktiv");
    EXPECT_EQ(GetGadgetText(gadgetSettingsButton), " Einstellungen");
    RunLater(150, [] {
        ChooseGadgetItem(gadgetLanguageComboBox, 1);
        TypeIntoGadget(gadgetPortSpin, "9000");
        ClickGadget(gadgetOkButton);
    });
    EXPECT_EQ(SettingsDialog(showAlways), 1);
    EXPECT_EQ(GetGadgetText(gadgetSettingsButton), " Settings");
    EXPECT_EQ(GetGadgetText(gadgetPreviewButton), "Preview");
    EXPECT_EQ(GetGadgetText(gadgetHideButton), "Hide in tray");
    EXPECT_EQ(GetGadgetText(gadgetUsersLabel), "Users:");
    EXPECT_EQ(GetGadgetText(gadgetStatusField), " Active");
    EXPECT_EQ(GetGadgetText(gadgetStartStop), "Stop");
    EXPECT_EQ(GetGadgetText(gadgetPortField), " 9000");
    EXPECT_EQ(GetGadgetText(gadgetStatusLabel), "Status:");
    EXPECT_EQ(programState.runningPort, "8081");
    EXPECT_EQ(programState.settingPort.Get(), "9000");

    // A second change while it runs: the server still listens on the port it was started with.
    RunLater(150, [] {
        TypeIntoGadget(gadgetPortSpin, "9100");
        ClickGadget(gadgetOkButton);
    });
    EXPECT_EQ(SettingsDialog(showAlways), 1);
    EXPECT_EQ(programState.runningPort, "8081");
    EXPECT_EQ(programState.settingPort.Get(), "9100");
}

TEST_F(SettingsDialogTest, CancelAndClosingAnyWindowLeaveEverythingAsItWas) {
    StoreLogin();
    LoadSettings();
    OpenMainWindowShowing(true);
    const std::string before = ReadFileText(settingsFile);
    RunLater(150, [] {
        TypeIntoGadget(gadgetUsernameEntry, "mallory");
        ClickGadget(gadgetCancelButton);
    });
    EXPECT_EQ(SettingsDialog(showAlways), 0);
    EXPECT_EQ(ReadFileText(settingsFile), before);
    EXPECT_EQ(programState.settingUsername.Get(), "anna");
    EXPECT_EQ(GetGadgetText(gadgetStatusField), " Active");
    EXPECT_EQ(GetGadgetText(gadgetStartStop), "Stop");

    // The main window's close button only closes the dialog while it is open.
    RunLater(150, [] { RequestWindowClose(mainWindow); });
    EXPECT_EQ(SettingsDialog(showAlways), 0);
    EXPECT_TRUE(GadgetWindowExists(mainWindow));
    EXPECT_FALSE(GadgetWindowExists(settingsWindow));
    EXPECT_EQ(ReadFileText(settingsFile), before);
}

TEST_F(SettingsDialogTest, ASaveThatDoesNotReachTheFileIsSaidAndTheDialogStaysOpen) {
    StoreLogin();
    LoadSettings();
    const std::string before = ReadFileText(settingsFile);
    // A file size limit stands for a full disk: no save can write more than the old file holds.
    rlimit unlimited;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit full = unlimited;
    full.rlim_cur = before.size();
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    MessageBoxAnswerer answerer;
    bool openAfterFailure = false;
    std::string inForce;
    RunLater(150, [] {
        TypeIntoGadget(gadgetUsernameEntry, "bert");
        ClickGadget(gadgetOkButton);
    });
    RunLater(600, [&] {
        openAfterFailure = GadgetWindowVisible(settingsWindow);
        inForce = programState.settingUsername.Get();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        ClickGadget(gadgetOkButton);
    });
    EXPECT_EQ(SettingsDialog(showAlways), 1);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, SIG_DFL);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].title, "Error");
    EXPECT_EQ(answerer.seen[0].text, "Can not save the settings.");
    EXPECT_TRUE(openAfterFailure);
    EXPECT_EQ(inForce, "anna");
    EXPECT_EQ(programState.settingUsername.Get(), "bert") << "the second OK saved";
    EXPECT_EQ(ReadSetting("username"), "bert");
}
