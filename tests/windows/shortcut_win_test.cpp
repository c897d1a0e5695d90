// The Startup shortcut under Wine: a shell link that reads back with the program as target and
// icon, and the program's own link written anew in the user's Startup folder without piling up.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include "core/platform.h"
#include "core/program_state.h"
#include "tests/support/temp_dir.h"
#include "windows/startup_shortcut.h"
#include "windows/wide_text.h"

namespace {

struct LinkContent {
    std::wstring path, arguments, description, workingDirectory, iconFile;
    int iconIndex = -1;
};

bool ReadLink(const std::string& file, LinkContent& content) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* persist = nullptr;
    bool read = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
                SUCCEEDED(persist->Load(WidePath(file).c_str(), STGM_READ));
    if (read) {
        wchar_t text[MAX_PATH + 1] = {};
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        content.path = text;
        link->GetArguments(text, MAX_PATH);
        content.arguments = text;
        link->GetDescription(text, MAX_PATH);
        content.description = text;
        link->GetWorkingDirectory(text, MAX_PATH);
        content.workingDirectory = text;
        link->GetIconLocation(text, MAX_PATH, &content.iconIndex);
        content.iconFile = text;
    }
    if (persist) persist->Release();
    link->Release();
    return read;
}

int CountLinks(const std::string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((WidePath(folder) + L"\\*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(Shortcuts, LinkReadsBackWithTargetDescriptionAndIcon) {
    TempDir dir;
    std::string target = ReadProgramPath();
    std::string link = dir.path() + "\\Lumora.lnk";
    ASSERT_EQ(CreateShortcut(target, link, "", "Lumora", "", target, 0), S_OK);
    LinkContent content;
    ASSERT_TRUE(ReadLink(link, content));
    EXPECT_EQ(PathFromWide(content.path), target);
    EXPECT_EQ(content.arguments, L"");
    EXPECT_EQ(content.description, L"Lumora");
    EXPECT_EQ(content.workingDirectory, L"");
    EXPECT_EQ(PathFromWide(content.iconFile), target);
    EXPECT_EQ(content.iconIndex, 0);
    EXPECT_NE(CreateShortcut(target, dir.path() + "\\no\\such\\folder\\x.lnk", "", "", "", target, 0), S_OK);
}

TEST_F(Shortcuts, ProgramLinkInTheStartupFolderIsRewrittenNotAdded) {
    std::string folder = GetSpecialFolderPath(CSIDL_STARTUP);
    ASSERT_FALSE(folder.empty());
    CreateDirectoryW(WidePath(folder).c_str(), nullptr);
    std::string link = folder + "\\Lumora.lnk";
    DeleteFileW(WidePath(link).c_str());
    int before = CountLinks(folder);

    programState.programPath = ReadProgramPath();
    WriteStartupShortcut();
    WriteStartupShortcut();
    EXPECT_EQ(CountLinks(folder), before + 1);
    LinkContent content;
    ASSERT_TRUE(ReadLink(link, content));
    EXPECT_EQ(PathFromWide(content.path), programState.programPath);
    DeleteFileW(WidePath(link).c_str());
}

}  // namespace
