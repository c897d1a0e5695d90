// A private X session for black-box tests: Xvfb, programs as a user starts them, xdotool.
#include "tests/support/session.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

// Forks and executes the command with the environment changed as given; the child's output goes
// to the file (or is dropped when empty) and its standard input is /dev/null.
pid_t Spawn(const std::vector<std::string>& command, const std::vector<std::string>& environment,
            const std::string& directory, const std::string& outputPath, int extraFd = -1) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        bool replaced = false;
        for (const std::string& change : environment)
            if (text.compare(0, change.find('=') + 1, change, 0, change.find('=') + 1) == 0) replaced = true;
        if (!replaced) entries.push_back(text);
    }
    for (const std::string& change : environment) entries.push_back(change);
    std::vector<char*> envp, argv;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments = command;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int output = outputPath.empty() ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                                    : open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(input, 0);
        dup2(output, 1);
        dup2(output, 2);
        if (extraFd >= 0) fcntl(extraFd, F_SETFD, 0);
        if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(output);
    close(input);
    return pid;
}

bool WaitForPid(pid_t pid, int limitMilliseconds, int& status) {
    pid_t done = 0;
    auto ended = [&] {
        done = waitpid(pid, &status, WNOHANG);
        return done == pid || (done < 0 && errno != EINTR);
    };
    return WaitUntil(ended, limitMilliseconds) && done == pid;
}

void KillAndReap(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    int status;
    WaitForPid(pid, 10000, status);
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

PrivateDisplay::PrivateDisplay(bool withTray) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    // -noreset: when its last client leaves, Xvfb would otherwise start over and refuse the
    // clients that connect meanwhile ("cannot open the display" right after a probe with xdotool).
    server_ = Spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", "-noreset"},
                    {}, "", "", ready[1]);
    close(ready[1]);
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    char c;
    pollfd wait{ready[0], POLLIN, 0};
    while (poll(&wait, 1, 20000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (server_ <= 0 || number.empty()) return;
    name_ = ":" + number;
    ok_ = !withTray || StartTray();
}

PrivateDisplay::~PrivateDisplay() {
    tray_.reset();
    if (server_ > 0) kill(server_, SIGCONT);
    KillAndReap(server_);
}

void PrivateDisplay::Freeze() { kill(server_, SIGSTOP); }
void PrivateDisplay::Thaw() { kill(server_, SIGCONT); }

void PrivateDisplay::StopTray() { tray_.reset(); }

bool PrivateDisplay::StartTray() {
    StopTray();
    tray_ = std::make_unique<TrayManager>(name_);
    return tray_->Ready();
}

void PrivateDisplay::Stop() {
    StopTray();
    KillAndReap(server_);
    server_ = -1;
}

TrayManager::TrayManager(const std::string& display)
    : display_(display),
      pid_(Spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                  "24", "--SetDockType", "false"},
                 {"DISPLAY=" + display}, "", "")) {}

TrayManager::~TrayManager() { KillAndReap(pid_); }

bool TrayManager::Ready(int limitMilliseconds) const {
    return pid_ > 0 && WaitUntil([&] { return TrayManagerPresent(display_); }, limitMilliseconds);
}

bool TrayManagerPresent(const std::string& display) {
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection) return false;
    Atom selection = XInternAtom(connection, "_NET_SYSTEM_TRAY_S0", False);
    bool present = XGetSelectionOwner(connection, selection) != None;
    XCloseDisplay(connection);
    return present;
}

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment, const std::string& directory) {
    outputPath_ = directory + "/.program-output-" + std::to_string(getpid());
    std::vector<std::string> command{path};
    command.insert(command.end(), arguments.begin(), arguments.end());
    pid_ = Spawn(command, environment, directory, outputPath_);
}

RunningProgram::~RunningProgram() {
    if (!reaped_) KillAndReap(pid_);
    unlink(outputPath_.c_str());
}

bool RunningProgram::WaitForExit(int limitMilliseconds, int& status) {
    if (reaped_ || pid_ <= 0) return false;
    reaped_ = WaitForPid(pid_, limitMilliseconds, status);
    return reaped_;
}

std::string RunningProgram::Output() const { return ReadWhole(outputPath_); }

std::string RunCommand(const std::vector<std::string>& command, const std::string& display,
                       int limitMilliseconds, int* status) {
    TempDir scratch;
    std::string outputPath = scratch.File("output");
    pid_t pid = Spawn(command, {"DISPLAY=" + display}, "", outputPath);
    int waitStatus = -1;
    if (!WaitForPid(pid, limitMilliseconds, waitStatus)) {
        KillAndReap(pid);
        waitStatus = -1;
    }
    if (status) *status = waitStatus;
    return ReadWhole(outputPath);
}

std::vector<std::string> FindWindows(const std::string& display, const std::string& namePattern,
                                     bool onlyVisible) {
    std::vector<std::string> command{"xdotool", "search"};
    if (onlyVisible) command.push_back("--onlyvisible");
    command.insert(command.end(), {"--name", namePattern});
    std::istringstream lines(RunCommand(command, display));
    std::vector<std::string> windows;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) windows.push_back(line);
    return windows;
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadWhole("/proc/" + name + "/stat");
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state;
        pid_t ppid = 0;
        fields >> state >> ppid;
        if (ppid == parent) children.push_back(pid_t(std::stol(name)));
    }
    return children;
}

