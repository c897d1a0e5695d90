// Any bytes as settings.ini: reading never fails, a written value reads back as written, and a
// rewrite of a rewritten file changes nothing.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/latin9.h"
#include "core/platform.h"
#include "core/settings_file.h"

namespace {

// A plain array, so that it still holds the name when the exit handler runs.
char tempPath[64];

void RemoveTempFile() { unlink(tempPath); }

std::string TempPath() {
    if (tempPath[0] == '\0') {
        std::snprintf(tempPath, sizeof tempPath, "/tmp/lumora-fuzz-settings-%d.ini", int(getpid()));
        // libFuzzer ends the process from inside a run, so the last file is removed at exit.
        std::atexit(RemoveTempFile);
    }
    return tempPath;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = TempPath();
    std::string content(reinterpret_cast<const char*>(data), size);
    if (!ReplaceFileContent(path, content)) abort();

    SettingsFile first(path, SettingsFile::Purpose::Update);
    std::string ignored;
    first.Find("username", ignored);
    // Keys and values as the program writes them: no line breaks, no blanks at the ends, no "=".
    std::string value = "v\xE4lue " + std::to_string(size);
    first.Set("port", value);
    std::string rendered = first.Render();
    // A line that only became the file's first bytes by losing its leading blanks can look like a
    // byte-order mark on the next read, which changes how it is decoded: not a round trip.
    bool hadMark = content.compare(0, 3, "\xEF\xBB\xBF") == 0 && content.size() > 2;
    if (!hadMark && rendered.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        unlink(path.c_str());
        return 0;
    }

    if (!ReplaceFileContent(path, rendered)) abort();
    SettingsFile second(path, SettingsFile::Purpose::Update);
    std::string readBack;
    if (!second.Find("PORT", readBack) || readBack != value) abort();
    if (second.Render() != rendered) abort();
    unlink(path.c_str());
    return 0;
}
