// Being asked to end from outside (SIGTERM, SIGINT, SIGHUP): the program ends as when its main
// window is closed, with the shutdown's clean-up and status 0.
#pragma once

// From now on each of the three, once the main thread next waits for window events (in the main
// window, a dialog or a message box), ends the program through EndProgram. Earlier in start-up
// the request waits for that moment; nothing is left behind either way.
void EndProgramOnTerminationSignals();

// Shutdown, then the end of the process with its status. The server and capture threads are never
// joined and may still be running: the process ends without the static destructors that would
// free what those threads use under them.
[[noreturn]] void EndProgram();
