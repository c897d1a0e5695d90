// The few measures and gadgets of the main window and the settings dialog that differ between the
// builds; each build links its own (platform_layout_linux.cpp here, windows/platform_layout_win.cpp).
#pragma once
#include "core/settings.h"

struct DesktopLayout {
    int mainFrameHeight;
    int dialogHeight;
    int settingsFrameHeight;
    int serverCheckBoxY;  // hide and IP-Check follow 30 and 60 pixels lower
    int languageY;        // the combo box; its label stands 2 pixels lower
    int languageHeight;
    int deviceMaximum;
    int buttonsY;
};
extern const DesktopLayout desktopLayout;

// Gadgets only this build has in the settings dialog, made after the shared ones and filled from
// the loaded settings.
void CreatePlatformSettingsGadgets(int window);
// At a confirm with valid login fields, before the save: what only this build does, and the
// values of its own gadgets for the save.
void TakePlatformSettings(SettingsInput& input);
