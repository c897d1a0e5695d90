// The main thread's life between start-up and shutdown: the main window's start, the checks of
// every pass and the handling of one event, each a procedure of its own so that tests drive them.
#pragma once
#include <cstdint>
#include <string>

#include "desktop/gadgets.h"

struct MainLoopState {
    std::string downloadName = "ip.php";
    std::string answerName = "ip.txt";
    int32_t usersShown = 0;
    // While 1 the frame timer does not release the capture thread.
    int capturePaused = 0;
};

// Runs until the main window is closed; returns at once when the first-run settings dialog is not
// confirmed or the main window cannot be opened.
void MainEventLoop();

// Settings dialog (only when the login is missing), main window, frame timer, hidden or shown,
// and what the settings start with the program. False when the loop is not to run.
bool StartMainWindow(const MainLoopState& loop);
// Users refresh and the frame grabber's failure report, before each wait.
void RunPassChecks(MainLoopState& loop);
// False when the event ends the loop (the main window was closed).
bool HandleMainEvent(MainLoopState& loop, const WindowEvent& event);
