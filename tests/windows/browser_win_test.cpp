// The Windows program launcher: a text that names a program is started as that program, and the
// call never reports a failure (the shell speaks for itself when it cannot open an address).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "desktop/browser.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(WindowsLauncher, TextNamingAProgramStartsIt) {
    TempDir dir;
    std::string marker = dir.path() + "\\started.txt";
    EXPECT_TRUE(OpenInBrowser("cmd.exe /c echo started>\"" + marker + "\""));
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!PathExists(marker) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(PathExists(marker));
    // The launcher does not wait for the program; give it the moment to finish writing.
    until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadFileText(marker).find("started") == std::string::npos && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(ReadFileText(marker).find("started"), std::string::npos);
}

}  // namespace
