// Event-queue housekeeping the GTK window code needs when a window closes.
#pragma once

// Forgets the queued events of a window, so none of a closed window is ever taken.
void DropWindowEvents(int window);
// Stops every timer of the window.
void RemoveWindowTimers(int window);
