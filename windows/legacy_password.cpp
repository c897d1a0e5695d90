// The password digest of earlier Windows settings files, still accepted at login.
#include "windows/legacy_password.h"

#include "core/latin9.h"
#include "core/platform.h"

std::string LegacyPasswordDigest(const std::string& password) {
    std::u16string wide = Latin9ToUtf16(password);
    std::string bytes;
    for (char16_t c : wide) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    bytes.resize(wide.size());
    return Sha1Hex(bytes);
}

bool LegacyPasswordMatches(const std::string& password, const std::string& storedDigest) {
    return !storedDigest.empty() && LegacyPasswordDigest(password) == storedDigest;
}
