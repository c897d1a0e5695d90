// The built program as a user meets it: copied with a settings.ini into a folder of its own,
// started on a private display, worked with xdotool, its windows closed as a window manager
// closes them, photographed for the documentation.
#pragma once
#include <sys/types.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"
#include "tests/support/stored_settings.h"

class DesktopRun {
public:
    // An empty settings text means no settings.ini at all; an empty program path the program
    // with the stand-in camera inside.
    explicit DesktopRun(const std::string& settings, const std::string& programPath = "");
    ~DesktopRun();
    DesktopRun(const DesktopRun&) = delete;
    DesktopRun& operator=(const DesktopRun&) = delete;

    bool DisplayReady() const { return display != nullptr; }
    const std::string& DisplayName() const { return display->name(); }
    // Starts the program with extra environment entries ("NAME=value").
    void Start(const std::vector<std::string>& environment = {});
    // Starts another command line instead (an installed copy, another user's), in the same way.
    void StartCommand(const std::vector<std::string>& command,
                      const std::vector<std::string>& environment = {});
    pid_t Pid() const { return program ? program->pid() : -1; }
    std::string SettingsFile() const { return folder.File("settings.ini"); }
    std::string Output() const { return program ? program->Output() : std::string(); }

    // A visible window with that title and inner size, "" when none appears in time.
    std::string WaitForWindow(const std::string& title, int width, int height,
                              int limitMilliseconds = 10000);
    // A visible window with that title, of any size.
    std::string WaitForWindowNamed(const std::string& title, int limitMilliseconds = 10000);
    bool WindowGone(const std::string& window, int limitMilliseconds = 5000);
    // The text of the entry at that point of the window, as a user selects it all to copy it.
    std::string FieldText(const std::string& window, int x, int y);
    // A left click at a point inside the window.
    void Click(const std::string& window, int x, int y);
    void Type(const std::string& window, const std::string& text);
    // Gives the window the keyboard focus and presses the key there.
    void Key(const std::string& window, const std::string& key);
    // WM_DELETE_WINDOW, as the close button of a window manager sends it.
    void CloseWindow(const std::string& window);
    // Saves the window's picture as <screenshot folder>/<name>.png; false when that failed.
    bool Screenshot(const std::string& window, const std::string& name);
    bool WaitForExit(int limitMilliseconds, int& status);

    // The running frame grabber (the stand-in camera) and the working directory it runs in.
    pid_t HelperPid() const;
    std::string WorkDir() const;

private:
    std::unique_ptr<PrivateDisplay> display;
    TempDir folder;
    std::unique_ptr<RunningProgram> program;
};

// Whether any process still has its current directory in the folder (removed or not).
bool ProcessRunsIn(const std::string& folder);

// The window's inner size as xdotool reports it.
bool WindowSize(const std::string& display, const std::string& window, int& width, int& height);

// The address-echo service that the test build of the program asks, on its fixed port.
std::unique_ptr<LoopbackHttpServer> OpenEchoService();
// Makes the echo service answer every request with that address.
void ServeAddress(LoopbackHttpServer& echo, const std::string& address);

// Closes the main window and checks that the program ended with 0, its helper and working
// directory with it.
void CloseAndExpectCleanEnd(DesktopRun& run, const std::string& main, pid_t helper,
                            const std::string& workDir);
