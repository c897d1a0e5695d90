// Hiding the main window into the desktop's system tray and bringing it back: while the window is
// hidden, one tray icon stands for it and a left double-click on the icon restores it.
#pragma once
#include <string>

// Tray icon number of the hidden main window.
inline constexpr int mainTrayIcon = 0;

// Pins the window where it stands and hides it, then adds the tray icon with the image and the
// title as tooltip. When no icon can be added (no tray on the desktop, no image) the window is
// shown again instead: a hidden window without an icon could never be brought back.
void HideToTray(int window, int image, const std::string& title);

// Removes the tray icon and shows the hidden window again at its pinned place.
void RestoreFromTray();
