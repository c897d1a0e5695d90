// The Windows program's picture: its own small icon, as Explorer shows it, taken from the
// program file into an image slot of the gadget toolkit (window icons, the tray).
#pragma once

// False, leaving the slot empty, when the program file holds no icon.
bool LoadProgramIcon(int image);