std::vector<std::string> CommandLineOf(pid_t pid) {
    std::string text = ReadWhole("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t zero; (zero = text.find('\0', start)) != std::string::npos; start = zero + 1)
        parts.push_back(text.substr(start, zero - start));
    return parts;
}

char ProcessStateLetter(pid_t pid) {
    std::string stat = ReadWhole("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

bool ProcessAlive(pid_t pid) {
    char state = ProcessStateLetter(pid);
    return state != 0 && state != 'Z' && state != 'X';
}

pid_t ReadPidFile(const std::string& path) {
    if (!WaitUntil([&] { return ReadFileText(path).find('\n') != std::string::npos; })) return 0;
    return pid_t(std::atoi(ReadFileText(path).c_str()));
}

OrphanCatcher::OrphanCatcher() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

OrphanCatcher::~OrphanCatcher() { prctl(PR_SET_CHILD_SUBREAPER, 0); }

bool ReapKilled(pid_t pid, int limitMilliseconds) {
    if (pid <= 0) return false;
    int status = 0;
    if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limitMilliseconds)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return false;
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

bool KillProcessTree(pid_t root, int limitMilliseconds) {
    std::vector<pid_t> tree{root};
    kill(root, SIGSTOP);
    // A process stops only on its way out of the kernel, so a fork under way still completes:
    // the walk is repeated until a pass finds nobody new.
    for (int pass = 0, grown = 1; grown && pass < 20; ++pass) {
        grown = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (size_t i = 0; i < tree.size(); ++i)
            for (pid_t child : ChildrenOf(tree[i]))
                if (std::find(tree.begin(), tree.end(), child) == tree.end()) {
                    kill(child, SIGSTOP);
                    tree.push_back(child);
                    grown = 1;
                }
    }
    for (pid_t pid : tree) kill(pid, SIGKILL);
    return WaitUntil(
        [&] {
            bool gone = true;
            for (pid_t pid : tree) {
                waitpid(pid, nullptr, WNOHANG);
                if (PathExists("/proc/" + std::to_string(pid))) gone = false;
            }
            return gone;
        },
        limitMilliseconds);
}

std::vector<pid_t> ThreadsNamed(pid_t pid, const std::string& name) {
    std::vector<pid_t> threads;
    std::error_code ignored;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& entry : std::filesystem::directory_iterator(tasks, ignored))
        if (ReadWhole(entry.path().string() + "/comm") == name + "\n")
            threads.push_back(pid_t(std::stol(entry.path().filename().string())));
    return threads;
}

bool SignalThread(pid_t pid, pid_t thread, int signal) {
    return syscall(SYS_tgkill, pid, thread, signal) == 0;
}

void CloseLikeWindowManager(const std::string& display, const std::string& window) {
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(std::stoul(window));
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(connection);
}

std::string PrimarySelectionText(const std::string& display) {
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection) return {};
    Window requestor = XCreateSimpleWindow(connection, DefaultRootWindow(connection), 0, 0, 1, 1, 0, 0, 0);
    Atom property = XInternAtom(connection, "LUMORA_TEST_SELECTION", False);
    XConvertSelection(connection, XA_PRIMARY, XInternAtom(connection, "UTF8_STRING", False), property,
                      requestor, CurrentTime);
    XFlush(connection);
    std::string text;
    WaitUntil(
        [&] {
            while (XPending(connection)) {
                XEvent event;
                XNextEvent(connection, &event);
                if (event.type != SelectionNotify || event.xselection.requestor != requestor) continue;
                Atom type;
                int format;
                unsigned long count, left;
                unsigned char* data = nullptr;
                if (event.xselection.property != None &&
                    XGetWindowProperty(connection, requestor, property, 0, 4096, True, AnyPropertyType,
                                       &type, &format, &count, &left, &data) == Success && data) {
                    text.assign(reinterpret_cast<char*>(data), count);
                    XFree(data);
                }
                return true;
            }
            return false;
        },
        3000);
    XDestroyWindow(connection, requestor);
    XCloseDisplay(connection);
    return text;
}

bool WindowInsideTray(const std::string& display, const std::string& window) {
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection) return false;
    bool inside = false;
    Window current = Window(std::stoul(window));
    for (int depth = 0; depth < 16 && !inside; ++depth) {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(connection, current, &root, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (parent == root || parent == 0) break;
        XClassHint hint{};
        if (XGetClassHint(connection, parent, &hint)) {
            inside = hint.res_class && std::strcmp(hint.res_class, "trayer") == 0;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        current = parent;
    }
    XCloseDisplay(connection);
    return inside;
}

std::string InstallStandInProgram(const std::string& folder,
                                  const std::vector<std::pair<std::string, std::string>>& settings) {
    std::string program = folder + "/lumora";
    std::error_code ignored;
    std::filesystem::copy_file(LUMORA_STANDIN_PATH, program,
                               std::filesystem::copy_options::overwrite_existing, ignored);
    std::string text;
    for (const auto& [key, value] : settings) text += key + " = " + value + "\n";
    WriteFileText(folder + "/settings.ini", text);
    return program;
}

pid_t FindHelperOf(pid_t program) {
    for (pid_t child : ChildrenOf(program))
        for (const std::string& argument : CommandLineOf(child))
            if (argument.size() > 8 && argument.compare(argument.size() - 8, 8, "/capture") == 0)
                return child;
    return -1;
}

std::string WorkDirOfHelper(pid_t helper) {
    for (const std::string& argument : CommandLineOf(helper))
        if (argument.size() > 8 && argument.compare(argument.size() - 8, 8, "/capture") == 0)
            return argument.substr(0, argument.size() - 7);
    return {};
}
