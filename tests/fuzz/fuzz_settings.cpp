// Any bytes as settings.ini: reading never fails, a written value reads back as written, and a
// rewrite of a rewritten file changes nothing. The text is parsed in memory, as the file's bytes
// would be, so that a run costs no disk write.
#include <cstdint>
#include <string>

#include "core/settings_file.h"
#include "tests/fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string content(reinterpret_cast<const char*>(data), size);

    SettingsFile first = SettingsFile::FromText(content);
    std::string ignored;
    first.Find("username", ignored);
    SettingsFile::FromText(content, SettingsFile::Purpose::Lookup).Find("username", ignored);
    // Keys and values as the program writes them: no line breaks, no blanks at the ends, no "=".
    std::string value = "v\xE4lue " + std::to_string(size);
    first.Set("port", value);
    std::string rendered = first.Render();
    // A line that only became the file's first bytes by losing its leading blanks can look like a
    // byte-order mark on the next read, which changes how it is decoded: not a round trip.
    bool hadMark = content.compare(0, 3, "\xEF\xBB\xBF") == 0 && content.size() > 2;
    if (!hadMark && rendered.compare(0, 3, "\xEF\xBB\xBF") == 0) return 0;

    SettingsFile second = SettingsFile::FromText(rendered);
    std::string readBack;
    Check(second.Find("PORT", readBack) && readBack == value);
    Check(second.Render() == rendered);
    return 0;
}
