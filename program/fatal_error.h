// The fatal-error handler: after a fault on any thread it tells the user in one message box,
// removes what start-up created and ends the process with status 1.
#pragma once
#include "desktop/fatal_message.h"

// The last step of start-up: fixes the paths the handler will remove and registers OnFatalError
// for SIGFPE, SIGSEGV, SIGBUS, SIGABRT, SIGTRAP, SIGSYS and SIGILL, with extended signal information.
void InstallFatalErrorHandler();

// Message box, clean-up of the working directory, exit status 1. Never returns, never waits on a
// lock: the box comes and goes within a bounded time, shown or not.
[[noreturn]] void OnFatalError();

// True when this process was started by the handler to show its message.
bool ReadFatalMessageRequest(int argc, char** argv, FatalMessageRequest& request);
