// The Windows fatal-error handler, in child processes of this test program: a fault on a worker
// thread, and an abort, each show the one message while the working directory still exists,
// then leave no working directory behind and end the process with status 1.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "program/fatal_error.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/support/message_box_win.h"
#include "windows/wide_text.h"
#include "windows/windows_state.h"

namespace {

const char childSwitch[] = "--fatal-child";

// Writes down the handler's message and whether the working directory was still there while it
// showed.
void RecordMessageBox(std::string recordPath) {
    AnswerMessageBox("Error", [&](const std::string& text) {
        std::ofstream record(recordPath, std::ios::binary);
        record << text << "|" << (DirectoryOpens(programState.workDir) ? "present" : "gone");
    }, 30000);
}

// The child: a working directory with a frame and a bitmap, the handler installed, then the fault.
[[noreturn]] void RunChild(const std::string& kind, const std::string& folder) {
    ProgramState& s = programState;
    ApplyLanguage("english");
    s.workDir = folder + "\\lmr\\";
    s.jpegPath = s.workDir + "webcam.jpg";
    windowsState.bmpPath = s.workDir + "webcam.bmp";
    MakeDirectory(folder + "\\lmr");
    ReplaceFileContent(s.jpegPath, "frame");
    ReplaceFileContent(windowsState.bmpPath, "bitmap");
    InstallFatalErrorHandler();
    std::thread(RecordMessageBox, folder + "\\message.txt").detach();
    if (kind == "abort")
        std::thread([] { std::abort(); }).join();
    else
        std::thread([] { *static_cast<volatile int*>(nullptr) = 1; }).join();
    std::_Exit(3);  // the fault did not end the process
}

// Runs this program as a child of the given kind; its exit status, or -1 when it did not end.
long RunChildProcess(const std::string& kind, const std::string& folder) {
    std::wstring line = L"\"" + WidePath(ReadProgramPath()) + L"\" " + WideText(childSwitch) + L" " +
                        WideText(kind) + L" \"" + WidePath(folder) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return -1;
    CloseHandle(child.hThread);
    DWORD status = DWORD(-1);
    if (WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(child.hProcess, &status);
    else TerminateProcess(child.hProcess, 9);
    CloseHandle(child.hProcess);
    return long(status);
}

TEST(FatalError, FaultOnAWorkerThreadCleansUpAndEndsWithStatusOne) {
    TempDir dir;
    EXPECT_EQ(RunChildProcess("fault", dir.path()), 1);
    EXPECT_EQ(ReadFileText(dir.path() + "\\message.txt"),
              "An unknown error occured. The program will be terminated.|present");
    EXPECT_FALSE(PathExists(dir.path() + "\\lmr"));
}

TEST(FatalError, AbortIsAFaultToo) {
    TempDir dir;
    EXPECT_EQ(RunChildProcess("abort", dir.path()), 1);
    EXPECT_EQ(ReadFileText(dir.path() + "\\message.txt"),
              "An unknown error occured. The program will be terminated.|present");
    EXPECT_FALSE(PathExists(dir.path() + "\\lmr"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == childSwitch) RunChild(argv[2], argv[3]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
