// The program's life on the main thread: start-up, the hand-over to the event loop, shutdown.
#pragma once

// Start-up steps up to and including the fatal-error handler; keeps argc/argv for the toolkit.
void StartUp(int& argc, char**& argv);
// Removes what start-up created, releases resources and returns the exit status.
int ShutDown();
