// The queue that WaitWindowEvent takes from, shared by both toolkit implementations: events in
// the order they came, and at most one waiting event per window timer.
#pragma once
#include "desktop/gadgets.h"

void QueueWindowEvent(const WindowEvent& event);
// A timer firing again before its last event was taken queues nothing.
void QueueTimerEvent(int window, int timer);
bool WindowEventQueued();
// The oldest waiting event; one of kind NoEvent when none waits.
WindowEvent TakeWindowEvent();
// Forgets the queued events of a window, so none of a closed window is ever taken.
void DropWindowEvents(int window);
