// The message box of the fatal-error handler, shown by the fresh process of the program that the
// handler starts for it (see core/fatal_error.h).
#pragma once
#include "core/fatal_error.h"

// Starts the toolkit, shows the box with the program's font, reports it on screen through the
// request's pipe, and ends the process when the box is closed (or cannot be shown).
[[noreturn]] void ShowFatalMessage(const FatalMessageRequest& request);
