// The desktop side of the fatal-error handler: the message box, shown by the fresh process of the
// program that the handler starts for it (see core/fatal_error.h), and a lost display as a fault.
#pragma once
#include "core/fatal_error.h"

// Starts the toolkit, shows the box with the program's font, reports it on screen through the
// request's pipe, and ends the process when the box is closed (or cannot be shown).
[[noreturn]] void ShowFatalMessage(const FatalMessageRequest& request);

// From now on a connection to the display that breaks (the display has gone away) ends the
// program through OnFatalError, so the helper and the working directory go with it.
void EndProgramOnLostDisplay();
