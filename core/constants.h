// Names and values fixed at build time that several subsystems agree on.
#pragma once
#include <cstddef>

namespace keys {
inline constexpr const char* username = "username";
inline constexpr const char* password = "password";
inline constexpr const char* ipcheck = "ipcheck";
inline constexpr const char* server = "server";
inline constexpr const char* hide = "hide";
inline constexpr const char* port = "port";
inline constexpr const char* device = "device";
inline constexpr const char* language = "language";
}  // namespace keys

namespace pages {
inline constexpr const char* error = "error.html";
inline constexpr const char* error2 = "error2.html";
inline constexpr const char* index = "index.html";
inline constexpr const char* webcam = "webcam.html";
inline constexpr const char* login = "login.html";
inline constexpr const char* popup = "popup.html";
inline constexpr const char* picture = "webcam.jpg";
}  // namespace pages

inline constexpr const char* windowTitle = "Lumora v1.4";
inline constexpr const char* languageNameGerman = "Deutsch";
inline constexpr const char* languageNameEnglish = "English";
inline constexpr const char* jpegFileName = "webcam.jpg";
inline constexpr const char* helperFileName = "capture";
inline constexpr const char* settingsFileName = "settings.ini";
// Written by the Windows installer beside the program it installs.
inline constexpr const char* installedMarkerName = "installed.txt";
inline constexpr const char* workDirPrefix = "lmr";
inline constexpr const char* defaultFontName = "Verdana";
inline constexpr int defaultFontSize = 7;
inline constexpr std::size_t bufferSize = 204800;
