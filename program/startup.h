// The program's life on the main thread: start-up, the hand-over to the event loop, shutdown.
#pragma once

// The desktop's share of start-up, handed in by the program entry; a step left empty is skipped,
// so that tests start up without a toolkit.
struct DesktopStartUp {
    // Starts the toolkit, which may take its own options out of the command line.
    bool (*startToolkit)(int& argc, char**& argv) = nullptr;
    void (*loadFont)() = nullptr;
    void (*decodeIcon)() = nullptr;
};

// Start-up steps up to and including the fatal-error handler; keeps argc/argv for the toolkit.
void StartUp(int& argc, char**& argv, const DesktopStartUp& desktop = {});
// Removes what start-up created, releases resources and returns the exit status.
int ShutDown();
