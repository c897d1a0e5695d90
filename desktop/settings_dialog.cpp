// The settings dialog as laid out (370 x 290 inner pixels), its confirm steps and its own loop.
#include "desktop/settings_dialog.h"

#include "core/constants.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "core/text_util.h"
#include "core/texts.h"
#include "desktop/main_window.h"
#include "desktop/platform_layout.h"

namespace {

constexpr int dialogWidth = 370;
constexpr int defaultPort = 8000;
constexpr int defaultDevice = 0;
const char passwordPlaceholder[] = "*****";

int ValueInRange(const std::string& text, int minimum, int maximum, int fallback) {
    int64_t value = NumberValue(text);
    return value >= minimum && value <= maximum ? int(value) : fallback;
}

bool Confirm() {
    ProgramState& s = programState;
    SettingsInput input;
    input.username = TrimText(GetGadgetText(gadgetUsernameEntry));
    input.password = TrimText(GetGadgetText(gadgetPasswordEntry));
    if (input.username.empty() || input.password.empty()) {
        ShowMessageBox(s.textErrorTitle, s.textEnterCredentials);
        return false;
    }
    // The stored digest and the login compare ISO-8859-15 texts: a character without a place
    // there would be stored as "?", and every name or password of as many "?" would match it.
    if (!GadgetTextFitsLatin9(gadgetUsernameEntry) || !GadgetTextFitsLatin9(gadgetPasswordEntry)) {
        ShowMessageBox(s.textErrorTitle, s.textCredentialsNotLatin9);
        return false;
    }
    input.languageName = GetGadgetText(gadgetLanguageComboBox);
    input.server = GetGadgetState(gadgetServerCheckBox) != 0;
    input.hide = GetGadgetState(gadgetHideCheckBox) != 0;
    input.ipcheck = GetGadgetState(gadgetIpCheckCheckBox) != 0;
    input.port = GetGadgetText(gadgetPortSpin);
    input.device = GetGadgetText(gadgetDeviceSpin);
    TakePlatformSettings(input);
    // The dialog stays open, and what is in force stays so, until a save reaches the file.
    if (!SaveSettings(input)) {
        ShowMessageBox(s.textErrorTitle, s.textSettingsNotSaved);
        return false;
    }
    // The running server keeps the port it was started with; the new one is loaded afterwards. A
    // second change while it runs must not take the place of the port it really listens on.
    if (s.mainWindowReady == 1 && StatusShowsActive() && s.runningPort.empty())
        s.runningPort = s.settingPort.Get();
    ApplyLanguage(s.settingLanguage);
    return true;
}

}  // namespace

bool SettingsDialogNeeded(int showMode) {
    if (ReadSetting(keys::username).empty()) return true;
    if (ReadSetting(keys::password).empty()) return true;
    return showMode == showAlways;
}

bool OpenSettingsDialog() {
    const ProgramState& s = programState;
    int parent = GadgetWindowExists(mainWindow) ? mainWindow : noWindow;
    if (!OpenGadgetWindow(settingsWindow, dialogWidth, desktopLayout.dialogHeight, windowTitle, parent,
                          false))
        return false;
    if (GadgetFontLoaded(interfaceFont)) SetDefaultGadgetFont(interfaceFont);
    SetGadgetWindowIcon(settingsWindow, iconImageSlot);
    const DesktopLayout& l = desktopLayout;
    const int w = settingsWindow;
    CreateFrameGadget(w, gadgetLoginFrame, 7, 2, 356, 117, "Login");
    CreateTextGadget(w, gadgetUsernameLabel, 80, 40, 60, 20, s.textUsername);
    CreateEntryGadget(w, gadgetUsernameEntry, 150, 38, 130, 20, s.settingUsername.Get(), 0);
    CreateTextGadget(w, gadgetPasswordLabel, 80, 70, 60, 20, s.textPassword);
    CreateEntryGadget(w, gadgetPasswordEntry, 150, 68, 130, 20,
                      s.settingPasswordHash.Get().empty() ? "" : passwordPlaceholder,
                      entryPassword);
    CreateFrameGadget(w, gadgetSettingsFrame, 7, 124, 356, l.settingsFrameHeight, s.textProgramSettings);
    CreateCheckBoxGadget(w, gadgetServerCheckBox, 30, l.serverCheckBoxY, 150, 20, s.textActivateServer);
    SetGadgetState(gadgetServerCheckBox, NumberValue(s.settingServer.Get()) != 0);
    CreateCheckBoxGadget(w, gadgetHideCheckBox, 30, l.serverCheckBoxY + 30, 150, 20, s.textStartHidden);
    SetGadgetState(gadgetHideCheckBox, NumberValue(s.settingHide.Get()) != 0);
    CreateCheckBoxGadget(w, gadgetIpCheckCheckBox, 30, l.serverCheckBoxY + 60, 150, 20, "IP-Check");
    SetGadgetState(gadgetIpCheckCheckBox, NumberValue(s.settingIpCheck.Get()) != 0);
    CreateTextGadget(w, gadgetLanguageLabel, 190, l.languageY + 2, 50, 20, s.textLanguage + ":");
    CreateComboBoxGadget(w, gadgetLanguageComboBox, 265, l.languageY, 70, l.languageHeight);
    AddGadgetItem(gadgetLanguageComboBox, languageNameGerman);
    AddGadgetItem(gadgetLanguageComboBox, languageNameEnglish);
    SetGadgetText(gadgetLanguageComboBox, s.languageName);
    CreateTextGadget(w, gadgetPortLabelInDialog, 190, 182, 50, 20, "Port:");
    CreateSpinGadget(w, gadgetPortSpin, 265, 180, 70, 20, 1, 65535);
    SetGadgetState(gadgetPortSpin, ValueInRange(s.settingPort.Get(), 1, 65535, defaultPort));
    CreateTextGadget(w, gadgetDeviceLabel, 190, 212, 50, 20, s.textDevice + ":");
    CreateSpinGadget(w, gadgetDeviceSpin, 265, 210, 70, 20, 0, l.deviceMaximum);
    SetGadgetState(gadgetDeviceSpin,
                   ValueInRange(s.settingDevice.Get(), 0, l.deviceMaximum, defaultDevice));
    CreatePlatformSettingsGadgets(w);
    CreateButtonGadget(w, gadgetOkButton, 80, l.buttonsY, 100, 20, "OK");
    CreateButtonGadget(w, gadgetCancelButton, 190, l.buttonsY, 100, 20, s.textCancel);
    ShowGadgetWindow(settingsWindow);
    return true;
}

int HandleSettingsEvent(const WindowEvent& event) {
    if (event.kind == EventKind::CloseWindow) return 0;
    if (event.kind != EventKind::Gadget) return settingsDialogOpen;
    if (event.gadget == gadgetCancelButton) return 0;
    if (event.gadget == gadgetOkButton) return Confirm() ? 1 : settingsDialogOpen;
    return settingsDialogOpen;
}

int SettingsDialog(int showMode) {
    const ProgramState& s = programState;
    // Nothing changes the status field while the dialog is open: its look now is its look then.
    bool serverActive = s.mainWindowReady == 1 && StatusShowsActive();
    int result = 1;
    if (SettingsDialogNeeded(showMode)) {
        if (OpenSettingsDialog()) {
            result = settingsDialogOpen;
            while (result == settingsDialogOpen) result = HandleSettingsEvent(WaitWindowEvent());
            CloseGadgetWindow(settingsWindow);
        } else {
            result = 0;
        }
    }
    if (result == 1) LoadSettings();
    if (s.mainWindowReady == 1) RefreshMainWindow(serverActive);
    return result;
}
