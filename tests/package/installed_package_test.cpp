// The Debian package as a user meets it: built by CPack (with the stand-in camera inside),
// unpacked into root's folders, which others may not write, as an install leaves /usr/bin, and its
// usr/bin/lumora run as the ordinary user "nobody" on a private display. The first start asks for
// the login and keeps it in the user's ~/.config/lumora, the second goes straight to the main
// window and serves, and a browser logs in with the password as the login form encodes it.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/platform.h"
#include "tests/support/desktop_run.h"
#include "tests/support/loopback_client.h"
#include "tests/support/window_layout.h"

namespace {

// Builds the package from this build folder and unpacks it; returns the program's path.
std::string UnpackPackage(const TempDir& work, std::string& log) {
    int status = -1;
    log = RunCommand({CPACK_COMMAND, "--config", STANDIN_PACKAGE_CONFIG, "-B", work.File("out")}, "",
                     180000, &status);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(work.File("out"), ignored))
        if (status == 0 && entry.path().extension() == ".deb")
            log += RunCommand({"dpkg-deb", "-x", entry.path().string(), work.File("root")}, "", 60000);
    // The user must be able to reach the program through the test's own folder.
    chmod(work.path().c_str(), 0755);
    return work.File("root/usr/bin/lumora");
}

void CloseAndExpectCleanEnd(DesktopRun& run, const std::string& window) {
    run.CloseWindow(window);
    int status = -1;
    ASSERT_TRUE(run.WaitForExit(10000, status)) << "the program did not end after closing";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << run.Output();
}

}  // namespace

TEST(InstalledPackage, AnOrdinaryUserLogsInKeepsTheSettingsAndABrowserLogsInWithAnEncodedPassword) {
    ASSERT_EQ(geteuid(), 0u) << "only root can run the program as another, ordinary user";
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    TempDir work, home;
    std::string log, program = UnpackPackage(work, log);
    ASSERT_TRUE(PathExists(program)) << log;
    std::string programFolder = work.File("root/usr/bin");
    struct stat folderStatus {}, fileStatus {};
    ASSERT_EQ(stat(programFolder.c_str(), &folderStatus), 0);
    ASSERT_TRUE(folderStatus.st_uid == 0 && (folderStatus.st_mode & 0022) == 0);
    ASSERT_EQ(chown(home.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    // XDG_CONFIG_HOME would move the settings; XAUTHORITY is the test's (the display lets every
    // local client in).
    std::vector<std::string> command{
        "/usr/bin/env", "-u", "XDG_CONFIG_HOME", "-u", "XAUTHORITY", "setpriv",
        "--reuid=" + std::to_string(nobody->pw_uid), "--regid=" + std::to_string(nobody->pw_gid),
        "--clear-groups", program};
    std::string settingsFolder = home.path() + "/.config/lumora";
    std::string settingsFile = settingsFolder + "/settings.ini";
    int port = FreePort();
    DesktopRun run("");
    ASSERT_TRUE(run.DisplayReady());

    run.StartCommand(command, {"HOME=" + home.path()});
    std::string dialog = run.WaitForWindow(title, dialogWidth, dialogHeight);
    ASSERT_FALSE(dialog.empty()) << "the first start asks for the login\n" << run.Output();
    run.Click(dialog, usernameX, usernameY);
    run.Type(dialog, "cam");
    run.Click(dialog, passwordX, passwordY);
    run.Type(dialog, "Secret!1");
    run.Click(dialog, portX, portY);
    run.Key(dialog, "ctrl+a");
    run.Type(dialog, std::to_string(port));
    run.Click(dialog, okX, okY);
    std::string main = run.WaitForWindow(title, mainWidth, mainHeight);
    ASSERT_FALSE(main.empty()) << run.Output();
    // Checked without stopping, so that the program still gets closed and cleans up after itself.
    std::string settings = ReadFileText(settingsFile);
    EXPECT_NE(settings.find("username = cam\npassword = " + Sha1Hex(std::string("Secret!1")) + "\n"),
              std::string::npos)
        << settings;
    EXPECT_NE(settings.find("port = " + std::to_string(port) + "\n"), std::string::npos) << settings;
    EXPECT_TRUE(stat(settingsFolder.c_str(), &folderStatus) == 0 &&
                (folderStatus.st_mode & 07777) == 0700)
        << settingsFolder;
    EXPECT_TRUE(stat(settingsFile.c_str(), &fileStatus) == 0 && fileStatus.st_uid == nobody->pw_uid)
        << "the settings are the user's own";
    EXPECT_FALSE(PathExists(programFolder + "/settings.ini"));
    CloseAndExpectCleanEnd(run, main);

    run.StartCommand(command, {"HOME=" + home.path()});
    main = run.WaitForWindow(title, mainWidth, mainHeight);
    if (main.empty()) {
        dialog = run.WaitForWindow(title, dialogWidth, dialogHeight, 1000);
        if (!dialog.empty()) CloseAndExpectCleanEnd(run, dialog);
        FAIL() << "the second start asked for the login again instead of showing the main window";
    }
    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000)) << run.Output();
    std::string login = "login.html?username=cam&password=";
    EXPECT_EQ(Fetch("127.0.0.2", port, login + "Secret%212&Login=Login").find("webcam.jpg"),
              std::string::npos)
        << "a wrong password is refused";
    std::string viewer = Fetch("127.0.0.2", port, login + "Secret%211&Login=Login");
    EXPECT_NE(viewer.find("webcam.jpg"), std::string::npos) << viewer;
    CloseAndExpectCleanEnd(run, main);
}
