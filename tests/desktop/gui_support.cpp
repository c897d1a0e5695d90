// Test-side user actions on real GTK widgets and real X client messages.
#include "tests/desktop/gui_support.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
// Xlib's None macro would swallow EventKind::NoEvent.
#undef None

#include <chrono>

#include "core/latin9.h"
#include "desktop/gtk/gtk_toolkit.h"
#include "tests/support/session.h"

bool StartGadgetsForTest() {
    static char name[] = "lumora-test";
    static char* args[] = {name, nullptr};
    int argc = 1;
    char** argv = args;
    return InitGadgets(argc, argv);
}

void PumpToolkit(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(2000);
    }
}

void ClickGadget(int gadget) {
    GtkWidget* widget = GadgetWidget(gadget);
    if (widget && GTK_IS_BUTTON(widget)) gtk_button_clicked(GTK_BUTTON(widget));
}

void TypeIntoGadget(int gadget, const std::string& latin9Text) {
    GtkWidget* widget = GadgetWidget(gadget);
    if (widget && GTK_IS_ENTRY(widget))
        gtk_entry_set_text(GTK_ENTRY(widget), Latin9ToUtf8(latin9Text).c_str());
}

void ChooseGadgetItem(int gadget, int index) {
    GtkWidget* widget = GadgetWidget(gadget);
    if (widget && GTK_IS_COMBO_BOX(widget)) gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index);
}

void RequestWindowClose(int window) {
    GtkWidget* widget = GadgetWindowWidget(window);
    if (widget == nullptr) return;
    gtk_widget_realize(widget);
    GdkWindow* gdkWindow = gtk_widget_get_window(widget);
    Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
    // The request comes over a connection of its own, as a window manager's does: the window must
    // exist at the server before it gets there.
    XSync(display, False);
    CloseLikeWindowManager(DisplayString(display), std::to_string(GDK_WINDOW_XID(gdkWindow)));
}

MessageBoxAnswerer::MessageBoxAnswerer(int answerAfterMilliseconds)
    : answerAfter(answerAfterMilliseconds), sourceId(g_timeout_add(10, Answer, this)) {}

int MessageBoxAnswerer::Answer(void* self) {
    auto* answerer = static_cast<MessageBoxAnswerer*>(self);
    long long now = g_get_monotonic_time() / 1000;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item; item = item->next) {
        GtkWidget* widget = GTK_WIDGET(item->data);
        if (!GTK_IS_MESSAGE_DIALOG(widget) || !gtk_widget_get_visible(widget)) continue;
        if (answerer->openSince != widget) {
            answerer->openSince = widget;
            answerer->openSinceMs = now;
        }
        if (now - answerer->openSinceMs < answerer->answerAfter) continue;
        MessageBoxSeen box;
        box.title = Utf8ToLatin9(gtk_window_get_title(GTK_WINDOW(widget)));
        gchar* text = nullptr;
        g_object_get(widget, "text", &text, nullptr);
        box.text = Utf8ToLatin9(text ? text : "");
        g_free(text);
        GtkWidget* area = gtk_dialog_get_action_area(GTK_DIALOG(widget));
        GList* buttons = gtk_container_get_children(GTK_CONTAINER(area));
        box.buttons = int(g_list_length(buttons));
        if (buttons) gtk_button_clicked(GTK_BUTTON(buttons->data));
        g_list_free(buttons);
        answerer->seen.push_back(box);
        answerer->openSince = nullptr;
    }
    g_list_free(toplevels);
    return TRUE;
}

MessageBoxAnswerer::~MessageBoxAnswerer() { g_source_remove(sourceId); }

namespace {

gboolean RunAction(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return FALSE;
}

void FreeAction(gpointer data) { delete static_cast<std::function<void()>*>(data); }

}  // namespace

void RunLater(int milliseconds, std::function<void()> action) {
    g_timeout_add_full(G_PRIORITY_DEFAULT, guint(milliseconds), RunAction,
                       new std::function<void()>(std::move(action)), FreeAction);
}

WindowEvent WaitForEventKind(EventKind kind, int timeoutMilliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return WindowEvent();
        WindowEvent event = WaitWindowEvent(int(left.count()));
        if (event.kind == kind) return event;
        if (event.kind == EventKind::NoEvent) return event;
    }
}
