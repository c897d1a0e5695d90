// Where the black-box tests find the program's windows and press its gadgets, from the windows'
// layouts: the title, the inner sizes of the main window and the settings dialog, and the middles
// of the gadgets.
#pragma once

inline constexpr char title[] = "Lumora v1.4";
inline constexpr int mainWidth = 350, mainHeight = 177;
inline constexpr int dialogWidth = 370, dialogHeight = 290;

// The main window.
inline constexpr int startStopX = 280, startStopY = 27;
inline constexpr int settingsX = 280, settingsY = 52;
inline constexpr int ipCheckX = 280, ipCheckY = 77;
inline constexpr int previewX = 280, previewY = 102;
inline constexpr int usersX = 140, usersY = 63;
inline constexpr int addressX = 140, addressY = 123;

// The settings dialog.
inline constexpr int usernameX = 215, usernameY = 48;
inline constexpr int passwordX = 215, passwordY = 78;
inline constexpr int portX = 285, portY = 190;
inline constexpr int hideCheckX = 40, hideCheckY = 190;
inline constexpr int deviceX = 295, deviceY = 220;
inline constexpr int okX = 130, okY = 270;
inline constexpr int cancelX = 240, cancelY = 270;
