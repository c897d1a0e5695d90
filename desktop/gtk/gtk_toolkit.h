// What the GTK 2 files of the gadget toolkit share among themselves: the widgets behind window
// and image numbers, and the text conversion at the GTK boundary.
#pragma once
#include <gtk/gtk.h>

#include <string>

// False until InitGadgets succeeded; every call then does nothing.
bool GadgetsStarted();
// The top-level GtkWindow of a window number; nullptr when there is none.
GtkWidget* GadgetWindowWidget(int window);
// The widget of a gadget number; nullptr when there is none.
GtkWidget* GadgetWidget(int gadget);
// The decoded picture of an image slot; nullptr when the slot is empty. Not referenced for the caller.
GdkPixbuf* GadgetImagePixbuf(int image);
// ISO-8859-15 to UTF-8 and back, for every text handed to or taken from GTK.
std::string ToScreenText(const std::string& text);
std::string FromScreenText(const char* text);
