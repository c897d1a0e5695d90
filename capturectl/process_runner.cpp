// The process runner: starting children with optional pipes, and the registry that maps handle
// numbers to shared records, so that one thread may close a handle while another still checks
// or kills through it.
#include "capturectl/process_runner.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <vector>

#include "capturectl/child_watcher.h"
#include "capturectl/command_line.h"
#include "capturectl/process_record.h"

namespace {

// Where closing descriptors one by one stops when the system cannot close a whole range.
constexpr int fdCloseLimit = 65536;

std::mutex registryLock;
std::map<int32_t, std::shared_ptr<ProcessRecord>> registry;
int32_t nextHandle = 1;

int32_t RegisterRecord(const std::shared_ptr<ProcessRecord>& record) {
    std::lock_guard<std::mutex> guard(registryLock);
    int32_t handle;
    do {
        handle = nextHandle;
        nextHandle = nextHandle == INT32_MAX ? 1 : nextHandle + 1;
    } while (registry.count(handle));
    registry[handle] = record;
    return handle;
}

std::shared_ptr<ProcessRecord> FindRecord(int32_t handle) {
    std::lock_guard<std::mutex> guard(registryLock);
    auto found = registry.find(handle);
    return found == registry.end() ? nullptr : found->second;
}

void ForgetRecord(int32_t handle) {
    std::shared_ptr<ProcessRecord> record;
    std::lock_guard<std::mutex> guard(registryLock);
    auto found = registry.find(handle);
    if (found == registry.end()) return;
    record = std::move(found->second);
    registry.erase(found);
}

// Both ends of a pipe; the ends not handed on are closed when it goes.
struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        CloseWriteEnd();
        if (readEnd >= 0) close(readEnd);
    }
    // Close-on-exec, so that no other child started meanwhile keeps an end open.
    bool Open() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return false;
        readEnd = ends[0];
        writeEnd = ends[1];
        return fcntl(readEnd, F_SETFL, fcntl(readEnd, F_GETFL) | O_NONBLOCK) == 0;
    }
    void CloseWriteEnd() {
        if (writeEnd >= 0) close(writeEnd);
        writeEnd = -1;
    }
    int TakeReadEnd() {
        int fd = readEnd;
        readEnd = -1;
        return fd;
    }
};

// The child changes to its directory before it executes the file: a path relative to ours would
// then name another file, or none.
std::string AbsolutePath(const std::string& file) {
    if (file.empty() || file[0] == '/') return file;
    std::vector<char> directory(4096);
    while (!getcwd(directory.data(), directory.size())) {
        if (errno != ERANGE) return file;
        directory.resize(directory.size() * 2);
    }
    return std::string(directory.data()) + "/" + file;
}

// Between fork and exec only async-signal-safe calls: everything is prepared beforehand.
pid_t StartChild(const std::string& file, const std::vector<std::string>& words,
                 const std::string& directory, int outputFd, int errorFd, bool endWithProgram,
                 bool ownGroup) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const char* directoryName = directory.empty() ? nullptr : directory.c_str();
    sigset_t noSignals;
    sigemptyset(&noSignals);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    rlimit files{};
    // Asked before the fork: after it the child makes only async-signal-safe calls.
    // cppcheck-suppress variableScope
    int highestFd = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < fdCloseLimit
                        ? int(files.rlim_cur) : fdCloseLimit;

    const pid_t parent = getpid();

    pid_t pid = fork();
    // Both sides set the group, so that it exists whichever runs first: a kill of the group may
    // come before the child has run at all.
    if (pid > 0 && ownGroup) setpgid(pid, pid);
    if (pid != 0) return pid;
    if (ownGroup && setpgid(0, 0) != 0) _exit(1);
    // A parent gone before the request took effect would never send the signal.
    if (endWithProgram && (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)) _exit(1);
    // The program's own choices (SIGPIPE ignored, a thread's blocked signals) would otherwise
    // pass through exec to the child.
    sigaction(SIGPIPE, &defaultAction, nullptr);
    sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    if (outputFd >= 0 && dup2(outputFd, STDOUT_FILENO) < 0) _exit(1);
    if (errorFd >= 0 && dup2(errorFd, STDERR_FILENO) < 0) _exit(1);
    // Only standard input, output and error pass on: a listening socket or the display
    // connection inherited by a long-running helper would outlive their owner's closing them.
    if (close_range(3, ~0U, 0) != 0)
        for (int fd = 3; fd < highestFd; ++fd) close(fd);
    // Running in another directory than asked for would put its files in the wrong place.
    if (directoryName && chdir(directoryName) != 0) _exit(1);
    execv(file.c_str(), argv.data());
    _exit(1);
}

}  // namespace

int32_t RunProcess(const std::string& program, const std::string& arguments,
                   const std::string& directory, int options) {
    return RunProgram(program, SplitArguments(arguments), directory, options);
}

int32_t RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory, int options) {
    std::string file = AbsolutePath(FindProgram(program));
    if (file.empty()) return 0;
    std::vector<std::string> words = arguments;
    words.insert(words.begin(), program);

    bool keep = options & processKeepHandle;
    Pipe output, error;
    if (keep && (options & processConnectOutput) && !output.Open()) return 0;
    if (keep && (options & processConnectError) && !error.Open()) return 0;
    pid_t pid = StartChild(file, words, directory, output.writeEnd, error.writeEnd,
                           options & processEndWithProgram, options & processOwnGroup);
    output.CloseWriteEnd();
    error.CloseWriteEnd();
    if (pid < 0) return 0;

    auto record = std::make_shared<ProcessRecord>();
    record->pid = pid;
    record->ownGroup = options & processOwnGroup;
    record->outputFd = output.TakeReadEnd();
    record->errorFd = error.TakeReadEnd();
    int32_t handle = 1;
    if (keep) {
        handle = RegisterRecord(record);
        record->fatalSlot = ClaimFatalSlot(handle, pid, record->ownGroup);
    }
    if (!StartWatcher(record)) {
        // Nobody would reap it: take it back rather than leave a zombie behind.
        kill(record->ownGroup ? -pid : pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ReleaseFatalSlot(record->fatalSlot, pid);
        if (keep) ForgetRecord(handle);
        return 0;
    }
    return handle;
}

bool ProcessRunning(int32_t handle) {
    std::shared_ptr<ProcessRecord> record = FindRecord(handle);
    if (!record) return false;
    std::lock_guard<std::mutex> guard(record->lock);
    return !record->gone;
}

std::string ReadProcessErrorLine(int32_t handle) {
    std::shared_ptr<ProcessRecord> record = FindRecord(handle);
    if (!record) return "";
    std::lock_guard<std::mutex> guard(record->lock);
    record->DrainPipes();
    size_t end = record->errorText.find('\n');
    if (end == std::string::npos) return "";
    std::string line = record->errorText.substr(0, end);
    record->errorText.erase(0, end + 1);
    return line;
}

void CloseProcess(int32_t handle) {
    std::shared_ptr<ProcessRecord> record = FindRecord(handle);
    if (!record) return;
    ForgetRecord(handle);
    std::lock_guard<std::mutex> guard(record->lock);
    record->ClosePipes();
}

void KillProcess(int32_t handle) {
    std::shared_ptr<ProcessRecord> record = FindRecord(handle);
    if (!record) return;
    std::lock_guard<std::mutex> guard(record->lock);
    if (!record->gone) kill(record->ownGroup ? -record->pid : record->pid, SIGKILL);
}
