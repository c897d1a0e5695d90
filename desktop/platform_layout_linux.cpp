// The Linux build's measures of the main window and the settings dialog; it has no gadgets of
// its own there.
#include "desktop/platform_layout.h"

const DesktopLayout desktopLayout = {
    .mainFrameHeight = 175,
    .dialogHeight = 290,
    .settingsFrameHeight = 127,
    .serverCheckBoxY = 150,
    .languageY = 145,
    .languageHeight = 25,
    .deviceMaximum = 9999,
    .buttonsY = 260,
};

void CreatePlatformSettingsGadgets(int) {}

void TakePlatformSettings(SettingsInput&) {}
