// Start-up and shutdown of the Windows build in-process, without the toolkit: its own paths with
// "\", the session id, the capture library bound, the working directory under the temporary
// folder with the bitmap and frame paths, and everything gone after shutdown.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/platform.h"
#include "core/program_state.h"
#include "program/startup.h"
#include "program/workdir.h"
#include "tests/support/temp_dir.h"
#include "web/login.h"
#include "windows/capture_library.h"
#include "windows/legacy_password.h"
#include "windows/windows_state.h"

namespace {

TEST(WindowsStartUp, PreparesStateAndShutDownRemovesEverything) {
    int argc = 1;
    char name[] = "lumora-win.exe";
    char* args[] = {name, nullptr};
    char** argv = args;
    StartUp(argc, argv);
    const ProgramState& s = programState;

    std::string exe = ReadProgramPath();
    EXPECT_EQ(s.programPath, exe);
    EXPECT_EQ(s.settingsPath, exe.substr(0, exe.rfind('\\') + 1) + "settings.ini");
    ASSERT_EQ(s.sessionId.size(), 40u);
    EXPECT_EQ(s.sessionId.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(s.networkReady, 1);
    EXPECT_NE(CaptureWindowCreator(), nullptr);
    // The former Windows digest ("sec" of "secret" as UTF-16) still lets its password in.
    programState.settingPasswordHash.Set(LegacyPasswordDigest("secret"));
    EXPECT_TRUE(PasswordMatches("secret"));
    programState.settingPasswordHash.Set("");

    std::string temp = TemporaryDirectory();
    EXPECT_EQ(s.workDir.rfind(temp + "lmr", 0), 0u) << s.workDir;
    EXPECT_EQ(s.workDir.back(), '\\');
    EXPECT_TRUE(DirectoryOpens(s.workDir));
    EXPECT_EQ(s.jpegPath, s.workDir + "webcam.jpg");
    EXPECT_EQ(windowsState.bmpPath, s.workDir + "webcam.bmp");

    WriteFileText(s.jpegPath, "frame");
    WriteFileText(windowsState.bmpPath, "bitmap");
    std::string workDir = s.workDir;
    EXPECT_EQ(ShutDown(), 0);
    EXPECT_FALSE(PathExists(workDir));
}

TEST(WindowsWorkDir, SecondRunTakesTheNextNameAndASubfolderKeepsTheDirectory) {
    TempDir root;
    std::string base = root.path() + "\\";
    EXPECT_EQ(CreateWorkDir(base), base + "lmr\\");
    EXPECT_EQ(CreateWorkDir(base), base + "lmr1\\");

    ProgramState& s = programState;
    s.workDir = base + "lmr1\\";
    s.jpegPath = s.workDir + "webcam.jpg";
    windowsState.bmpPath = s.workDir + "webcam.bmp";
    WriteFileText(s.jpegPath, "frame");
    WriteFileText(s.workDir + "ip.txt", "1.2.3.4");
    ASSERT_EQ(MakeDirectory(s.workDir + "keep"), MakeDirectoryResult::Created);
    CleanUpWorkDir();
    EXPECT_TRUE(PathExists(s.workDir + "keep"));
    EXPECT_FALSE(PathExists(s.jpegPath));
    EXPECT_FALSE(PathExists(s.workDir + "ip.txt"));
}

}  // namespace
