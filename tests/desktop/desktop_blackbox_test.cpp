// The built program as a user meets it, on a private display with the stand-in camera inside:
// the first start's dialog writes settings.ini and opens the main window; Start serves the login
// and the camera picture to a browser on loopback and Stop closes the port; Preview hands the
// session address to "firefox", or says that there is none; closing the window ends the program
// with status 0 and leaves nothing behind. Screenshots of both windows in both languages.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/platform.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/desktop_run.h"
#include "tests/support/loopback_client.h"
#include "tests/support/window_layout.h"

namespace {

using Clock = std::chrono::steady_clock;

// The address-echo service the test build of the program asks.
constexpr uint16_t echoPort = LUMORA_TEST_SERVICE_PORT;

bool IsPicture(const std::string& answer) {
    return answer.find("Content-Type: image/jpeg") != std::string::npos &&
           BodyOf(answer).rfind("\xFF\xD8", 0) == 0 && BodyOf(answer).find("frame ") != std::string::npos;
}

// A stand-in "firefox" that notes its arguments, one a line; the folder holding it goes first on
// PATH.
struct StandInFirefox {
    TempDir bin;
    std::string log = bin.File("firefox.log");
    StandInFirefox() {
        WriteFileText(bin.File("firefox"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + log + ".tmp\nmv " +
                                               log + ".tmp " + log + "\n");
        chmod(bin.File("firefox").c_str(), 0755);
    }
    std::string Path() const { return "PATH=" + bin.path() + ":/usr/bin:/bin"; }
};

}  // namespace

TEST(DesktopBlackBox, FirstStartAsksForTheLoginAndWritesTheEightSettings) {
    DesktopRun run("");
    ASSERT_TRUE(run.DisplayReady());
    run.Start();
    std::string dialog = run.WaitForWindow(title, dialogWidth, dialogHeight);
    ASSERT_FALSE(dialog.empty()) << run.Output();
    EXPECT_TRUE(run.WaitForWindow(title, mainWidth, mainHeight, 300).empty());
    EXPECT_TRUE(run.Screenshot(dialog, "settings-en"));

    run.Click(dialog, okX, okY);  // nothing typed yet: refused with a message box
    std::string box = run.WaitForWindowNamed("Error");
    ASSERT_FALSE(box.empty()) << "no message box for the empty login";
    EXPECT_TRUE(run.Screenshot(box, "message-en"));
    run.Key(box, "Return");
    EXPECT_TRUE(run.WindowGone(box));
    EXPECT_FALSE(PathExists(run.SettingsFile()));

    run.Click(dialog, usernameX, usernameY);
    run.Type(dialog, "anna");
    run.Click(dialog, passwordX, passwordY);
    run.Type(dialog, "secret");
    run.Click(dialog, okX, okY);
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty());
    EXPECT_TRUE(run.WindowGone(dialog));
    EXPECT_EQ(ReadFileText(run.SettingsFile()),
              StoredSettings(8000, {{"password", Sha1Hex(std::string("secret"))}}));
    EXPECT_TRUE(run.Screenshot(main, "main-en"));
    CloseAndExpectCleanEnd(run, main, -1, "");
}

TEST(DesktopBlackBox, StartServesLoginAndPictureStopClosesThePortCloseLeavesNothing) {
    int port = FreePort();
    DesktopRun run(StoredSettings(port));
    ASSERT_TRUE(run.DisplayReady());
    run.Start();
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty()) << run.Output();
    EXPECT_FALSE(PortAccepts(port));

    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000)) << run.Output();
    EXPECT_NE(Fetch("127.0.0.2", port, "").find("name=\"username\""), std::string::npos)
        << "a browser that is not logged in gets the login form";
    std::string viewer = Fetch("127.0.0.2", port, "login.html?username=anna&password=pw&Login=Login");
    EXPECT_NE(viewer.find("webcam.jpg"), std::string::npos) << viewer;
    std::string picture;
    EXPECT_TRUE(WaitUntil([&] { return IsPicture(picture = Fetch("127.0.0.2", port, "webcam.jpg?1")); },
                          5000))
        << picture.substr(0, 200);
    EXPECT_TRUE(run.Screenshot(main, "main-en-active"));

    pid_t helper = run.HelperPid();
    std::string workDir = run.WorkDir();
    ASSERT_GT(helper, 0);
    EXPECT_EQ(workDir.rfind("/tmp/lmr", 0), 0u) << workDir;

    auto stopPressed = Clock::now();
    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return !PortAccepts(port); }, 5000));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stopPressed);
    EXPECT_LT(took.count(), 2000) << "the server thread ends at its next look at the stop request";
    EXPECT_TRUE(ProcessAlive(helper)) << "Stop only pauses the frame grabber";

    CloseAndExpectCleanEnd(run, main, helper, workDir);
}

