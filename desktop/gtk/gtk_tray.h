// The GTK 2 tray icon behind a tray number, for code that needs the widget itself (tests find its
// docked X window through it).
#pragma once
#include <gtk/gtk.h>

// nullptr when the tray icon does not exist.
GtkStatusIcon* TrayIconWidget(int tray);
