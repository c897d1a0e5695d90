// The user's side of the black-box tests: process, display, xdotool and ImageMagick.
#include "tests/support/desktop_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "core/platform.h"

namespace {

bool DisplayAnswers(const std::string& name) {
    int status = -1;
    RunCommand({"xdotool", "getdisplaygeometry"}, name, 5000, &status);
    return status == 0;
}

}  // namespace

DesktopRun::DesktopRun(const std::string& settings, const std::string& programPath) {
    // Now and then a fresh Xvfb reports its number and yet takes no client; another one is taken.
    for (int attempt = 0; attempt < 3 && !display; ++attempt) {
        display = std::make_unique<PrivateDisplay>();
        if (!display->ok() || !DisplayAnswers(display->name())) display.reset();
    }
    WriteFileText(folder.File("lumora"), ReadFileText(programPath.empty() ? LUMORA_STANDIN_PATH : programPath));
    chmod(folder.File("lumora").c_str(), 0755);
    if (!settings.empty()) WriteFileText(SettingsFile(), settings);
}

DesktopRun::~DesktopRun() {
    if (!program || !ProcessAlive(program->pid())) return;
    // A run the test left running is asked to end as a session's end asks, and removes its
    // working directory itself, even one whose helper has gone and so cannot be found from here.
    std::string workDir = WorkDir();
    pid_t helper = HelperPid();
    int status = 0;
    kill(program->pid(), SIGTERM);
    if (program->WaitForExit(5000, status)) return;
    // Killed, it cannot remove it any more.
    program.reset();
    if (helper > 0) kill(helper, SIGKILL);
    if (!workDir.empty()) std::filesystem::remove_all(workDir);
}

void DesktopRun::Start(const std::vector<std::string>& environment) {
    StartCommand({folder.File("lumora")}, environment);
}

void DesktopRun::StartCommand(const std::vector<std::string>& command,
                              const std::vector<std::string>& environment) {
    std::vector<std::string> entries{"DISPLAY=" + display->name()};
    entries.insert(entries.end(), environment.begin(), environment.end());
    // The runs share one output file name: the last run's goes first, or it would take the new one.
    program.reset();
    program = std::make_unique<RunningProgram>(
        command.front(), std::vector<std::string>(command.begin() + 1, command.end()), entries,
        folder.path());
}

bool WindowSize(const std::string& display, const std::string& window, int& width, int& height) {
    std::string text = RunCommand({"xdotool", "getwindowgeometry", "--shell", window}, display);
    width = height = -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
        if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
    }
    return width >= 0 && height >= 0;
}

