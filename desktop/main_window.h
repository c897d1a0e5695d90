// The main window: its window and gadget numbers, which the event loop, the settings dialog, the
// public-address check and the tray share, and making it and refreshing its captions.
#pragma once
#include <string>

inline constexpr int mainWindow = 1;

inline constexpr int gadgetMainFrame = 10;
inline constexpr int gadgetStatusLabel = 11;
inline constexpr int gadgetStatusField = 12;
inline constexpr int gadgetStartStop = 13;
inline constexpr int gadgetUsersLabel = 14;
inline constexpr int gadgetUsersField = 15;
inline constexpr int gadgetSettingsButton = 16;
inline constexpr int gadgetPortLabel = 17;
inline constexpr int gadgetPortField = 18;
inline constexpr int gadgetIpCheckButton = 19;
inline constexpr int gadgetAddressLabel = 20;
inline constexpr int gadgetAddressField = 21;
inline constexpr int gadgetPreviewButton = 22;
inline constexpr int gadgetHideButton = 23;
inline constexpr int gadgetWebLink = 24;

inline constexpr int frameTimer = 666;
inline constexpr int frameTimerPeriod = 500;
// The slots start-up loads: the interface font and the decoded built-in icon.
inline constexpr int interfaceFont = 0;
inline constexpr int iconImageSlot = 9;

// Opens the window hidden, with its gadgets in layout order; false when it cannot be opened.
bool OpenMainWindow();

// Sets the translatable captions and the port field again, and status and Start/Stop together.
void RefreshMainWindow(bool serverActive);
// Status field and Start/Stop caption, which always change together.
void ShowServerStatus(bool active);
// A field's text: the value behind one leading blank.
inline std::string FieldText(const std::string& value) {
    // Appended, not " " + value: GCC 12 warns falsely (-Wrestrict) about that form at -O3.
    return std::string(" ").append(value);
}
// Whether the status field shows the active text of the language in force.
bool StatusShowsActive();
