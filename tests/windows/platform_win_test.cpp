// The Windows side of the core's platform calls, under Wine: the program path and temporary
// folder as the system gives them, CryptoAPI random bytes and SHA-1, and the wide-character file
// calls on names beyond ASCII, including replacing a file that a reader holds open.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "core/platform.h"
#include "core/text_util.h"
#include "tests/support/temp_dir.h"
#include "windows/wide_text.h"

namespace {

TEST(WindowsPlatform, ProgramPathIsTheRunningModuleWithoutLongPathPrefix) {
    std::string path = ReadProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.rfind("\\\\?\\", 0), 0u);
    EXPECT_EQ(LowerCase(path.substr(path.size() - 4)), ".exe");
    EXPECT_NE(GetFileAttributesW(WidePath(path).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(pathSeparator, '\\');
    EXPECT_EQ(AddTrailingSlash("C:\\lmr"), "C:\\lmr\\");
    EXPECT_EQ(AddTrailingSlash(""), "\\");
    EXPECT_EQ(StripTrailingSlash("C:\\lmr\\\\"), "C:\\lmr\\");
}

TEST(WindowsPlatform, TemporaryDirectoryIsLongFormWithSeparator) {
    std::string temp = TemporaryDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(temp.find('~'), std::string::npos) << temp;
    EXPECT_TRUE(DirectoryOpens(temp));
}

TEST(WindowsPlatform, RandomBytesComeFromTheCryptoProvider) {
    std::set<std::string> seen;
    for (int i = 0; i < 8; ++i) {
        std::string bytes(16, '\0');
        ASSERT_TRUE(RandomBytes(bytes.data(), bytes.size()));
        seen.insert(bytes);
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen.count(std::string(16, '\0')), 0u);
}

TEST(WindowsPlatform, Sha1ThroughTheSystemCryptoApi) {
    EXPECT_EQ(Sha1Hex(std::string("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1Hex(std::string()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    std::string million(1000000, 'a');
    EXPECT_EQ(Sha1Hex(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

class WindowsFiles : public ::testing::Test {
protected:
    TempDir dir;
    // UTF-8: "Müller €" in a folder name, as a user profile may be called.
    std::string folder = dir.File("M\xC3\xBCller \xE2\x82\xAC");
    std::string file = folder + "\\settings.ini";
};

TEST_F(WindowsFiles, DirectoriesAndFilesWithNamesBeyondAscii) {
    EXPECT_FALSE(DirectoryOpens(folder));
    EXPECT_EQ(MakeDirectory(folder), MakeDirectoryResult::Created);
    EXPECT_EQ(MakeDirectory(folder), MakeDirectoryResult::AlreadyExists);
    EXPECT_TRUE(DirectoryOpens(folder));
    EXPECT_EQ(MakeDirectory(folder + "\\no\\such"), MakeDirectoryResult::Failed);

    std::string content;
    EXPECT_FALSE(ReadFileBytes(file, content));
    EXPECT_FALSE(FileWritable(file));
    ASSERT_TRUE(CreateEmptyFile(file));
    EXPECT_TRUE(FileWritable(file));
    EXPECT_TRUE(ReadFileBytes(file, content));
    EXPECT_EQ(content, "");
    ASSERT_TRUE(ReplaceFileContent(file, std::string("a\0b\r\n", 5)));
    EXPECT_TRUE(ReadFileBytes(file, content));
    EXPECT_EQ(content, std::string("a\0b\r\n", 5));
    EXPECT_TRUE(CreateEmptyFile(file)) << "an existing file is opened, not emptied";
    EXPECT_TRUE(ReadFileBytes(file, content));
    EXPECT_EQ(content.size(), 5u);
    EXPECT_FALSE(DirectoryOpens(file));
}

TEST_F(WindowsFiles, ReplacingAFileThatAReaderHoldsOpen) {
    ASSERT_EQ(MakeDirectory(folder), MakeDirectoryResult::Created);
    ASSERT_TRUE(ReplaceFileContent(file, "old frame"));
    // A reader that shares the file as the program's own readers do, and keeps it open.
    HANDLE reader = CreateFileW(WidePath(file).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ReplaceFileContent(file, "new frame"));
    CloseHandle(reader);
    std::string content;
    EXPECT_TRUE(ReadFileBytes(file, content));
    EXPECT_EQ(content, "new frame");

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((WidePath(folder) + L"\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int files = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(files, 1) << "no spare file is left beside";
}

TEST_F(WindowsFiles, ReadOnlyFileIsNotWritable) {
    ASSERT_EQ(MakeDirectory(folder), MakeDirectoryResult::Created);
    ASSERT_TRUE(ReplaceFileContent(file, "port = 1\r\n"));
    ASSERT_TRUE(SetFileAttributesW(WidePath(file).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(FileWritable(file));
    std::string content;
    EXPECT_TRUE(ReadFileBytes(file, content));
    SetFileAttributesW(WidePath(file).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WideText, InterfaceTextsAndPathsConvertLosslessly) {
    EXPECT_EQ(WideText("Ger\xE4t \xA4"), L"Ger\u00E4t \u20AC");
    EXPECT_EQ(TextFromWide(L"Ger\u00E4t \u20AC"), "Ger\xE4t \xA4");
    EXPECT_EQ(TextFromWide(L"\u0416"), "?") << "no ISO-8859-15 form";
    std::string cyrillic = "C:\\Users\\\xD0\x96\xD0\xB5\xD0\xBD\xD1\x8F";
    EXPECT_EQ(WidePath(cyrillic), L"C:\\Users\\\u0416\u0435\u043D\u044F");
    EXPECT_EQ(PathFromWide(WidePath(cyrillic)), cyrillic);
    EXPECT_EQ(WidePath(""), L"");
}

}  // namespace
