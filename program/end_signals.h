// Being asked to end from outside (SIGTERM, SIGINT, SIGHUP, SIGQUIT and every other signal whose
// default action would end the program without its clean-up and that reports no fault of its
// own): the program ends as when its main window is closed, with the shutdown's clean-up and
// status 0.
#pragma once

// From now on each of them, once the main thread next waits for window events (in the main
// window, a dialog or a message box), ends the program through EndProgram. Earlier in start-up
// the request waits for that moment; nothing is left behind either way. A fault's message shown
// meanwhile is cut short: the fatal-error handler ends the program, with status 1.
void EndProgramOnTerminationSignals();

// Shutdown, then the end of the process with its status. The server and capture threads are never
// joined and may still be running: the process ends without the static destructors that would
// free what those threads use under them. Once a fault's handler has begun, that handler ends
// the process instead, with status 1.
[[noreturn]] void EndProgram();
