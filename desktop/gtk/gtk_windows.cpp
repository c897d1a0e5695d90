// Windows of the GTK 2 gadget toolkit: fixed-size top-level windows with a GtkFixed for pixel
// positions, and hiding that keeps the window's place on the screen.
#include <map>

#include "core/latin9.h"
#include "desktop/gadgets.h"
#include "desktop/event_queue.h"
#include "desktop/gtk/gtk_events.h"
#include "desktop/gtk/gtk_toolkit.h"
#include "desktop/gtk/gtk_windows.h"

namespace {

struct WindowRecord {
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;
    bool pinned = false;
    gint pinnedX = 0;
    gint pinnedY = 0;
};
std::map<int, WindowRecord> windows;

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    WindowEvent event;
    event.kind = EventKind::CloseWindow;
    event.window = GPOINTER_TO_INT(data);
    PostWindowEvent(event);
    return TRUE;  // the program decides whether the window really closes
}

// A window that has just been shown is only drawn once the main loop has had its map and expose
// events; the caller may go on to something long (a network check) before it next waits.
constexpr gint64 drawLimitMicroseconds = 1000 * 1000;

void DrawNow(GtkWidget* window) {
    gint64 end = g_get_monotonic_time() + drawLimitMicroseconds;
    GdkDisplay* display = gtk_widget_get_display(window);
    for (;;) {
        gdk_display_sync(display);
        while (gtk_events_pending() && g_get_monotonic_time() < end) gtk_main_iteration_do(FALSE);
        GdkWindow* area = gtk_widget_get_window(window);
        bool mapped = area && !(gdk_window_get_state(area) & GDK_WINDOW_STATE_WITHDRAWN);
        if (mapped || g_get_monotonic_time() >= end) break;
        // A window manager maps it in its own time.
        g_usleep(5000);
    }
    gdk_window_process_all_updates();
    gdk_flush();
}

}  // namespace

std::string ToScreenText(const std::string& text) { return Latin9ToUtf8(text); }

std::string FromScreenText(const char* text) { return text ? Utf8ToLatin9(text) : std::string(); }

bool OpenGadgetWindow(int window, int innerWidth, int innerHeight, const std::string& title,
                      int parentWindow, bool visible) {
    if (!GadgetsStarted() || innerWidth <= 0 || innerHeight <= 0) return false;
    CloseGadgetWindow(window);
    WindowRecord record;
    record.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* gtkWindow = GTK_WINDOW(record.window);
    gtk_window_set_title(gtkWindow, ToScreenText(title).c_str());
    gtk_window_set_resizable(gtkWindow, FALSE);
    gtk_window_set_position(gtkWindow, GTK_WIN_POS_CENTER);
    if (GtkWidget* parent = GadgetWindowWidget(parentWindow))
        gtk_window_set_transient_for(gtkWindow, GTK_WINDOW(parent));
    record.fixed = gtk_fixed_new();
    // A window that cannot be resized ignores its default size; the content's request sets it.
    gtk_widget_set_size_request(record.fixed, innerWidth, innerHeight);
    gtk_container_add(GTK_CONTAINER(record.window), record.fixed);
    g_signal_connect(record.window, "delete-event", G_CALLBACK(OnDeleteEvent),
                     GINT_TO_POINTER(window));
    gtk_widget_show(record.fixed);
    windows[window] = record;
    if (visible) gtk_widget_show(record.window);
    return true;
}

void CloseGadgetWindow(int window) {
    auto found = windows.find(window);
    if (found == windows.end()) return;
    RemoveWindowTimers(window);
    ForgetWindowGadgets(window);
    gtk_widget_destroy(found->second.window);
    windows.erase(found);
    DropWindowEvents(window);
}

bool GadgetWindowExists(int window) { return windows.count(window) != 0; }

GtkWidget* GadgetWindowWidget(int window) {
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second.window;
}

GtkWidget* GadgetWindowFixed(int window) {
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second.fixed;
}

void SetGadgetWindowIcon(int window, int image) {
    GtkWidget* widget = GadgetWindowWidget(window);
    GdkPixbuf* pixbuf = GadgetImagePixbuf(image);
    if (widget && pixbuf) gtk_window_set_icon(GTK_WINDOW(widget), pixbuf);
}

void HideGadgetWindow(int window) {
    auto found = windows.find(window);
    if (found == windows.end()) return;
    WindowRecord& record = found->second;
    if (gtk_widget_get_visible(record.window)) {
        gtk_window_get_position(GTK_WINDOW(record.window), &record.pinnedX, &record.pinnedY);
        record.pinned = true;
    }
    gtk_widget_hide(record.window);
}

void ShowGadgetWindow(int window) {
    auto found = windows.find(window);
    if (found == windows.end()) return;
    WindowRecord& record = found->second;
    if (record.pinned) gtk_window_move(GTK_WINDOW(record.window), record.pinnedX, record.pinnedY);
    gtk_widget_show(record.window);
    gtk_window_present(GTK_WINDOW(record.window));
    DrawNow(record.window);
}

bool GadgetWindowVisible(int window) {
    GtkWidget* widget = GadgetWindowWidget(window);
    return widget && gtk_widget_get_visible(widget);
}
