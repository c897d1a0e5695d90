// The desktop side of the fatal-error handler: the message box, shown by the fresh process of the
// program that the handler starts for it, and a lost display as a fault.
#pragma once

// On Linux the box is shown by a fresh process of this program, started by the handler with a
// command line no user types: a marker argument holding control characters, the number of an
// inherited pipe, the title and the text. The new process writes one byte into the pipe once the
// box is on screen and ends when it is closed; the handler waits for both with time limits.
struct FatalMessageRequest {
    int shownPipe = -1;
    const char* title = "";
    const char* text = "";
};

// Starts the toolkit, shows the box with the program's font, reports it on screen through the
// request's pipe, and ends the process when the box is closed (or cannot be shown).
[[noreturn]] void ShowFatalMessage(const FatalMessageRequest& request);

// From now on a connection to the display that breaks (the display has gone away) ends the
// program through `endProgram` (the fatal-error handler), so the helper and the working directory
// go with it.
void EndProgramOnLostDisplay(void (*endProgram)());
