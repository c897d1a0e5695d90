// The two settings only the Windows build keeps: "autostart" (the Startup shortcut) after the
// password, and "image" (the JPEG quality step) after the device.
#include <cstring>

#include "core/constants.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/text_util.h"
#include "windows/windows_state.h"

namespace {

const char autostartKey[] = "autostart";
const char imageKey[] = "image";

std::string ReadTrimmed(const SettingsFile& file, const char* key) {
    std::string value;
    return file.Find(key, value) ? TrimText(value) : std::string();
}

}  // namespace

void LoadPlatformSettings(const SettingsFile& file) {
    windowsState.settingAutostart.Set(ReadTrimmed(file, autostartKey));
    windowsState.settingImage.Set(ReadTrimmed(file, imageKey));
}

void SavePlatformSettingsAfter(const char* sharedKey, SettingsFile& file, const SettingsInput& input) {
    if (std::strcmp(sharedKey, keys::password) == 0) file.Set(autostartKey, input.autostart ? "1" : "0");
    if (std::strcmp(sharedKey, keys::device) == 0) file.Set(imageKey, input.image);
}
