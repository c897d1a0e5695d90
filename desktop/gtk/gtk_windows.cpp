// Windows, fonts and images of the GTK 2 gadget toolkit: fixed-size top-level windows with a
// GtkFixed for pixel positions, hiding that keeps the place on screen, and decoded PNG slots.
#include <map>

#include "core/latin9.h"
#include "desktop/gadgets.h"
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
std::map<int, std::string> fonts;  // slot -> Pango font description text
std::map<int, GdkPixbuf*> images;

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    WindowEvent event;
    event.kind = EventKind::CloseWindow;
    event.window = GPOINTER_TO_INT(data);
    PostWindowEvent(event);
    return TRUE;  // the program decides whether the window really closes
}

}  // namespace

std::string ToScreenText(const std::string& text) { return Latin9ToUtf8(text); }

std::string FromScreenText(const char* text) { return text ? Utf8ToLatin9(text) : std::string(); }

bool LoadGadgetFont(int font, const std::string& name, int size) {
    if (!GadgetsStarted() || name.empty() || size <= 0) return false;
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, ToScreenText(name).c_str());
    pango_font_description_set_size(description, size * PANGO_SCALE);
    PangoContext* context = gdk_pango_context_get();
    PangoFont* loaded = pango_context_load_font(context, description);
    bool ok = loaded != nullptr;
    if (ok) {
        gchar* text = pango_font_description_to_string(description);
        fonts[font] = text;
        g_free(text);
        g_object_unref(loaded);
    }
    g_object_unref(context);
    pango_font_description_free(description);
    return ok;
}

bool GadgetFontLoaded(int font) { return fonts.count(font) != 0; }

void SetDefaultGadgetFont(int font) {
    auto found = fonts.find(font);
    if (found == fonts.end()) return;
    // The settings-wide font name reaches every widget made later, dialogs and message boxes too.
    std::string rc = "gtk-font-name = \"" + found->second + "\"";
    gtk_rc_parse_string(rc.c_str());
}

bool LoadImageFromPng(int image, const unsigned char* bytes, std::size_t size) {
    auto old = images.find(image);
    if (old != images.end()) {
        g_object_unref(old->second);
        images.erase(old);
    }
    if (!GadgetsStarted() || bytes == nullptr || size == 0) return false;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (loader == nullptr) return false;
    bool written = gdk_pixbuf_loader_write(loader, bytes, size, nullptr);
    bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf) images[image] = GDK_PIXBUF(g_object_ref(pixbuf));
    g_object_unref(loader);
    return pixbuf != nullptr;
}

bool ImageLoaded(int image) { return images.count(image) != 0; }

GdkPixbuf* GadgetImagePixbuf(int image) {
    auto found = images.find(image);
    return found == images.end() ? nullptr : found->second;
}

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
}

bool GadgetWindowVisible(int window) {
    GtkWidget* widget = GadgetWindowWidget(window);
    return widget && gtk_widget_get_visible(widget);
}
