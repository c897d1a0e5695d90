// The interface texts in German and English, all set at once into ProgramState.
#pragma once
#include <string>

// German exactly when the key is "deutsch"; the callers trim and lower-case it.
void ApplyLanguage(const std::string& key);
