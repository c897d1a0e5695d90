// The Windows build still lets in the digest form its earlier versions stored.
#include "web/login.h"
#include "windows/legacy_password.h"

bool FormerPasswordMatches(const std::string& password, const std::string& storedDigest) {
    return LegacyPasswordMatches(password, storedDigest);
}
