// The fatal-error handler: after a fault on any thread it tells the user in one message box,
// removes what start-up created and ends the process with status 1.
#pragma once
#include "desktop/fatal_message.h"

// The last step of start-up: fixes the paths the handler will remove and registers OnFatalError
// for SIGFPE, SIGSEGV, SIGBUS, SIGABRT, SIGTRAP, SIGSYS, SIGILL, SIGXCPU and SIGXFSZ, with
// extended signal information.
void InstallFatalErrorHandler();

// Message box, clean-up of the working directory, exit status 1. Never returns, never waits on a
// lock: the box comes and goes within a bounded time, shown or not, and goes at once when an end
// is asked for from outside meanwhile.
[[noreturn]] void OnFatalError();

// A descriptor that turns readable once the program is asked to end from outside: from then on
// the handler's message goes at once, and the handler goes on to the clean-up and status 1.
void CutFatalMessageShortOn(int descriptor);
// For the ordinary end: returns at once unless a fault is being handled; then it waits for the
// handler, which ends the process with status 1.
void YieldToFatalError();
// Ends the process with the status, unless a fault's handler began first: then it waits for it.
[[noreturn]] void ExitUnlessFaulted(int status);

// True when this process was started by the handler to show its message.
bool ReadFatalMessageRequest(int argc, char** argv, FatalMessageRequest& request);
