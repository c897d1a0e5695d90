// What black-box tests need around a real X session: a private Xvfb (with a tray manager when
// asked), programs started as a user would with their exit status, xdotool, and a look at
// processes and threads through /proc.
#pragma once
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/free_port.h"
#include "tests/support/wait.h"

// trayer docked at the top right of the display as the tray manager; ended by its process id.
class TrayManager {
public:
    explicit TrayManager(const std::string& display);
    ~TrayManager();
    TrayManager(const TrayManager&) = delete;
    TrayManager& operator=(const TrayManager&) = delete;
    // Whether it owns the tray selection within the time.
    bool Ready(int limitMilliseconds = 10000) const;

private:
    std::string display_;
    pid_t pid_ = -1;
};

// An Xvfb of the test's own, optionally with a tray manager. Stopped (by process id) when the
// object goes.
class PrivateDisplay {
public:
    explicit PrivateDisplay(bool withTray = false);
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return ok_; }
    // ":N"
    const std::string& name() const { return name_; }
    // SIGSTOP / SIGCONT to the X server: a display that no longer answers.
    void Freeze();
    void Thaw();
    // Ends the X server now: the display goes away under its clients.
    void Stop();
    // Ends or starts the tray manager; StartTray is true once it owns the tray.
    void StopTray();
    bool StartTray();

private:
    bool ok_ = false;
    std::string name_;
    pid_t server_ = -1;
    std::unique_ptr<TrayManager> tray_;
};

// Whether a tray manager owns the system tray selection of screen 0 on the display.
bool TrayManagerPresent(const std::string& display);

// A program started with extra environment entries ("NAME=value", replacing those of the test)
// in a directory; its output goes to a file. Killed and reaped (by process id) if still running
// when the object goes.
class RunningProgram {
public:
    RunningProgram(const std::string& path, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment, const std::string& directory);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return pid_; }
    // Waits at most the time for the end; true when it ended, with the wait status.
    bool WaitForExit(int limitMilliseconds, int& status);
    // Standard and error output so far.
    std::string Output() const;

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string outputPath_;
};

// Runs a command to its end within the time limit (killed after it) with DISPLAY set; returns its
// standard output. `status` receives the wait status, or -1 when the command overran.
std::string RunCommand(const std::vector<std::string>& command, const std::string& display,
                       int limitMilliseconds = 10000, int* status = nullptr);

// Windows whose name matches the regular expression (xdotool search), visible ones only if asked.
std::vector<std::string> FindWindows(const std::string& display, const std::string& namePattern,
                                     bool onlyVisible = false);

// Processes whose parent is `parent`, and each one's command line split at its zero bytes.
std::vector<pid_t> ChildrenOf(pid_t parent);
std::vector<std::string> CommandLineOf(pid_t pid);
// The state letter of a process from /proc ('R', 'S', 'Z' ...), or 0 when it no longer exists.
char ProcessStateLetter(pid_t pid);
inline bool ProcessGone(pid_t pid) { return ProcessStateLetter(pid) == 0; }
// True while the process exists and has not ended (a zombie counts as ended).
bool ProcessAlive(pid_t pid);
// The process id that a program writes into a file, once a whole line is there; 0 when none
// came within the time.
pid_t ReadPidFile(const std::string& path);
// While it lives, processes that lose their parent come to this one to be reaped
// (PR_SET_CHILD_SUBREAPER) instead of lingering as zombies under a process 1 that reaps nobody.
class OrphanCatcher {
public:
    OrphanCatcher();
    ~OrphanCatcher();
    OrphanCatcher(const OrphanCatcher&) = delete;
    OrphanCatcher& operator=(const OrphanCatcher&) = delete;
};
// Reaps a child (a caught orphan too) once it has ended; true when SIGKILL ended it. One still
// running after the time is killed and reaped all the same, and the answer is false.
bool ReapKilled(pid_t pid, int limitMilliseconds = 10000);
// Ends the process and every process below it (held still first, so that none forks unseen) and
// waits until each is reaped; a descendant that lost its parent is reaped here when this process
// is their subreaper. False when one outlived the time.
bool KillProcessTree(pid_t root, int limitMilliseconds = 10000);
// Thread ids of the process whose thread name is `name` (the server thread names itself).
std::vector<pid_t> ThreadsNamed(pid_t pid, const std::string& name);
// Sends a signal to one thread of a process.
bool SignalThread(pid_t pid, pid_t thread, int signal);

// Sends the window the close request a window manager sends for its close button.
void CloseLikeWindowManager(const std::string& display, const std::string& window);
// The text of the display's PRIMARY selection (what was last selected), "" when nobody owns it.
std::string PrimarySelectionText(const std::string& display);
// Whether the window sits inside the tray manager's panel (docked).
bool WindowInsideTray(const std::string& display, const std::string& window);

// The whole program with the stand-in camera, copied into the folder with a settings.ini of the
// given entries beside it, as a user installs it; returns the program's path.
std::string InstallStandInProgram(const std::string& folder,
                                  const std::vector<std::pair<std::string, std::string>>& settings);
// The running helper of the program (its child started from .../capture), or -1.
pid_t FindHelperOf(pid_t program);
// The working directory the helper was started from, with a trailing "/".
std::string WorkDirOfHelper(pid_t helper);
