// The password digest that earlier Windows settings files hold: SHA-1 over the first n bytes of
// the password's UTF-16LE text, n being its length in characters. Still accepted at login so that
// those files keep working; a save always writes the digest of the whole password instead.
#pragma once
#include <string>

std::string LegacyPasswordDigest(const std::string& password);
bool LegacyPasswordMatches(const std::string& password, const std::string& storedDigest);
