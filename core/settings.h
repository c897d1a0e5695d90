// settings.ini at settingsPath: reading and writing single keys, and loading and saving all of
// them. Only the main thread calls these.
#pragma once
#include <string>

class SettingsFile;

std::string ReadSetting(const std::string& key);
// Whether the file now holds the value: false when it is missing (it is not created here), can
// only be read, or could not be rewritten.
bool WriteSetting(const std::string& key, const std::string& value);
void LoadSettings();

struct SettingsInput {
    std::string languageName;  // "Deutsch" or "English"
    std::string username;      // trimmed, not empty
    std::string password;      // trimmed, not empty; "*****" keeps the stored digest
    bool server = false;
    bool hide = false;
    bool ipcheck = false;
    std::string port;
    std::string device;
    // Windows build only.
    bool autostart = false;
    std::string image;
};
// Creates the file (and its folders) when missing; true when the file holds the new values
// afterwards. settingLanguage is read back only then.
bool SaveSettings(const SettingsInput& input);
// The keys only one build keeps (settings_linux.cpp here, windows/settings_win.cpp), in that
// build's own state: read with the shared ones, and each written right after the shared key it
// follows in the file, so that a new file lists the keys in the build's own order.
void LoadPlatformSettings(const SettingsFile& file);
void SavePlatformSettingsAfter(const char* sharedKey, SettingsFile& file, const SettingsInput& input);

// Where settings.ini lives for a program in `programFolder` (with its trailing separator): beside
// the program when such a file is there or the folder takes one, else in the user's own folder.
// The folder a package installs into (`installedFolder`) never takes one: it belongs to the system
// even where the superuser may write there; nor does a folder an installer marked with
// installedMarkerName.
std::string ChooseSettingsPath(const std::string& programFolder, const std::string& installedFolder = {});
