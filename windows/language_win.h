// The Windows build's choice of interface language: the name the system gives the user's default
// language, unless the "language" setting names one.
#pragma once
#include <string>

// The name of the user's default language in the system's display language, for example
// "Deutsch (Deutschland)"; empty when the system does not tell.
std::string SystemLanguageName();

// The key for ApplyLanguage: the lower-cased "language" setting when it is not empty, else the
// first seven characters of the system's name, lower-cased.
std::string ChooseLanguageKey(const std::string& systemName, const std::string& setting);
