// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, without a trailing slash.
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Whole-file helpers for tests.
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& content);
bool PathExists(const std::string& path);
