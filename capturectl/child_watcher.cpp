// Watcher threads and the fatal-kill table. The watcher waits on a process file descriptor
// (no polling) and reaps only its own child, never "any child", so other code's children stay
// theirs. A child is reaped under its record's lock, so KillProcess never hits a reused pid.
#include "capturectl/child_watcher.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "capturectl/process_runner.h"
#include "core/fault_stack.h"
#include "core/platform.h"

namespace {

constexpr int fatalSlotCount = 64;
// Slot states: pid 0 free, > 0 a live or not yet reaped child, -1 taken by the fatal path.
std::atomic<int32_t> fatalHandles[fatalSlotCount];
std::atomic<pid_t> fatalPids[fatalSlotCount];
std::atomic<bool> fatalGroups[fatalSlotCount];
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the fatal path must not take locks");

// Without a process file descriptor the end of the child is checked this often.
constexpr int endCheckMilliseconds = 100;

bool ChildEnded(pid_t pid) {
    siginfo_t info{};
    if (waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return errno != EINTR;
    return info.si_pid != 0;
}

// Keeps the pipes drained until the child ends (or until nothing is left to drain and the end
// can be awaited by a blocking wait).
void DrainUntilEnd(ProcessRecord& record, int pidFd) {
    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        if (pidFd >= 0) fds[count++] = {pidFd, POLLIN, 0};
        {
            std::lock_guard<std::mutex> guard(record.lock);
            if (!record.pipesClosed) {
                if (record.outputFd >= 0 && !record.outputEnded) fds[count++] = {record.outputFd, POLLIN, 0};
                if (record.errorFd >= 0 && !record.errorEnded) fds[count++] = {record.errorFd, POLLIN, 0};
            }
        }
        if (count == 0) return;
        // A pipe closed by CloseProcess after the list was made shows up as POLLNVAL or, if its
        // number was reused, as some readiness; either way the list is made anew.
        if (poll(fds, count, pidFd >= 0 ? -1 : endCheckMilliseconds) < 0 && errno != EINTR) return;
        {
            std::lock_guard<std::mutex> guard(record.lock);
            record.DrainPipes();
        }
        if (pidFd >= 0 ? fds[0].revents != 0 : ChildEnded(record.pid)) return;
    }
}

void* WatchChild(void* argument) {
    ThreadFaultStack faultStack;
    NameThisThread(watcherThreadName);
    auto* owned = static_cast<std::shared_ptr<ProcessRecord>*>(argument);
    std::shared_ptr<ProcessRecord> record = std::move(*owned);
    delete owned;
    const pid_t pid = record->pid;
    int pidFd = int(syscall(SYS_pidfd_open, pid, 0));
    DrainUntilEnd(*record, pidFd);
    siginfo_t info;
    while (waitid(P_PID, pid, &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    {
        std::lock_guard<std::mutex> guard(record->lock);
        // Killed while the unreaped child still holds the group's id, so that no other group
        // can have taken it; what the child wrote before its end is in the pipe all the same.
        if (record->ownGroup) kill(-pid, SIGKILL);
        record->DrainPipes();
        if (ReleaseFatalSlot(record->fatalSlot, pid)) {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            record->gone = true;
        }
    }
    if (pidFd >= 0) close(pidFd);
    return nullptr;
}

}  // namespace

bool StartWatcher(const std::shared_ptr<ProcessRecord>& record) {
    auto* owned = new std::shared_ptr<ProcessRecord>(record);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    bool started = pthread_create(&thread, &attributes, WatchChild, owned) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) delete owned;
    return started;
}

int ClaimFatalSlot(int32_t handle, pid_t pid, bool ownGroup) {
    for (int slot = 0; slot < fatalSlotCount; ++slot) {
        pid_t expected = 0;
        if (fatalPids[slot].compare_exchange_strong(expected, pid)) {
            // Before the handle, which is what the fatal-error path looks for.
            fatalGroups[slot].store(ownGroup);
            fatalHandles[slot].store(handle);
            return slot;
        }
    }
    return -1;
}

bool ReleaseFatalSlot(int slot, pid_t pid) {
    if (slot < 0) return true;
    fatalHandles[slot].store(0);
    pid_t expected = pid;
    return fatalPids[slot].compare_exchange_strong(expected, 0);
}

void KillProcessForFatalError(int32_t handle) {
    if (handle <= 0) return;
    for (int slot = 0; slot < fatalSlotCount; ++slot) {
        if (fatalHandles[slot].load() != handle) continue;
        pid_t pid = fatalPids[slot].load();
        // Taking the slot keeps the watcher from reaping, so the pid cannot be reused before
        // the kill; a slot handed to another child in between is given back untouched.
        if (pid <= 0 || !fatalPids[slot].compare_exchange_strong(pid, -1)) return;
        if (fatalHandles[slot].load() == handle) {
            kill(fatalGroups[slot].load() ? -pid : pid, SIGKILL);
        } else {
            fatalPids[slot].store(pid);
        }
        return;
    }
}
