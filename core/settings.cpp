// settings.ini: where it lives, single keys read and written, all of them loaded and saved.
#include "core/settings.h"

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings_file.h"
#include "core/text_util.h"

namespace {

const char unchangedPassword[] = "*****";

const char* Flag(bool on) { return on ? "1" : "0"; }

std::string ReadTrimmed(const SettingsFile& file, const char* key) {
    std::string value;
    return file.Find(key, value) ? TrimText(value) : std::string();
}

// The folder and, when missing, the folders above it, each private to the user.
bool MakeFolders(const std::string& folder) {
    std::string path = StripTrailingSlash(folder);
    if (path.empty() || DirectoryOpens(path)) return true;
    if (MakeDirectory(path) != MakeDirectoryResult::Failed) return true;
    std::string parent = DirectoryPart(path);
    if (parent.empty() || parent.size() >= path.size()) return false;
    // The first try failed for want of a parent; with the parents made, this one can succeed.
    // cppcheck-suppress knownConditionTrueFalse
    return MakeFolders(parent) && MakeDirectory(path) != MakeDirectoryResult::Failed;
}

}  // namespace

std::string ReadSetting(const std::string& key) {
    return ReadTrimmed(SettingsFile(programState.settingsPath), key.c_str());
}

bool WriteSetting(const std::string& key, const std::string& value) {
    SettingsFile file(programState.settingsPath, SettingsFile::Purpose::Update);
    if (file.access() == SettingsFile::Access::None) return false;
    file.Set(key, value);
    return file.Commit();
}

// One reading of the file for all keys.
void LoadSettings() {
    ProgramState& s = programState;
    SettingsFile file(s.settingsPath);
    s.settingUsername.Set(ReadTrimmed(file, keys::username));
    s.settingPasswordHash.Set(ReadTrimmed(file, keys::password));
    s.settingServer.Set(ReadTrimmed(file, keys::server));
    s.settingHide.Set(ReadTrimmed(file, keys::hide));
    s.settingIpCheck.Set(ReadTrimmed(file, keys::ipcheck));
    s.settingPort.Set(ReadTrimmed(file, keys::port));
    s.settingDevice.Set(ReadTrimmed(file, keys::device));
    LoadPlatformSettings(file);
}

// The eight (Windows: ten) values go into the file in one rewrite, so that a save interrupted at
// any moment leaves either the old or the new settings, never a mixture.
bool SaveSettings(const SettingsInput& input) {
    ProgramState& s = programState;
    SettingsFile file(s.settingsPath, SettingsFile::Purpose::Update);
    if (file.access() == SettingsFile::Access::None) {
        MakeFolders(DirectoryPart(s.settingsPath));
        CreateEmptyFile(s.settingsPath);
        file = SettingsFile(s.settingsPath, SettingsFile::Purpose::Update);
        if (file.access() == SettingsFile::Access::None) return false;
    }
    file.Set(keys::language, input.languageName);
    file.Set(keys::username, input.username);
    file.Set(keys::password, input.password == unchangedPassword ? s.settingPasswordHash.Get()
                                                                : Sha1Hex(input.password));
    SavePlatformSettingsAfter(keys::password, file, input);
    file.Set(keys::server, Flag(input.server));
    file.Set(keys::hide, Flag(input.hide));
    file.Set(keys::ipcheck, Flag(input.ipcheck));
    file.Set(keys::port, input.port);
    file.Set(keys::device, input.device);
    SavePlatformSettingsAfter(keys::device, file, input);
    if (!file.Commit()) return false;
    s.settingLanguage = LowerCase(ReadSetting(keys::language));
    return true;
}

std::string ChooseSettingsPath(const std::string& programFolder, const std::string& installedFolder) {
    std::string beside = programFolder + settingsFileName;
    if (FileExists(beside)) return beside;
    // One start of an installed copy by the superuser would otherwise leave a file there that
    // every user then reads, and nobody else may save. A folder an installer marked as its own is
    // the user's and writable, yet uninstalling or upgrading empties it: the login would go too.
    bool installed = (!installedFolder.empty() && programFolder == installedFolder) ||
                     FileExists(programFolder + installedMarkerName);
    if (!installed && FolderTakesNewFiles(programFolder)) return beside;
    std::string own = UserSettingsFolder();
    return own.empty() ? beside : own + settingsFileName;
}
