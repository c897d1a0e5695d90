// A child that sets up what start-up would, installs the fatal-error handler and then faults.
#include "tests/fatal/faulting_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "capturectl/process_runner.h"
#include "core/constants.h"
#include "program/fatal_error.h"
#include "core/fault_stack.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"

namespace {

void TouchInaccessiblePage() {
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
}

// Never reached: the compiler cannot know that, so the recursion is kept as written.
volatile long endOfRecursion = -1;

// Each frame holds a buffer the compiler cannot drop, and the call is not the last thing done.
__attribute__((noinline)) long RecurseWithoutEnd(long depth) {
    volatile char frame[512];
    frame[0] = char(depth);
    if (depth == endOfRecursion) return 0;
    return RecurseWithoutEnd(depth + 1) + frame[0];
}

[[noreturn]] void RunChild(const FaultPlan& plan, const std::string& workDir, int go) {
    if (plan.display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", plan.display.c_str(), 1);
    ApplyLanguage(plan.language);
    ProgramState& s = programState;
    s.workDir = workDir;
    s.jpegPath = workDir + jpegFileName;
    s.helperProcess.store(RunProcess("sleep", "120", "", processKeepHandle));
    InstallFatalErrorHandler();
    std::vector<std::thread> threads;
    for (size_t i = 0; i < plan.signals.size(); ++i) {
        int signal = plan.signals[i];
        bool invalidAccess = plan.invalidAccess && i == 0;
        bool overflow = plan.stackOverflow && i == 0;
        threads.emplace_back([=] {
            ThreadFaultStack faultStack;
            char byte;
            if (read(go, &byte, 1) != 1) return;
            if (overflow)
                RecurseWithoutEnd(0);
            else if (invalidAccess)
                TouchInaccessiblePage();
            else
                pthread_kill(pthread_self(), signal);
        });
    }
    for (std::thread& thread : threads) thread.join();
    // Reached only when the handler let the faults pass.
    _exit(0);
}

}  // namespace

FaultingChild::FaultingChild(const FaultPlan& plan) {
    char pattern[] = "/tmp/lumora-fatal-XXXXXX";
    if (!mkdtemp(pattern)) return;
    root_ = pattern;
    workDir_ = root_ + "/lmr/";
    mkdir(workDir_.c_str(), 0700);
    for (const char* name : {helperFileName, jpegFileName, "ip.txt"}) WriteFileText(workDir_ + name, "x");
    if (plan.subdirectory) mkdir((workDir_ + "kept").c_str(), 0700);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(pipeEnds[1]);
        RunChild(plan, workDir_, pipeEnds[0]);
    }
    close(pipeEnds[0]);
    go_ = pipeEnds[1];
    if (pid_ < 0) return;
    WaitUntil(
        [&] {
            for (pid_t child : ChildrenOf(pid_)) {
                std::vector<std::string> command = CommandLineOf(child);
                if (!command.empty() && command[0] == "sleep") helper_ = child;
            }
            return helper_ > 0;
        },
        10000);
}

FaultingChild::~FaultingChild() {
    if (helper_ > 0 && ProcessAlive(helper_)) kill(helper_, SIGKILL);
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
    }
    if (go_ >= 0) close(go_);
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

void FaultingChild::Fault() {
    std::string bytes(16, 'g');
    ssize_t written = write(go_, bytes.data(), bytes.size());
    (void)written;
}

bool FaultingChild::WaitForExit(int limitMilliseconds, int& status) {
    reaped_ = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limitMilliseconds);
    return reaped_;
}
