// The fatal-error handler: after a fault on any thread it tells the user in one message box,
// removes what start-up created and ends the process with status 1.
#pragma once

// The last step of start-up: fixes the paths the handler will remove and registers OnFatalError
// for SIGFPE, SIGSEGV, SIGBUS, SIGABRT, SIGTRAP, SIGSYS and SIGILL, with extended signal information.
void InstallFatalErrorHandler();

// Message box, clean-up of the working directory, exit status 1. Never returns, never waits on a
// lock: the box comes and goes within a bounded time, shown or not.
[[noreturn]] void OnFatalError();

// On Linux the box is shown by a fresh process of this program, started by the handler with a
// command line no user types: a marker argument holding control characters, the number of an
// inherited pipe, the title and the text. The new process writes one byte into the pipe once the
// box is on screen and ends when it is closed; the handler waits for both with time limits.
struct FatalMessageRequest {
    int shownPipe = -1;
    const char* title = "";
    const char* text = "";
};

// True when this process was started by the handler to show its message.
bool ReadFatalMessageRequest(int argc, char** argv, FatalMessageRequest& request);
