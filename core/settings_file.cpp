#include "core/settings_file.h"

#include "core/latin9.h"
#include "core/platform.h"
#include "core/text_util.h"

namespace {

const char byteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

SettingsFile::SettingsFile(const std::string& path) : path_(path) {
    std::string content;
    if (!ReadFileBytes(path, content)) return;
    access_ = FileWritable(path) ? Access::ReadWrite : Access::ReadOnly;

    size_t at = 0;
    if (content.size() > 2 && content.compare(0, 3, byteOrderMark) == 0) {
        byteOrderMark_ = true;
        at = 3;
    }
    utf8_ = byteOrderMark_ || settingsAlwaysUtf8;
    while (at < content.size()) {
        size_t end = content.find_first_of("\r\n", at);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(at, end - at);
        at = content.find_first_not_of("\r\n", end);
        if (at == std::string::npos) at = content.size();

        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        line.erase(0, start);
        if (line[0] == ';') {
            size_t textStart = line.size() > 1 && line[1] == ' ' ? 2 : 1;
            items_.push_back({Kind::Comment, line.substr(textStart), {}});
        } else if (line[0] == '[') {
            items_.push_back({Kind::Group, line.substr(1, line.find(']') - 1), {}});
        } else if (size_t equals = line.find('='); equals == std::string::npos) {
            // Not an entry: kept as it stands so that a rewrite does not turn it into one.
            items_.push_back({Kind::Raw, line, {}});
        } else {
            std::string key = line.substr(0, equals);
            key.erase(key.find_last_not_of(" \t") + 1);
            size_t valueStart = line.find_first_not_of(" \t", equals + 1);
            std::string value = valueStart == std::string::npos ? "" : line.substr(valueStart);
            items_.push_back({Kind::Entry, key, value});
        }
    }
}

std::string SettingsFile::Decode(const std::string& text) const {
    return utf8_ ? Utf8ToLatin9(text) : text;
}

std::string SettingsFile::Encode(const std::string& text) const {
    return utf8_ ? Latin9ToUtf8(text) : text;
}

std::vector<SettingsFile::Item>::iterator SettingsFile::FirstGroup() {
    auto it = items_.begin();
    while (it != items_.end() && it->kind != Kind::Group) ++it;
    return it;
}

bool SettingsFile::Find(const std::string& key, std::string& value) const {
    std::string wanted = Encode(key);
    for (const Item& item : items_) {
        if (item.kind == Kind::Group) break;
        if (item.kind == Kind::Entry && EqualsIgnoringCase(item.key, wanted)) {
            std::string raw = item.value;
            raw.erase(raw.find_last_not_of(" \t") + 1);
            value = Decode(raw);
            return true;
        }
    }
    return false;
}

void SettingsFile::Set(const std::string& key, const std::string& value) {
    std::string encodedKey = Encode(key);
    auto group = FirstGroup();
    for (auto it = items_.begin(); it != group; ++it) {
        if (it->kind == Kind::Entry && EqualsIgnoringCase(it->key, encodedKey)) {
            it->key = encodedKey;
            it->value = Encode(value);
            return;
        }
    }
    items_.insert(group, {Kind::Entry, encodedKey, Encode(value)});
}

std::string SettingsFile::Render() const {
    std::string out;
    if (byteOrderMark_) out += std::string(byteOrderMark) + settingsLineEnd;
    for (const Item& item : items_) {
        switch (item.kind) {
        case Kind::Entry: out += item.key + " = " + item.value; break;
        case Kind::Comment: out += "; " + item.key; break;
        case Kind::Group: out += "[" + item.key + "]"; break;
        case Kind::Raw: out += item.key; break;
        }
        out += settingsLineEnd;
    }
    return out;
}

bool SettingsFile::Commit() const {
    if (access_ != Access::ReadWrite) return access_ == Access::ReadOnly;
    return ReplaceFileContent(path_, Render());
}
