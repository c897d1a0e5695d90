// The settings dialog: login and program settings, validated, saved, reloaded and put in force at
// once, with its own event loop that drops every other event while it is open.
#pragma once
#include "desktop/gadgets.h"

inline constexpr int settingsWindow = 2;

inline constexpr int gadgetLoginFrame = 40;
inline constexpr int gadgetUsernameLabel = 41;
inline constexpr int gadgetUsernameEntry = 42;
inline constexpr int gadgetPasswordLabel = 43;
inline constexpr int gadgetPasswordEntry = 44;
inline constexpr int gadgetSettingsFrame = 45;
inline constexpr int gadgetServerCheckBox = 46;
inline constexpr int gadgetHideCheckBox = 47;
inline constexpr int gadgetIpCheckCheckBox = 48;
inline constexpr int gadgetLanguageLabel = 49;
inline constexpr int gadgetLanguageComboBox = 50;
inline constexpr int gadgetPortLabelInDialog = 51;
inline constexpr int gadgetPortSpin = 52;
inline constexpr int gadgetDeviceLabel = 53;
inline constexpr int gadgetDeviceSpin = 54;
inline constexpr int gadgetOkButton = 55;
inline constexpr int gadgetCancelButton = 56;

inline constexpr int showWhenLoginMissing = 0;
inline constexpr int showAlways = 1;

// Shows the dialog when needed and waits until it is closed; 1 when the settings are in force
// (confirmed, or the dialog was not needed), 0 when cancelled or closed. Reloads the settings
// after a 1 and refreshes the main window after every use.
int SettingsDialog(int showMode);

// The pieces SettingsDialog is made of, for the loop and for tests.
bool SettingsDialogNeeded(int showMode);
// Makes the dialog as laid out, filled from the loaded settings, and shows it.
bool OpenSettingsDialog();
inline constexpr int settingsDialogOpen = -1;
// Handles one event taken while the dialog is open: settingsDialogOpen to keep waiting, 0 for
// cancel or a closed window, 1 after a valid OK (saved, language applied).
int HandleSettingsEvent(const WindowEvent& event);
