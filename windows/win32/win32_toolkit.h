// What the Win32 files of the gadget toolkit share among themselves: the window handles behind
// window numbers, the window procedure's helpers, fonts and icons.
#pragma once
#include <windows.h>

#include <string>

#include "desktop/gadgets.h"

// False until InitGadgets succeeded; every call then does nothing.
bool GadgetsStarted();
// The handle of a window number; nullptr when there is none.
HWND GadgetWindowHandle(int window);

// Gadget side of the window procedure: button, check box, link and combo box notifications,
// the link's colour and hand cursor. True when the message was handled, with its result.
bool HandleGadgetMessage(int window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
// Tray side of the window procedure: mouse messages of the window's tray icons.
bool HandleTrayMessage(int window, UINT message, WPARAM wParam, LPARAM lParam);
// Timer side of the window procedure.
void HandleTimerMessage(int window, UINT_PTR timer);

// Housekeeping when a window closes.
void ForgetWindowGadgets(int window);
void RemoveWindowTimers(int window);
void RemoveWindowTrayIcons(int window);

// The tooltip as the notification area takes it: the text cut to 63 characters.
std::wstring TrayTipText(const std::string& text);

// The font new gadgets get: the chosen default, else the system's dialog font.
HFONT GadgetFont();
// The icon of an image slot; nullptr when the slot is empty.
HICON GadgetImageIcon(int image);
