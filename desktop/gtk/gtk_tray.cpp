// The tray part of the GTK 2 gadget toolkit: a status icon that docks into the desktop's system
// tray (freedesktop System Tray protocol) and turns presses and releases on it into tray events.
#include <gdk/gdkx.h>

#include <map>
#include <memory>
#include <string>

#include "desktop/gadgets.h"
#include "desktop/gtk/gtk_toolkit.h"
#include "desktop/gtk/gtk_tray.h"

namespace {

struct TrayRecord {
    int tray = 0;
    int window = noWindow;
    GtkStatusIcon* icon = nullptr;
    // Set by a double-click press: the next release of the left or right button is a double-click.
    bool doubleClick = false;
};
std::map<int, std::unique_ptr<TrayRecord>> trays;

gboolean OnTrayPress(GtkStatusIcon*, GdkEventButton* press, gpointer data) {
    if (press->type == GDK_2BUTTON_PRESS) static_cast<TrayRecord*>(data)->doubleClick = true;
    return TRUE;
}

gboolean OnTrayRelease(GtkStatusIcon*, GdkEventButton* release, gpointer data) {
    auto* record = static_cast<TrayRecord*>(data);
    if (release->button != 1 && release->button != 3) return TRUE;
    WindowEvent event;
    event.kind = EventKind::Tray;
    event.window = record->window;
    event.tray = record->tray;
    event.trayKind = release->button == 1 ? (record->doubleClick ? trayLeftDoubleClick : trayLeftClick)
                                          : (record->doubleClick ? trayRightDoubleClick : trayRightClick);
    record->doubleClick = false;
    PostWindowEvent(event);
    return TRUE;
}

// A tray manager owns the selection "_NET_SYSTEM_TRAY_S<screen>"; without one an icon would never
// appear anywhere.
bool TrayManagerPresent() {
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen) return false;
    GdkDisplay* display = gdk_screen_get_display(screen);
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(gdk_screen_get_number(screen));
    Atom atom = gdk_x11_get_xatom_by_name_for_display(display, selection.c_str());
    return XGetSelectionOwner(GDK_DISPLAY_XDISPLAY(display), atom) != None;
}

}  // namespace

bool AddTrayIcon(int tray, int window, int image) {
    if (!GadgetsStarted()) return false;
    GdkPixbuf* picture = GadgetImagePixbuf(image);
    if (!picture || !TrayManagerPresent()) return false;
    RemoveTrayIcon(tray);
    auto record = std::make_unique<TrayRecord>();
    record->tray = tray;
    record->window = window;
    record->icon = gtk_status_icon_new_from_pixbuf(picture);
    g_signal_connect(record->icon, "button-press-event", G_CALLBACK(OnTrayPress), record.get());
    g_signal_connect(record->icon, "button-release-event", G_CALLBACK(OnTrayRelease), record.get());
    gtk_status_icon_set_visible(record->icon, TRUE);
    trays[tray] = std::move(record);
    return true;
}

void SetTrayIconToolTip(int tray, const std::string& text) {
    if (GtkStatusIcon* icon = TrayIconWidget(tray))
        gtk_status_icon_set_tooltip_text(icon, ToScreenText(text).c_str());
}

void RemoveTrayIcon(int tray) {
    auto found = trays.find(tray);
    if (found == trays.end()) return;
    GtkStatusIcon* icon = found->second->icon;
    gtk_status_icon_set_visible(icon, FALSE);
    g_signal_handlers_disconnect_by_data(icon, found->second.get());
    g_object_unref(icon);
    trays.erase(found);
}

bool TrayIconExists(int tray) { return trays.count(tray) != 0; }

GtkStatusIcon* TrayIconWidget(int tray) {
    auto found = trays.find(tray);
    return found == trays.end() ? nullptr : found->second->icon;
}
