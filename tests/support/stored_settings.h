// A settings.ini as the settings dialog writes it, for the tests that start from a stored login.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "core/platform.h"

// Language English, user anna, password "pw", server not started at start-up, not hidden, the
// address not checked, camera 0; each change ("server", "1") replaces one value.
inline std::string StoredSettings(int port,
                                  const std::vector<std::pair<std::string, std::string>>& changes = {}) {
    std::vector<std::pair<std::string, std::string>> entries{
        {"language", "English"}, {"username", "anna"}, {"password", Sha1Hex(std::string("pw"))},
        {"server", "0"}, {"hide", "0"}, {"ipcheck", "0"}, {"port", std::to_string(port)}, {"device", "0"}};
    std::string text;
    for (auto& [key, value] : entries) {
        for (const auto& [changedKey, changedValue] : changes)
            if (changedKey == key) value = changedValue;
        text += key + " = " + value + "\n";
    }
    return text;
}