// Serving on a free port, the address-echo service answering with a given address and the
// stand-in firefox first on PATH: where each Preview test begins.
class DesktopPreview : public testing::Test {
protected:
    std::unique_ptr<LoopbackHttpServer> echo = OpenEchoService();
    StandInFirefox firefox;
    int port = FreePort();
    DesktopRun run{StoredSettings(port)};
    std::string main;

    void StartServingWithAddress(const std::string& address) {
        ASSERT_TRUE(echo->ok()) << "the address-echo port " << echoPort << " stays taken";
        ServeAddress(*echo, address);
        ASSERT_TRUE(run.DisplayReady());
        run.Start({firefox.Path()});
        main = run.WaitForWindow(title, mainWidth, mainHeight);
        ASSERT_FALSE(main.empty()) << run.Output();
        run.Click(main, startStopX, startStopY);
        ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000));
    }
};

TEST_F(DesktopPreview, HandsTheSessionAddressToFirefoxAndItLogsTheBrowserIn) {
    ASSERT_NO_FATAL_FAILURE(StartServingWithAddress("127.0.0.3"));
    run.Click(main, previewX, previewY);
    ASSERT_TRUE(WaitUntil([&] { return PathExists(firefox.log); }, 10000));
    std::string address = ReadFileText(firefox.log);
    std::string prefix = "http://127.0.0.3:" + std::to_string(port) + "/index.html?id=";
    ASSERT_EQ(address.rfind(prefix, 0), 0u) << address;
    std::string id = address.substr(prefix.size());
    ASSERT_EQ(id.size(), 41u) << "40 hexadecimal digits and the line end";
    id.pop_back();
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    ASSERT_EQ(echo->Requests().size(), 1u);
    EXPECT_EQ(echo->Requests()[0].rfind("GET /ip.php HTTP/1.1\r\n", 0), 0u);

    EXPECT_EQ(Fetch("127.0.0.3", port, "webcam.jpg?1").find("image/jpeg"), std::string::npos)
        << "not logged in before the address is used";
    EXPECT_NE(Fetch("127.0.0.3", port, "index.html?id=" + id).find("webcam.jpg"),
              std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return IsPicture(Fetch("127.0.0.3", port, "webcam.jpg?2")); }, 5000));
    EXPECT_EQ(Fetch("127.0.0.4", port, "webcam.jpg?3").find("image/jpeg"), std::string::npos)
        << "the id logged in only the address that used it";

    CloseAndExpectCleanEnd(run, main, run.HelperPid(), run.WorkDir());
}

TEST(DesktopBlackBox, PreviewWithoutFirefoxSaysSo) {
    std::unique_ptr<LoopbackHttpServer> echo = OpenEchoService();
    ASSERT_TRUE(echo->ok()) << "the address-echo port " << echoPort << " stays taken";
    ServeAddress(*echo, "127.0.0.3");
    // Only this empty folder on PATH: /usr/bin holds a real Firefox on a machine set up for testing.
    TempDir emptyBin;
    int port = FreePort();
    DesktopRun run(StoredSettings(port));
    ASSERT_TRUE(run.DisplayReady());
    run.Start({"PATH=" + emptyBin.path()});
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty()) << run.Output();
    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000));
    run.Click(main, previewX, previewY);
    std::string box = run.WaitForWindowNamed("Error");
    ASSERT_FALSE(box.empty()) << "no message box";
    EXPECT_TRUE(run.Screenshot(box, "firefox-not-found-en"));
    run.Key(box, "Return");
    EXPECT_TRUE(run.WindowGone(box));
    CloseAndExpectCleanEnd(run, main, run.HelperPid(), run.WorkDir());
}

TEST(DesktopBlackBox, GermanWindowsForTheScreenshots) {
    DesktopRun run(StoredSettings(FreePort(), {{"language", "Deutsch"}}));
    ASSERT_TRUE(run.DisplayReady());
    run.Start();
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty()) << run.Output();
    EXPECT_TRUE(run.Screenshot(main, "main-de"));
    run.Click(main, settingsX, settingsY);
    std::string dialog = run.WaitForWindow(title, dialogWidth, dialogHeight);
    ASSERT_FALSE(dialog.empty());
    EXPECT_TRUE(run.Screenshot(dialog, "settings-de"));
    // While the dialog is open the main window's close button only closes the dialog.
    run.CloseWindow(main);
    EXPECT_TRUE(run.WindowGone(dialog));
    EXPECT_FALSE(run.WaitForWindow(title, mainWidth, mainHeight, 1000).empty());
    run.Click(main, settingsX, settingsY);
    dialog = run.WaitForWindow(title, dialogWidth, dialogHeight);
    ASSERT_FALSE(dialog.empty());
    run.Click(dialog, cancelX, cancelY);
    EXPECT_TRUE(run.WindowGone(dialog));
    CloseAndExpectCleanEnd(run, main, -1, "");
}

