// The INI text of settings.ini as items: parsed from bytes, changed, and written back whole.
#include "core/settings_file.h"

#include <algorithm>
#include <cstdint>

#include "core/latin9.h"
#include "core/platform.h"
#include "core/text_util.h"

namespace {

const char byteOrderMark[] = "\xEF\xBB\xBF";
const char lineBreaks[] = "\r\n";

}  // namespace

SettingsFile::SettingsFile(const std::string& path, Purpose purpose) : path_(path) {
    std::string content;
    // One byte beyond the limit tells whether the file goes on past it.
    size_t limit = purpose == Purpose::Update ? SIZE_MAX : readLimit + 1;
    if (!ReadFileBytes(path, content, limit)) return;
    access_ = FileWritable(path) ? Access::ReadWrite : Access::ReadOnly;
    Parse(std::move(content), purpose);
}

SettingsFile SettingsFile::FromText(std::string_view content, Purpose purpose) {
    SettingsFile parsed;
    // A lookup never sees more than a file read for a lookup would give it.
    size_t limit = purpose == Purpose::Update ? content.size() : std::min(content.size(), readLimit + 1);
    parsed.Parse(std::string(content.substr(0, limit)), purpose);
    return parsed;
}

void SettingsFile::Parse(std::string content, Purpose purpose) {
    size_t at = 0;
    if (content.size() > 2 && content.compare(0, 3, byteOrderMark) == 0) {
        byteOrderMark_ = true;
        at = 3;
    }
    utf8_ = byteOrderMark_ || settingsAlwaysUtf8;
    // A line that straddles the limit belongs wholly to the unparsed rest.
    tailStart_ = content.size();
    if (content.size() > readLimit) {
        size_t lastBreak = content.find_last_of(lineBreaks, readLimit - 1);
        tailStart_ = lastBreak == std::string::npos || lastBreak < at ? at : lastBreak + 1;
    }
    ParseLines(std::string_view(content).substr(at, tailStart_ - at), &items_, nullptr);
    if (purpose == Purpose::Update) {
        complete_ = true;
        content_ = std::move(content);
    }
}

void SettingsFile::ParseLines(std::string_view text, std::vector<Item>* items, std::string* rendered) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of(lineBreaks, at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = text.find_first_not_of(lineBreaks, end);
        if (at == std::string_view::npos) at = text.size();

        size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) continue;
        line.remove_prefix(start);
        Item item{Kind::Raw, {}, {}};
        if (line[0] == ';') {
            size_t textStart = line.size() > 1 && line[1] == ' ' ? 2 : 1;
            item = {Kind::Comment, std::string(line.substr(textStart)), {}};
        } else if (line[0] == '[') {
            item = {Kind::Group, std::string(line.substr(1, line.find(']') - 1)), {}};
        } else if (size_t equals = line.find('='); equals == std::string_view::npos) {
            // Not an entry: kept as it stands so that a rewrite does not turn it into one.
            item.key = std::string(line);
        } else {
            std::string key(line.substr(0, equals));
            key.erase(key.find_last_not_of(" \t") + 1);
            size_t valueStart = line.find_first_not_of(" \t", equals + 1);
            std::string_view value =
                valueStart == std::string_view::npos ? std::string_view() : line.substr(valueStart);
            item = {Kind::Entry, std::move(key), std::string(value)};
        }
        if (rendered) RenderItem(item, *rendered);
        if (items) items->push_back(std::move(item));
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

void SettingsFile::RenderItem(const Item& item, std::string& out) {
    switch (item.kind) {
    case Kind::Entry: out.append(item.key).append(" = ").append(item.value); break;
    case Kind::Comment: out.append("; ").append(item.key); break;
    case Kind::Group: out.append("[").append(item.key).append("]"); break;
    case Kind::Raw: out.append(item.key); break;
    }
    out += settingsLineEnd;
}

std::string SettingsFile::Render() const {
    std::string out;
    out.reserve(content_.size() + 1024);
    if (byteOrderMark_) out += std::string(byteOrderMark) + settingsLineEnd;
    for (const Item& item : items_) RenderItem(item, out);
    // The rest is written as a rewrite writes every line, without ever being held as items.
    if (tailStart_ < content_.size())
        ParseLines(std::string_view(content_).substr(tailStart_), nullptr, &out);
    return out;
}

bool SettingsFile::Commit() const {
    if (access_ == Access::None || !complete_) return false;
    std::string rendered = Render();
    if (rendered == content_) return true;
    return access_ == Access::ReadWrite && ReplaceFileContent(path_, rendered);
}
