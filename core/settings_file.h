// The INI text of settings.ini as a list of items, read from and written back to one path.
// Writing replaces the file through a new file and a rename, so a reader or a crash never meets a
// half-written settings.ini.
#pragma once
#include <string>
#include <vector>

class SettingsFile {
public:
    enum class Access { None, ReadOnly, ReadWrite };

    // Opens and parses `path`; Access tells how far it could be opened.
    explicit SettingsFile(const std::string& path);

    Access access() const { return access_; }
    // Value of the first matching entry before the first group header, trailing blanks removed.
    bool Find(const std::string& key, std::string& value) const;
    // Sets the value, rewriting the key in this spelling, or adds the entry.
    void Set(const std::string& key, const std::string& value);
    // Writes the items back when the file was opened for writing; false if that failed.
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
    std::vector<Item> items_;

    std::string Decode(const std::string& text) const;
    std::string Encode(const std::string& text) const;
    std::vector<Item>::iterator FirstGroup();
};