TEST_F(DesktopPreview, AnAddressAnswerWithBlanksStartsNoBrowser) {
    ASSERT_NO_FATAL_FAILURE(StartServingWithAddress("127.0.0.3 -profile /tmp/p"));
    run.Click(main, ipCheckX, ipCheckY);
    ASSERT_TRUE(WaitUntil([&] { return echo->Requests().size() == 1; }, 10000));
    // No dotted address: the field keeps its " -", so Preview asks once more and opens nothing.
    run.Click(main, previewX, previewY);
    ASSERT_TRUE(WaitUntil([&] { return echo->Requests().size() == 2; }, 10000));
    EXPECT_FALSE(WaitUntil([&] { return PathExists(firefox.log); }, 2000)) << ReadFileText(firefox.log);
    EXPECT_EQ(run.FieldText(main, addressX, addressY), " -");
    CloseAndExpectCleanEnd(run, main, run.HelperPid(), run.WorkDir());
}

// Waits the check's own 10 s limit out: the main build alone runs it.
TEST(DesktopBlackBoxRealClock, AddressCheckAtStartUpShowsTheWindowMeanwhileAndEndsWithinTenSeconds) {
    std::unique_ptr<LoopbackHttpServer> echo = OpenEchoService();
    ASSERT_TRUE(echo->ok()) << "the address-echo port " << echoPort << " stays taken";
    ScriptedReply silent;
    silent.silent = true;
    echo->SetReply(silent);
    DesktopRun run(StoredSettings(FreePort(), {{"ipcheck", "1"}}));
    ASSERT_TRUE(run.DisplayReady());
    run.Start();
    ASSERT_TRUE(WaitUntil([&] { return echo->Requests().size() == 1; }, 5000)) << run.Output();
    auto asked = Clock::now();
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight, 3000);
    ASSERT_FALSE(main.empty()) << "the window is not on the screen while the service is asked";
    // Drawn, not just mapped: an undrawn window is its background colour alone.
    std::string colours = RunCommand(
        {"sh", "-c", "import -window " + main + " png:- | convert png:- -format %k info:"}, run.DisplayName());
    EXPECT_GT(std::atoi(colours.c_str()), 4) << colours;
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(8)) << "found only after the check";
    // Once the check has given up the window answers again.
    run.Click(main, settingsX, settingsY);
    EXPECT_FALSE(run.WaitForWindow(title, dialogWidth, dialogHeight, 12000).empty());
    EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(11500));
}

TEST(DesktopBlackBox, TerminationSignalsEndTheProgramAsClosingTheWindowDoes) {
    // SIGTERM while the server and the camera run, SIGINT while the settings dialog is open,
    // SIGHUP while a message box waits.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        int port = FreePort();
        DesktopRun run(StoredSettings(port));
        ASSERT_TRUE(run.DisplayReady());
        run.Start();
        std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
        ASSERT_FALSE(main.empty()) << run.Output();
        run.Click(main, startStopX, startStopY);
        ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port) && run.HelperPid() > 0; }, 5000));
        pid_t helper = run.HelperPid();
        std::string workDir = run.WorkDir();
        if (signal == SIGINT) {
            run.Click(main, settingsX, settingsY);
            ASSERT_FALSE(run.WaitForWindow(title, dialogWidth, dialogHeight).empty());
        } else if (signal == SIGHUP) {
            run.Click(main, startStopX, startStopY);
            ASSERT_TRUE(WaitUntil([&] { return !PortAccepts(port); }, 5000));
            run.Click(main, previewX, previewY);
            ASSERT_FALSE(run.WaitForWindowNamed("Error").empty()) << "no message box";
        }
        kill(run.Pid(), signal);
        int status = -1;
        ASSERT_TRUE(run.WaitForExit(10000, status)) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(helper); }, 3000));
        EXPECT_FALSE(std::filesystem::exists(workDir)) << workDir;
    }
}

TEST(DesktopBlackBox, WithoutADisplayItSaysSoAndEndsWithStatusOneLeavingNothingInTmp) {
    // A /tmp of its own, so that what other programs keep there does not count. The program is
    // opened first and run through its descriptor, since a build folder may itself lie in /tmp.
    std::string script =
        "exec 3<\"$1\"; mount -t tmpfs lumora-test /tmp || exit 99; "
        "env -u DISPLAY /proc/self/fd/3 2>/tmp/error; status=$?; "
        "cat /tmp/error; rm /tmp/error; ls -A /tmp; echo \"status $status\"";
    int status = -1;
    std::string output = RunCommand({"unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh",
                                     LUMORA_STANDIN_PATH},
                                    "", 10000, &status);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no private /tmp here: " << output;
    EXPECT_EQ(output, "lumora: cannot open the display\nstatus 1\n");
}
