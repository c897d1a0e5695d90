// What the GTK gadget code needs from the window code and the other way round.
#pragma once
#include <gtk/gtk.h>

// The GtkFixed that holds a window's gadgets; nullptr when the window does not exist.
GtkWidget* GadgetWindowFixed(int window);
// Forgets the gadgets of a window that is being destroyed (GTK frees the widgets themselves).
void ForgetWindowGadgets(int window);
