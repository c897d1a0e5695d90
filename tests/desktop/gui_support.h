// What the in-process GUI tests do as a user would: start the toolkit on the test's display,
// click and type into real gadgets, close windows the way a window manager does, and answer
// message boxes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "desktop/gadgets.h"

// Starts the toolkit on $DISPLAY; false (and the test fails) when there is no display.
bool StartGadgetsForTest();

// Runs the toolkit's own work (drawing, timers, signals) for a while without taking events.
void PumpToolkit(int milliseconds);

// Presses a button, check box or link as the mouse would.
void ClickGadget(int gadget);
// Replaces an entry's or spin box's text as typing would.
void TypeIntoGadget(int gadget, const std::string& latin9Text);
// Picks a combo box item as the user would.
void ChooseGadgetItem(int gadget, int index);
// Sends the window the close request a window manager sends for its close button.
void RequestWindowClose(int window);

// Each message box that opens from now on is recorded and answered with its OK button once it
// has been open for the given time.
struct MessageBoxSeen {
    std::string title;  // ISO-8859-15
    std::string text;   // ISO-8859-15
    int buttons = 0;
};
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int answerAfterMilliseconds = 0);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    std::vector<MessageBoxSeen> seen;

private:
    static int Answer(void* self);
    int answerAfter;
    unsigned sourceId;
    void* openSince = nullptr;  // the box being timed, and when it was first seen
    long long openSinceMs = 0;
};

// Runs the action on the main thread once the toolkit has run for the given time, for instance
// while a dialog's own loop is waiting.
void RunLater(int milliseconds, std::function<void()> action);

// Takes events until one of the kind arrives or the time is up; kind NoEvent when none came.
WindowEvent WaitForEventKind(EventKind kind, int timeoutMilliseconds);
