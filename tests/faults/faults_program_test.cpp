// Faults met by the whole program on a private display: a camera that fails again and again is
// reported every time and a new helper runs on the next Start, until a working camera is chosen;
// and the program killed with SIGKILL just as the settings dialog saves leaves settings.ini
// holding the old or the new settings, whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/platform.h"
#include "tests/support/desktop_run.h"
#include "tests/support/loopback_client.h"
#include "tests/support/window_layout.h"

namespace {

// The window's pixels once it has been drawn and stays the same; empty when it never settles.
std::string SettledPixels(DesktopRun& run, const std::string& window) {
    std::string last, now;
    bool settled = WaitUntil(
        [&] {
            int status = -1;
            now = RunCommand({"import", "-window", window, "-depth", "8", "rgb:-"}, run.DisplayName(),
                             20000, &status);
            bool same = status == 0 && !now.empty() && now == last;
            last = now;
            return same;
        },
        8000);
    return settled ? now : std::string();
}

// Waits for the failure report, keeps its picture, confirms it and sees the server stop.
std::string TakeReport(DesktopRun& run, int port) {
    std::string box = run.WaitForWindowNamed("Error", 10000);
    if (box.empty()) {
        ADD_FAILURE() << "no report of the failed camera\n" << run.Output();
        return {};
    }
    std::string pixels = SettledPixels(run, box);
    EXPECT_FALSE(pixels.empty()) << "the report never settled";
    run.Key(box, "Return");
    EXPECT_TRUE(run.WindowGone(box));
    EXPECT_TRUE(WaitUntil([&] { return !PortAccepts(port); }, 5000)) << "the server still runs after the report";
    return pixels;
}

void ChooseDevice(DesktopRun& run, const std::string& main, const std::string& device) {
    run.Click(main, settingsX, settingsY);
    std::string dialog = run.WaitForWindow(title, dialogWidth, dialogHeight);
    ASSERT_FALSE(dialog.empty());
    run.Click(dialog, deviceX, deviceY);
    run.Key(dialog, "ctrl+a");
    run.Type(dialog, device);
    run.Click(dialog, okX, okY);
    ASSERT_TRUE(run.WindowGone(dialog));
    EXPECT_NE(ReadFileText(run.SettingsFile()).find("\ndevice = " + device + "\n"), std::string::npos)
        << ReadFileText(run.SettingsFile());
}

// Starts the server with the button and takes the report of the camera's failure.
std::string StartAndTakeReport(DesktopRun& run, const std::string& main, int port) {
    run.Click(main, startStopX, startStopY);
    return TakeReport(run, port);
}

}  // namespace

TEST(ProgramFaults, FailingCameraIsReportedEveryTimeAndStartRunsANewHelper) {
    int port = FreePort();
    DesktopRun run(StoredSettings(port, {{"server", "1"}, {"device", "7"}}));
    ASSERT_TRUE(run.DisplayReady());
    run.Start();
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty()) << run.Output();

    // No camera 7: the helper's own message, started from the settings and twice more by Start.
    std::string noCamera = TakeReport(run, port);
    ASSERT_FALSE(noCamera.empty());
    for (int again = 0; again < 2; ++again)
        EXPECT_EQ(StartAndTakeReport(run, main, port), noCamera) << "report " << again + 2 << " differs";

    // A helper that ends silently, then one whose message never finishes: "Unknown error" both.
    ChooseDevice(run, main, "8");
    std::string silent = StartAndTakeReport(run, main, port);
    EXPECT_FALSE(silent.empty());
    EXPECT_NE(silent, noCamera) << "the report does not carry the helper's reason";
    ChooseDevice(run, main, "9");
    EXPECT_EQ(StartAndTakeReport(run, main, port), silent);

    // A working camera: the next Start runs a helper that stays, and its pictures are served.
    ChooseDevice(run, main, "0");
    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port) && run.HelperPid() > 0; }, 5000));
    pid_t helper = run.HelperPid();
    EXPECT_FALSE(Fetch("127.0.0.2", port, "login.html?username=anna&password=pw&Login=Login").empty());
    EXPECT_TRUE(WaitUntil(
        [&] { return Fetch("127.0.0.2", port, "webcam.jpg?1").find("image/jpeg") != std::string::npos; }, 5000));
    // Two pictures newer than the first: the helper works, and a report would have come with the
    // first failed grab.
    std::string seen = Fetch("127.0.0.2", port, "webcam.jpg?2");
    auto newPicture = [&] {
        std::string now = Fetch("127.0.0.2", port, "webcam.jpg?3");
        if (now.find("image/jpeg") == std::string::npos || now == seen) return false;
        seen = now;
        return true;
    };
    for (int picture = 1; picture <= 2; ++picture) EXPECT_TRUE(WaitUntil(newPicture, 3000)) << picture;
    EXPECT_TRUE(run.WaitForWindowNamed("Error", 0).empty()) << "a working camera was reported";
    EXPECT_EQ(run.HelperPid(), helper);

    run.CloseWindow(main);
    int status = -1;
    ASSERT_TRUE(run.WaitForExit(10000, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ProgramFaults, KilledWhileTheDialogSavesLeavesOldOrNewSettingsWhole) {
    int killed[2] = {0, 0};  // rounds that left the old settings, the new ones
    TempDir clickFolder;
    // The kill follows the start of the click by these times, so that it falls before, during or
    // after the save; the last one leaves the save time to finish.
    for (int delay : {0, 5, 10, 15, 20, 30, 45, 300}) {
        int port = FreePort();
        const std::string before = StoredSettings(port, {{"server", "1"}});
        const std::string after = StoredSettings(port, {{"server", "1"}, {"hide", "1"}});
        DesktopRun run(before);
        ASSERT_TRUE(run.DisplayReady());
        run.Start();
        std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
        ASSERT_FALSE(main.empty()) << run.Output();
        ASSERT_TRUE(WaitUntil([&] { return run.HelperPid() > 0; }, 5000));
        pid_t helper = run.HelperPid();
        std::string workDir = run.WorkDir();
        ASSERT_FALSE(workDir.empty());

        run.Click(main, settingsX, settingsY);
        std::string dialog = run.WaitForWindow(title, dialogWidth, dialogHeight);
        ASSERT_FALSE(dialog.empty());
        run.Click(dialog, hideCheckX, hideCheckY);
        RunningProgram click("xdotool",
                             {"mousemove", "--window", dialog, std::to_string(okX), std::to_string(okY),
                              "click", "1"},
                             {"DISPLAY=" + run.DisplayName()}, clickFolder.path());
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        kill(run.Pid(), SIGKILL);
        int status = -1;
        ASSERT_TRUE(run.WaitForExit(5000, status));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        std::string content = ReadFileText(run.SettingsFile());
        EXPECT_TRUE(content == before || content == after) << "after " << delay << " ms:\n" << content;
        ++killed[content == after];
        // Killed, the program cannot remove its working directory; its helper ends with it.
        EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(helper); }, 3000));
        std::filesystem::remove_all(workDir);
    }
    std::printf("killed while saving: %d times the old settings, %d times the new\n", killed[0], killed[1]);
    EXPECT_GT(killed[1], 0) << "no save ever finished: the dialog was not worked";
    EXPECT_GT(killed[0], 0) << "no kill came before the save: the test does not reach the save";
}
