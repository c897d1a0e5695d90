// Opening a web address in the local browser; each build links its own way of doing it.
#pragma once
#include <string>

// False when no browser could be started (the caller tells the user).
bool OpenInBrowser(const std::string& address);
