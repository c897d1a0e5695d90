// Event-queue housekeeping the GTK window code needs when a window closes.
#pragma once

// Stops every timer of the window.
void RemoveWindowTimers(int window);
