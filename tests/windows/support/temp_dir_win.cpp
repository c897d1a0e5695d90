// The test folder helpers for the Windows build: wide-character file calls, so that test paths
// may hold any character, with the same UTF-8 paths the program itself uses.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"
#include "windows/wide_text.h"

TempDir::TempDir() {
    std::wstring base = std::filesystem::temp_directory_path().wstring();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = base + L"lumora-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64() % 100000) + L"-" + std::to_wstring(attempt);
        if (CreateDirectoryW(name.c_str(), nullptr)) {
            path_ = PathFromWide(name);
            return;
        }
    }
    ADD_FAILURE() << "no temporary folder could be made";
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(WidePath(path_)), ignored);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(std::filesystem::path(WidePath(path)), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFileText(const std::string& path, const std::string& content) {
    std::ofstream out(std::filesystem::path(WidePath(path)), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) ADD_FAILURE() << "could not write " << path;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
