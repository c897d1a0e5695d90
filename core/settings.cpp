#include "core/settings.h"

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings_file.h"
#include "core/text_util.h"

namespace {

const char unchangedPassword[] = "*****";

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

std::string ReadSetting(const std::string& key) {
    SettingsFile file(programState.settingsPath);
    std::string value;
    if (file.access() == SettingsFile::Access::None || !file.Find(key, value)) return {};
    return TrimText(value);
}

bool WriteSetting(const std::string& key, const std::string& value) {
    SettingsFile file(programState.settingsPath);
    if (file.access() == SettingsFile::Access::None) return false;
    file.Set(key, value);
    file.Commit();
    return true;
}

void LoadSettings() {
    ProgramState& s = programState;
    s.settingUsername.Set(ReadSetting(keys::username));
    s.settingPasswordHash.Set(ReadSetting(keys::password));
    if (windowsSettingKeys) s.settingAutostart.Set(ReadSetting("autostart"));
    s.settingServer.Set(ReadSetting(keys::server));
    s.settingHide.Set(ReadSetting(keys::hide));
    s.settingIpCheck.Set(ReadSetting(keys::ipcheck));
    s.settingPort.Set(ReadSetting(keys::port));
    s.settingDevice.Set(ReadSetting(keys::device));
    if (windowsSettingKeys) s.settingImage.Set(ReadSetting("image"));
}

// The eight (Windows: ten) values go into the file in one rewrite, so that a save interrupted at
// any moment leaves either the old or the new settings, never a mixture.
void SaveSettings(const SettingsInput& input) {
    ProgramState& s = programState;
    if (SettingsFile(s.settingsPath).access() == SettingsFile::Access::None)
        CreateEmptyFile(s.settingsPath);

    SettingsFile file(s.settingsPath);
    if (file.access() != SettingsFile::Access::None) {
        file.Set(keys::language, input.languageName);
        file.Set(keys::username, input.username);
        file.Set(keys::password, input.password == unchangedPassword ? s.settingPasswordHash.Get()
                                                                    : Sha1Hex(input.password));
        if (windowsSettingKeys) file.Set("autostart", Flag(input.autostart));
        file.Set(keys::server, Flag(input.server));
        file.Set(keys::hide, Flag(input.hide));
        file.Set(keys::ipcheck, Flag(input.ipcheck));
        file.Set(keys::port, input.port);
        file.Set(keys::device, input.device);
        if (windowsSettingKeys) file.Set("image", input.image);
        file.Commit();
    }
    s.settingLanguage = LowerCase(ReadSetting(keys::language));
}
