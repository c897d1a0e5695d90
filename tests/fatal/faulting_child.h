// A child process of the test that sets up what start-up would (a working directory with files in
// it, a running helper, the language texts), installs the fatal-error handler and then faults on
// worker threads when told to. The test looks at its exit status and at what it leaves behind.
#pragma once
#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

struct FaultPlan {
    std::string display;                // empty: the child has no DISPLAY
    std::string language;               // the key handed to ApplyLanguage
    std::vector<int> signals{SIGSEGV};  // one worker thread each raises one of these
    bool invalidAccess = false;         // the first thread faults by touching an inaccessible page
    // The first thread, set up as the program sets up its threads, recurses until its stack is full.
    bool stackOverflow = false;
    bool subdirectory = false;          // a subdirectory inside the working directory
};

class FaultingChild {
public:
    explicit FaultingChild(const FaultPlan& plan);
    ~FaultingChild();  // kills what is still running (by process id)
    FaultingChild(const FaultingChild&) = delete;
    FaultingChild& operator=(const FaultingChild&) = delete;

    // Set up and waiting, with its helper running.
    bool ready() const { return helper_ > 0; }
    pid_t pid() const { return pid_; }
    pid_t helper() const { return helper_; }
    const std::string& workDir() const { return workDir_; }

    // Lets the worker threads fault.
    void Fault();
    // Waits at most the time for the child's end; true when it ended, with its wait status.
    bool WaitForExit(int limitMilliseconds, int& status);

private:
    std::string root_;
    std::string workDir_;
    pid_t pid_ = -1;
    pid_t helper_ = -1;
    int go_ = -1;
    bool reaped_ = false;
};
