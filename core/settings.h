// settings.ini beside the executable: reading and writing single keys, and loading and saving all
// of them. Only the main thread calls these.
#pragma once
#include <string>

std::string ReadSetting(const std::string& key);
// False when the file cannot be opened; true (writing nothing) when it can only be read.
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
void SaveSettings(const SettingsInput& input);
