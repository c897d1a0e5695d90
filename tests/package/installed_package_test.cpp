// The Debian package as a user meets it: built by CPack (with the stand-in camera inside),
// unpacked into a folder of root's that the user may not write, as an install leaves /usr/bin, and
// its usr/bin/lumora run by an ordinary user on a private display. The first start asks for the
// login and keeps it in the user's ~/.config/lumora, the second goes straight to the main window,
// and a browser logs in with the password as the login form encodes it.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/platform.h"
#include "tests/desktop/blackbox_support.h"
#include "tests/web/loopback_client.h"

namespace {

const char title[] = "Lumora v1.4";
constexpr int mainWidth = 350, mainHeight = 177;
constexpr int dialogWidth = 370, dialogHeight = 290;
// Middles of the gadgets the test uses, from the windows' layouts.
constexpr int startStopX = 280, startStopY = 27;
constexpr int usernameX = 215, usernameY = 48;
constexpr int passwordX = 215, passwordY = 78;
constexpr int portX = 285, portY = 190;
constexpr int okX = 130, okY = 270;

// The package built from this build folder and unpacked by dpkg-deb into `root`.
struct UnpackedPackage {
    TempDir work;
    std::string root = work.File("root");
    std::string program = root + "/usr/bin/lumora";
    std::string log;

    UnpackedPackage() {
        // The user must be able to reach the program through the test's own folder.
        chmod(work.path().c_str(), 0755);
        int status = -1;
        log = RunCommand({CPACK_COMMAND, "--config", STANDIN_PACKAGE_CONFIG, "-B", work.File("out")}, "",
                         180000, &status);
        std::string deb;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(work.File("out"), ignored))
            if (entry.path().extension() == ".deb") deb = entry.path().string();
        if (status != 0 || deb.empty()) return;
        log += RunCommand({"dpkg-deb", "-x", deb, root}, "", 60000, &status);
    }
    // A folder without write permission could not be emptied by a test that is not root.
    ~UnpackedPackage() { chmod((root + "/usr/bin").c_str(), 0755); }
};

// Who runs the program: when the test runs as root, the unprivileged "nobody" with a home of its
// own; otherwise the test's user, to whom a folder without write permission is as closed.
struct OrdinaryUser {
    TempDir home;
    uid_t uid = getuid();
    gid_t gid = getgid();

    OrdinaryUser() {
        if (geteuid() != 0) return;
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) return;
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
        if (chown(home.path().c_str(), uid, gid) != 0) uid = 0;
    }
    bool ok() const { return uid != 0; }

    // XDG_CONFIG_HOME and XAUTHORITY go: the first would move the settings, the second is the
    // test's, which the user may not read (the display lets every local client in).
    std::vector<std::string> Command(const std::string& program) const {
        std::vector<std::string> command{"/usr/bin/env", "-u", "XDG_CONFIG_HOME", "-u", "XAUTHORITY"};
        if (geteuid() == 0)
            command.insert(command.end(), {"setpriv", "--reuid=" + std::to_string(uid),
                                           "--regid=" + std::to_string(gid), "--clear-groups"});
        command.push_back(program);
        return command;
    }
    std::vector<std::string> Environment() const { return {"HOME=" + home.path()}; }
};

void CloseAndExpectCleanEnd(DesktopRun& run, const std::string& main) {
    run.CloseWindow(main);
    int status = -1;
    ASSERT_TRUE(run.WaitForExit(10000, status)) << "the program did not end after closing";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << run.Output();
}

}  // namespace

TEST(InstalledPackage, AnOrdinaryUserLogsInKeepsTheSettingsAndABrowserLogsInWithAnEncodedPassword) {
    UnpackedPackage package;
    ASSERT_TRUE(PathExists(package.program)) << package.log;
    OrdinaryUser user;
    ASSERT_TRUE(user.ok()) << "no ordinary user to run the program as";
    std::string programFolder = package.root + "/usr/bin";
    // What an install leaves: root's folder, closed to others (and, for the test's own user when
    // not root, closed by its mode).
    chmod(programFolder.c_str(), 0555);
    struct stat folderStatus {};
    ASSERT_EQ(stat(programFolder.c_str(), &folderStatus), 0);
    ASSERT_EQ(folderStatus.st_mode & 0222, 0u);

    std::string settingsFolder = user.home.path() + "/.config/lumora";
    std::string settingsFile = settingsFolder + "/settings.ini";
    int port = FindFreePort();
    DesktopRun run("");
    ASSERT_TRUE(run.DisplayReady());

    run.StartCommand(user.Command(package.program), user.Environment());
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
    EXPECT_TRUE(run.WindowGone(dialog));

    std::string settings = ReadFileText(settingsFile);
    EXPECT_NE(settings.find("username = cam\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("password = " + Sha1Hex(std::string("Secret!1")) + "\n"), std::string::npos)
        << settings;
    EXPECT_NE(settings.find("port = " + std::to_string(port) + "\n"), std::string::npos) << settings;
    // Checked without stopping, so that the program still gets closed and cleans up after itself.
    struct stat fileStatus {};
    EXPECT_EQ(stat(settingsFolder.c_str(), &folderStatus), 0) << "no " << settingsFolder;
    EXPECT_EQ(folderStatus.st_mode & 07777, 0700u);
    EXPECT_EQ(stat(settingsFile.c_str(), &fileStatus), 0);
    EXPECT_EQ(fileStatus.st_uid, user.uid) << "the settings are the user's own";
    EXPECT_FALSE(PathExists(programFolder + "/settings.ini"));
    CloseAndExpectCleanEnd(run, main);

    run.StartCommand(user.Command(package.program), user.Environment());
    main = run.WaitForWindow(title, mainWidth, mainHeight);
    if (main.empty()) {
        dialog = run.WaitForWindow(title, dialogWidth, dialogHeight, 1000);
        if (!dialog.empty()) CloseAndExpectCleanEnd(run, dialog);
        FAIL() << "the second start asked for the login again instead of showing the main window";
    }
    EXPECT_TRUE(run.WaitForWindow(title, dialogWidth, dialogHeight, 500).empty());
    run.Click(main, startStopX, startStopY);
    ASSERT_TRUE(WaitUntil([&] { return PortAccepts(port); }, 5000)) << run.Output();

    EXPECT_NE(Fetch("127.0.0.2", port, "").find("name=\"password\""), std::string::npos);
    EXPECT_EQ(Fetch("127.0.0.2", port, "login.html?username=cam&password=Secret%212&Login=Login")
                  .find("webcam.jpg"),
              std::string::npos)
        << "a wrong password is refused";
    std::string viewer = Fetch("127.0.0.2", port, "login.html?username=cam&password=Secret%211&Login=Login");
    EXPECT_NE(viewer.find("webcam.jpg"), std::string::npos) << viewer;
    std::string picture;
    EXPECT_TRUE(WaitUntil(
        [&] {
            picture = Fetch("127.0.0.2", port, "webcam.jpg?1");
            return picture.find("Content-Type: image/jpeg") != std::string::npos &&
                   BodyOf(picture).rfind("\xFF\xD8", 0) == 0;
        },
        5000))
        << picture.substr(0, 200);
    CloseAndExpectCleanEnd(run, main);
}
