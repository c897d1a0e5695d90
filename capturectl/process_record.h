// The runner's record of one started child, shared by the handle registry, the callers holding
// it for a moment and the child's watcher thread. Its lock guards every field after start.
#pragma once
#include <sys/types.h>

#include <mutex>
#include <string>

struct ProcessRecord {
    pid_t pid = 0;
    int fatalSlot = -1;  // entry in the lock-free table of the fatal-error path, -1 for none
    bool ownGroup = false;  // the child leads a process group whose id is its pid

    std::mutex lock;
    bool gone = false;  // reaped: from now on the process id may belong to somebody else
    bool pipesClosed = false;
    int outputFd = -1;
    int errorFd = -1;
    bool outputEnded = false;
    bool errorEnded = false;
    std::string errorText;  // error output not handed out yet, kept up to a limit

    ProcessRecord() = default;
    ProcessRecord(const ProcessRecord&) = delete;
    ProcessRecord& operator=(const ProcessRecord&) = delete;
    ~ProcessRecord() { ClosePipes(); }

    // Both take the lock as held by the caller.
    void DrainPipes();
    void ClosePipes();
};
