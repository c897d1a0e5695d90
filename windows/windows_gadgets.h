// Gadget numbers of the settings dialog's gadgets that only the Windows build has, beside the
// shared ones of desktop/settings_dialog.h.
#pragma once

inline constexpr int gadgetAutostartCheckBox = 57;
inline constexpr int gadgetImageQualityLabel = 58;
inline constexpr int gadgetImageQualitySpin = 59;
