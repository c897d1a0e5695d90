// The built capture program on a machine without the camera it is asked for: failure status,
// its own diagnostic as the first error line, no frame file, nothing on standard output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

const std::string captureProgram = CAPTURE_PROGRAM_PATH;

struct Outcome {
    int status = -1;
    std::string out;
    std::string error;
    std::chrono::steady_clock::duration took{};
    bool workEmpty = false;
};

// Runs capture with its current directory in an empty folder "work" of its own; the argument
// goes through the shell in single quotes, exactly as written.
Outcome RunCapture(const char* argument) {
    TempDir folder;
    std::filesystem::create_directory(folder.File("work"));
    std::string command = "cd '" + folder.File("work") + "' && exec '" + captureProgram + "'" +
                          (argument ? std::string(" '") + argument + "'" : "") + " >'" +
                          folder.File("out") + "' 2>'" + folder.File("error") + "' </dev/null";
    auto start = std::chrono::steady_clock::now();
    int result = std::system(command.c_str());
    Outcome outcome;
    outcome.took = std::chrono::steady_clock::now() - start;
    outcome.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    outcome.out = ReadFileText(folder.File("out"));
    outcome.error = ReadFileText(folder.File("error"));
    outcome.workEmpty = std::filesystem::is_empty(folder.File("work"));
    return outcome;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string Diagnostic(int index) {
    std::string line = "No camera with index " + std::to_string(index) +
                       " could be opened (failed check: capture != ((void *)0))";
    if (index < 0) return line + ": check that a camera is connected and free, and press Start.";
    return line + ": no camera is connected as /dev/video" + std::to_string(index) +
           "; connect it, or choose another camera in the settings, and press Start.";
}

void ExpectNoCamera(const char* argument, int index) {
    SCOPED_TRACE(argument ? argument : "(no argument)");
    Outcome outcome = RunCapture(argument);
    EXPECT_NE(outcome.status, 0);
    EXPECT_EQ(FirstLine(outcome.error), Diagnostic(index));
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(outcome.workEmpty);
    EXPECT_LT(outcome.took, std::chrono::seconds(10));
}

}  // namespace

TEST(CaptureProgram, CameraThatDoesNotExistGivesFailureAndTheDiagnosticFirst) {
    // Indices no machine has; the argument is read as atoi reads it.
    ExpectNoCamera("57", 57);
    ExpectNoCamera(" 58 cameras", 58);
    ExpectNoCamera("+59", 59);
}

// A negative index asks for any camera at all: run only where there is none to open.
TEST(CaptureProgram, NegativeIndexWithoutAnyCameraGivesFailure) {
    std::error_code unreadable;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", unreadable))
        if (entry.path().filename().string().rfind("video", 0) == 0)
            GTEST_SKIP() << "this machine has a camera (" << entry.path() << ")";
    ExpectNoCamera("-60", -60);
}

TEST(CaptureProgram, LettersOrNoArgumentMeanCameraZero) {
    if (std::filesystem::exists("/dev/video0")) GTEST_SKIP() << "this machine has a camera 0";
    ExpectNoCamera("letters", 0);
    ExpectNoCamera(nullptr, 0);
}
