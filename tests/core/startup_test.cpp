// Start-up and shutdown in-process: the settings path beside the executable, the session id,
// the working directory with the helper in it, and its removal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/constants.h"
#include "core/program_state.h"
#include "program/startup.h"
#include "tests/support/temp_dir.h"

TEST(StartUp, PreparesStateAndShutDownRemovesWorkDir) {
    int argc = 1;
    char name[] = "lumora";
    char* args[] = {name, nullptr};
    char** argv = args;
    StartUp(argc, argv);
    const ProgramState& s = programState;

    char exe[4096];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(length, 0);
    std::string exePath(exe, size_t(length));
    EXPECT_EQ(s.programPath, exePath);
    EXPECT_EQ(s.settingsPath, exePath.substr(0, exePath.rfind('/') + 1) + "settings.ini");

    ASSERT_EQ(s.sessionId.size(), 40u);
    EXPECT_EQ(s.sessionId.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(s.ioBuffer.size(), bufferSize);
    EXPECT_EQ(s.networkReady, 1);

    EXPECT_EQ(s.workDir.rfind("/tmp/lmr", 0), 0u) << s.workDir;
    EXPECT_EQ(s.workDir.back(), '/');
    EXPECT_EQ(s.jpegPath, s.workDir + "webcam.jpg");
    struct stat info;
    ASSERT_EQ(stat((s.workDir + helperFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0173, 0173u);

    std::string workDir = s.workDir;
    EXPECT_EQ(ShutDown(), 0);
    EXPECT_FALSE(PathExists(workDir));
}
