// The INI text of settings.ini as a list of items, read from and written back to one path.
// Writing replaces the file through a new file and a rename, so a reader or a crash never meets a
// half-written settings.ini.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class SettingsFile {
public:
    enum class Access { None, ReadOnly, ReadWrite };
    // A lookup reads no more than the settings can be; an update takes the whole file along, so
    // that its rewrite keeps every byte beyond that too.
    enum class Purpose { Lookup, Update };
    // Only this much of the file is parsed into items: a settings file is a few hundred bytes, and
    // whatever a runaway file holds beyond it is kept as it stands but never read.
    static constexpr size_t readLimit = 64 * 1024;

    // Opens and parses `path`; Access tells how far it could be opened.
    explicit SettingsFile(const std::string& path, Purpose purpose = Purpose::Lookup);
    // Parses settings text held in memory exactly as a file of these bytes would be parsed; no
    // file is touched, so Access is None and Commit writes nothing.
    static SettingsFile FromText(std::string_view content, Purpose purpose = Purpose::Update);

    Access access() const { return access_; }
    // Value of the first matching entry before the first group header, trailing blanks removed.
    bool Find(const std::string& key, std::string& value) const;
    // Sets the value, rewriting the key in this spelling, or adds the entry.
    void Set(const std::string& key, const std::string& value);
    // True when the file now holds the items: written back, or already holding them. False when
    // it was read for a lookup only, could only be read, or the rewrite failed.
    bool Commit() const;
    // The bytes Commit writes.
    std::string Render() const;

private:
    enum class Kind { Entry, Comment, Group, Raw };
    struct Item {
        Kind kind;
        std::string key;   // entry key, comment text, group name or raw line
        std::string value;
    };
    std::string path_;
    Access access_ = Access::None;
    bool utf8_ = false;
    bool byteOrderMark_ = false;
    // The whole file as read for an update; empty for a lookup.
    bool complete_ = false;
    std::string content_;
    size_t tailStart_ = 0;  // where the bytes that are not parsed into items begin
    std::vector<Item> items_;

    SettingsFile() = default;
    void Parse(std::string content, Purpose purpose);
    static void ParseLines(std::string_view text, std::vector<Item>* items, std::string* rendered);
    static void RenderItem(const Item& item, std::string& out);
    std::string Decode(const std::string& text) const;
    std::string Encode(const std::string& text) const;
    std::vector<Item>::iterator FirstGroup();
};
