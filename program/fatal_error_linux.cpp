// The fatal-error handler on Linux. Everything after the fault is async-signal-safe: the paths are
// fixed when the handler is installed, the message box runs in a fresh process of this program
// (its own toolkit, no lock of ours), and every wait for that process has a time limit and ends
// early when the program is asked to end from outside.
#include "program/fatal_error.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capturectl/process_runner.h"
#include "core/constants.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "program/workdir_removal.h"

extern char** environ;

namespace {

// Every signal that reports a fault of the program itself, a limit it ran into included.
constexpr int fatalSignals[] = {SIGFPE, SIGSEGV, SIGBUS,  SIGABRT, SIGTRAP,
                                SIGSYS, SIGILL,  SIGXCPU, SIGXFSZ};

// Starts the command line of the message process. The control characters keep it from ever being
// typed or pasted by accident; the program takes no options of its own.
constexpr const char* messageMarker = "\x1b\x1f" "lumora-fatal-message" "\x1f\x1b";
constexpr int messageArguments = 5;

// The box must be on screen this soon, or the handler goes on without it (no display, a display
// that does not answer).
constexpr int boxAppearLimit = 5000;
// Once shown the box waits for the user, but not forever: a frozen display must not keep the
// helper running and the working directory in place.
constexpr int boxAnswerLimit = 5 * 60 * 1000;

// Fixed at installation, so that the fault path needs no allocation.
std::string helperPath;
std::string jpegPath;
std::string workDirPath;
int endRequests = -1;

// A fault on the main thread may come from a stack that has run full.
alignas(16) char alternateStack[64 * 1024];

// The thread running the handler; 0 until the first fault, endClaimed once the ordinary end has
// passed the point where it could still give way to a fault.
std::atomic<pid_t> handlerThread{0};
constexpr pid_t endClaimed = -1;
static_assert(std::atomic<pid_t>::is_always_lock_free, "the fault path must not take locks");

int64_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits until the descriptor is readable or closed at the other end; false when time ran out or
// an end was asked for from outside.
bool WaitReadableWithin(int fd, int limitMilliseconds) {
    int64_t deadline = MonotonicMilliseconds() + limitMilliseconds;
    for (;;) {
        int64_t left = deadline - MonotonicMilliseconds();
        if (left <= 0) return false;
        pollfd entries[2] = {{fd, POLLIN, 0}, {endRequests, POLLIN, 0}};
        int ready = poll(entries, 2, int(left));
        if (ready > 0) return entries[1].revents == 0;
        if (ready < 0 && errno != EINTR) return false;
    }
}

void FormatDecimal(int value, char* text) {
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 && count < 11);
    for (int i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
    text[count] = '\0';
}

// Runs in the new process before it becomes the program again: raw system calls only, since the
// copy of this process may hold locks of threads that do not exist in it.
[[noreturn]] void BecomeMessageProcess(pid_t program, int shownPipe, char* const* arguments) {
    // Should the program be killed meanwhile, the box goes with it instead of staying on screen.
    syscall(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    if (syscall(SYS_getppid) != program) syscall(SYS_exit_group, 127);
    syscall(SYS_fcntl, shownPipe, F_SETFD, 0);
    uint64_t noSignalsBlocked = 0;
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, &noSignalsBlocked, nullptr, sizeof noSignalsBlocked);
    syscall(SYS_execve, "/proc/self/exe", arguments, environ);
    syscall(SYS_exit_group, 127);
    __builtin_unreachable();
}

// Shows the box through a new process of the program and waits for it within the limits; a
// process that overruns them, or is still there when an end is asked for, is killed. Either way
// it is gone before the program ends.
void ShowMessageWithinLimits() {
    int shown[2];
    if (pipe2(shown, O_CLOEXEC) != 0) return;
    char pipeText[12];
    FormatDecimal(shown[1], pipeText);
    const ProgramState& s = programState;
    // Built before the clone: the child may only make async-signal-safe calls.
    // cppcheck-suppress variableScope
    const char* arguments[] = {"lumora", messageMarker, pipeText, s.textErrorTitle.c_str(),
                               s.textUnknownError.c_str(), nullptr};
    pid_t program = getpid();
    // A plain copy of the process without the library's fork handlers, which take locks.
    long child = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (child == 0) BecomeMessageProcess(program, shown[1], const_cast<char* const*>(arguments));
    close(shown[1]);
    if (child > 0) {
        char byte;
        // No byte means the process ended without a box: nothing left to wait for.
        if (WaitReadableWithin(shown[0], boxAppearLimit) && read(shown[0], &byte, 1) == 1)
            WaitReadableWithin(shown[0], boxAnswerLimit);
        // Answered, overrun or cut short: the process goes now and is reaped, so that nothing
        // of it outlives the program.
        kill(pid_t(child), SIGKILL);
        while (waitpid(pid_t(child), nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close(shown[0]);
}

void CleanUpAfterFault() {
    int32_t helper = programState.helperProcess.load(std::memory_order_acquire);
    if (helper > 0) KillProcessForFatalError(helper);
    if (workDirPath.empty()) return;
    RemoveWorkDirFiles(jpegPath.c_str(), helperPath.c_str(), workDirPath.c_str());
}

pid_t CurrentThread() { return pid_t(syscall(SYS_gettid)); }

void OnFatalSignal(int signal, siginfo_t*, void*) {
    // The handler's own thread has the fatal signals blocked, so a real fault there ends the
    // process by the default action at once. Only a signal raised on purpose (abort) gets here: it is given
    // its default action, which ends the process when this returns.
    if (handlerThread.load() == CurrentThread()) {
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        sigaction(signal, &standard, nullptr);
        return;
    }
    OnFatalError();
}

}  // namespace

void InstallFatalErrorHandler() {
    const ProgramState& s = programState;
    if (!s.workDir.empty()) {
        helperPath = s.workDir + helperFileName;
        jpegPath = s.jpegPath;
        workDirPath = StripTrailingSlash(s.workDir);
    }
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // While the handler runs none of the fatal signals can enter it again on its thread; a real
    // fault there ends the process by the default action.
    sigemptyset(&action.sa_mask);
    for (int fatal : fatalSignals) sigaddset(&action.sa_mask, fatal);
    for (int fatal : fatalSignals) sigaction(fatal, &action, nullptr);
}

void OnFatalError() {
    // Runs once. Another thread that faults meanwhile, even while the box is shown, waits here
    // for the first to clean up and end the process, rather than ending it without clean-up; so
    // does a fault after the ordinary end has claimed the exit, which is then a moment away.
    pid_t idle = 0;
    if (!handlerThread.compare_exchange_strong(idle, CurrentThread()))
        for (;;) pause();
    ShowMessageWithinLimits();
    CleanUpAfterFault();
    programState.exitCode = 1;
    // The kernel releases files, sockets, windows and threads; nothing here may wait for them.
    _exit(1);
}

void CutFatalMessageShortOn(int descriptor) { endRequests = descriptor; }

void YieldToFatalError() {
    if (handlerThread.load() != 0)
        for (;;) pause();
}

void ExitUnlessFaulted(int status) {
    pid_t idle = 0;
    if (handlerThread.compare_exchange_strong(idle, endClaimed)) std::_Exit(status);
    for (;;) pause();
}

bool ReadFatalMessageRequest(int argc, char** argv, FatalMessageRequest& request) {
    if (argc != messageArguments || std::strcmp(argv[1], messageMarker) != 0) return false;
    char* end = nullptr;
    long pipe = std::strtol(argv[2], &end, 10);
    struct stat info;
    if (*argv[2] == '\0' || *end != '\0' || pipe < 0 || pipe > INT32_MAX || fstat(int(pipe), &info) != 0 ||
        !S_ISFIFO(info.st_mode))
        return false;
    request.shownPipe = int(pipe);
    request.title = argv[3];
    request.text = argv[4];
    return true;
}
