// Hiding to the tray through the whole program, black-box, on a display of the test's own with
// trayer: with "hide" = "1" only the tray icon appears, already docked when the server is started
// (the port is taken, so the start stops at its message box), a left double-click on the icon
// brings the window, Hide in tray puts it back, and other clicks leave it there.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>

#include "core/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"

namespace {

class TrayProgram : public testing::Test {
protected:
    PrivateDisplay display{true};
    TempDir folder;
    BusyPort busy;
    std::unique_ptr<RunningProgram> program;

    bool MainWindowOnScreen() { return !FindWindows(display.name(), "^Lumora v1\\.4$", true).empty(); }

    // The program's docked tray icon: its visible window named after the program, inside the tray.
    std::string DockedIcon() {
        for (const std::string& window : FindWindows(display.name(), "^lumora$", true))
            if (WindowInsideTray(display.name(), window)) return window;
        return {};
    }

    void ClickIcon(int button, int count) {
        std::string icon = DockedIcon();
        ASSERT_FALSE(icon.empty());
        RunCommand({"xdotool", "mousemove", "--window", icon, "8", "8", "click", "--repeat", std::to_string(count),
                    "--delay", "80", std::to_string(button)},
                   display.name());
    }
};

TEST_F(TrayProgram, HiddenStartShowsOnlyTheIconAndDoubleClickBringsTheWindow) {
    ASSERT_TRUE(display.ok()) << "no private X display with trayer";
    ASSERT_GT(busy.port(), 0);
    std::string path = InstallStandInProgram(
        folder.path(), {{"language", "English"}, {"username", "cam"}, {"password", Sha1Hex(std::string("pw"))},
                        {"server", "1"}, {"hide", "1"}, {"ipcheck", "0"},
                        {"port", std::to_string(busy.port())}, {"device", "0"}});
    program = std::make_unique<RunningProgram>(path, std::vector<std::string>{},
                                               std::vector<std::string>{"DISPLAY=" + display.name()},
                                               folder.path());

    // The server's start waits in its failure box: the icon was docked before it.
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitUntil([&] { return !(boxes = FindWindows(display.name(), "^Error$", true)).empty(); }, 10000))
        << program->Output();
    EXPECT_FALSE(DockedIcon().empty()) << "no docked icon when the server was started";
    EXPECT_FALSE(MainWindowOnScreen());
    RunCommand({"xdotool", "windowfocus", "--sync", boxes[0], "key", "Return"}, display.name());
    ASSERT_TRUE(WaitUntil([&] { return FindWindows(display.name(), "^Error$", true).empty(); }, 5000));
    EXPECT_FALSE(MainWindowOnScreen());

    ClickIcon(1, 2);
    ASSERT_TRUE(WaitUntil([&] { return MainWindowOnScreen(); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return DockedIcon().empty(); }, 5000)) << "the icon stayed";

    // Hide in tray, then clicks that are not a left double-click.
    std::string window = FindWindows(display.name(), "^Lumora v1\\.4$", true)[0];
    RunCommand({"xdotool", "mousemove", "--window", window, "280", "127", "click", "1"}, display.name());
    ASSERT_TRUE(WaitUntil([&] { return !DockedIcon().empty() && !MainWindowOnScreen(); }, 5000));
    ClickIcon(3, 2);
    ClickIcon(1, 1);
    EXPECT_FALSE(WaitUntil([&] { return MainWindowOnScreen(); }, 1000));
    EXPECT_FALSE(DockedIcon().empty());
    ClickIcon(1, 2);
    EXPECT_TRUE(WaitUntil([&] { return MainWindowOnScreen(); }, 5000));

    CloseLikeWindowManager(display.name(), window);
    int status = 0;
    ASSERT_TRUE(program->WaitForExit(5000, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program->Output();
}

}  // namespace
