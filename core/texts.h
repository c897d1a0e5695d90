// The interface texts in German and English, all set at once into ProgramState.
#pragma once
#include <string>

// German exactly when the key is "deutsch"; the callers trim and lower-case it.
void ApplyLanguage(const std::string& key);
// The texts only one build shows (texts_linux.cpp here, windows/texts_win.cpp), in the same language.
void ApplyPlatformTexts(bool german);