std::string DesktopRun::WaitForWindow(const std::string& title, int width, int height,
                                      int limitMilliseconds) {
    std::string found;
    WaitUntil(
        [&] {
            for (const std::string& window : FindWindows(display->name(), "^" + title + "$", true)) {
                int w, h;
                if (WindowSize(display->name(), window, w, h) && w == width && h == height) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        limitMilliseconds);
    return found;
}

std::string DesktopRun::WaitForWindowNamed(const std::string& title, int limitMilliseconds) {
    std::string found;
    WaitUntil(
        [&] {
            std::vector<std::string> windows = FindWindows(display->name(), "^" + title + "$", true);
            if (!windows.empty()) found = windows.front();
            return !found.empty();
        },
        limitMilliseconds);
    return found;
}

bool DesktopRun::WindowGone(const std::string& window, int limitMilliseconds) {
    return WaitUntil(
        [&] {
            for (const std::string& shown : FindWindows(display->name(), ".*", true))
                if (shown == window) return false;
            return true;
        },
        limitMilliseconds);
}

void DesktopRun::Click(const std::string& window, int x, int y) {
    RunCommand({"xdotool", "mousemove", "--window", window, std::to_string(x), std::to_string(y),
                "click", "1"},
               display->name());
}

std::string DesktopRun::FieldText(const std::string& window, int x, int y) {
    // Three clicks select the whole line of an entry, read-only ones included. Raised first: a
    // window opened since (a browser) may cover it, and no window manager brings it back.
    RunCommand({"xdotool", "windowraise", window, "mousemove", "--window", window, std::to_string(x), std::to_string(y),
                "click", "--repeat", "3", "--delay", "60", "1"},
               display->name());
    return PrimarySelectionText(display->name());
}

void DesktopRun::Type(const std::string& window, const std::string& text) {
    RunCommand({"xdotool", "type", "--window", window, "--delay", "20", text}, display->name());
}

void DesktopRun::Key(const std::string& window, const std::string& key) {
    RunCommand({"xdotool", "windowfocus", "--sync", window, "key", key}, display->name());
}

void DesktopRun::CloseWindow(const std::string& window) {
    CloseLikeWindowManager(display->name(), window);
}

bool DesktopRun::Screenshot(const std::string& window, const std::string& name) {
    std::filesystem::create_directories(SCREENSHOT_FOLDER);
    std::string path = std::string(SCREENSHOT_FOLDER) + "/" + name + ".png";
    int status = -1;
    RunCommand({"import", "-window", window, path}, display->name(), 20000, &status);
    return status == 0 && PathExists(path);
}

bool DesktopRun::WaitForExit(int limitMilliseconds, int& status) {
    return program && program->WaitForExit(limitMilliseconds, status);
}

pid_t DesktopRun::HelperPid() const {
    if (!program) return -1;
    for (pid_t child : ChildrenOf(program->pid())) {
        std::vector<std::string> command = CommandLineOf(child);
        for (const std::string& part : command)
            if (part.size() >= 8 && part.compare(part.size() - 8, 8, "/capture") == 0) return child;
    }
    return -1;
}

std::string DesktopRun::WorkDir() const {
    pid_t helper = HelperPid();
    if (helper <= 0) return std::string();
    std::error_code error;
    std::filesystem::path cwd =
        std::filesystem::read_symlink("/proc/" + std::to_string(helper) + "/cwd", error);
    return error ? std::string() : cwd.string();
}

bool ProcessRunsIn(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code unreadable;
        std::string cwd = std::filesystem::read_symlink(entry.path() / "cwd", unreadable).string();
        if (!unreadable && (cwd == folder || cwd == folder + " (deleted)")) return true;
    }
    return false;
}

// The echo port is fixed in the test build: the tests that serve on it hold ctest's echo_port lock,
// and the listener reuses the address, so a connection of an earlier test in TIME_WAIT is no bar.
std::unique_ptr<LoopbackHttpServer> OpenEchoService() {
    return std::make_unique<LoopbackHttpServer>("127.0.0.1", LUMORA_TEST_SERVICE_PORT);
}

void ServeAddress(LoopbackHttpServer& echo, const std::string& address) {
    ScriptedReply reply;
    // Held open until the program closes first, so that TIME_WAIT stays on its side, not here.
    reply.holdMilliseconds = 5000;
    reply.pieces = {HttpAnswer("HTTP/1.1 200 OK",
                               {"Content-Type: text/plain",
                                "Content-Length: " + std::to_string(address.size() + 2)},
                               address + "\r\n")};
    echo.SetReply(reply);
}

void CloseAndExpectCleanEnd(DesktopRun& run, const std::string& main, pid_t helper,
                            const std::string& workDir) {
    run.CloseWindow(main);
    int status = -1;
    ASSERT_TRUE(run.WaitForExit(10000, status)) << "the program did not end after closing";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    if (helper > 0) {
        EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(helper); }, 3000));
    }
    if (!workDir.empty()) {
        EXPECT_FALSE(std::filesystem::exists(workDir)) << workDir;
        // The stand-in camera's own short-lived children end within their half-second step.
        EXPECT_TRUE(WaitUntil([&] { return !ProcessRunsIn(workDir); }, 3000));
    }
}
