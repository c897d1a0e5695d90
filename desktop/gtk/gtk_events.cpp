// The event side of the GTK 2 gadget toolkit: start-up, the queue that WaitWindowEvent pulls
// from, window timers and the message box.
#include <map>
#include <utility>

#include "core/text_util.h"
#include "desktop/event_queue.h"
#include "desktop/gadgets.h"
#include "desktop/gtk/gtk_events.h"
#include "desktop/gtk/gtk_toolkit.h"

namespace {

bool started = false;

struct TimerSource {
    int window;
    int timer;
    guint sourceId;
};
std::map<std::pair<int, int>, TimerSource*> timers;

gboolean OnTimer(gpointer data) {
    auto* source = static_cast<TimerSource*>(data);
    QueueTimerEvent(source->window, source->timer);
    return TRUE;
}

void FreeTimerSource(gpointer data) { delete static_cast<TimerSource*>(data); }

gboolean OnWaitTimeout(gpointer data) {
    *static_cast<bool*>(data) = true;
    return FALSE;
}

}  // namespace

bool InitGadgets(int& argc, char**& argv) {
    if (!started) started = gtk_init_check(&argc, &argv);
    return started;
}

bool GadgetsStarted() { return started; }

void PostWindowEvent(const WindowEvent& event) {
    QueueWindowEvent(event);
    // Wakes a main-loop iteration that is blocked waiting for GTK's own events.
    if (started) g_main_context_wakeup(nullptr);
}

WindowEvent WaitWindowEvent(int timeoutMilliseconds) {
    if (!WindowEventQueued() && started) {
        bool timedOut = false;
        guint timeoutSource = 0;
        if (timeoutMilliseconds >= 0)
            timeoutSource = g_timeout_add(guint(timeoutMilliseconds), OnWaitTimeout, &timedOut);
        while (!WindowEventQueued() && !timedOut) gtk_main_iteration_do(TRUE);
        if (!timedOut && timeoutSource != 0) g_source_remove(timeoutSource);
    }
    return TakeWindowEvent();
}

void AddWindowTimer(int window, int timer, int periodMilliseconds) {
    if (!GadgetWindowExists(window) || periodMilliseconds <= 0) return;
    RemoveWindowTimer(window, timer);
    auto* source = new TimerSource{window, timer, 0};
    source->sourceId = g_timeout_add_full(G_PRIORITY_DEFAULT, guint(periodMilliseconds), OnTimer,
                                          source, FreeTimerSource);
    timers[std::make_pair(window, timer)] = source;
}

void RemoveWindowTimer(int window, int timer) {
    auto found = timers.find(std::make_pair(window, timer));
    if (found == timers.end()) return;
    g_source_remove(found->second->sourceId);
    timers.erase(found);
}

void RemoveWindowTimers(int window) {
    for (auto it = timers.begin(); it != timers.end();) {
        if (it->first.first == window) {
            g_source_remove(it->second->sourceId);
            it = timers.erase(it);
        } else {
            ++it;
        }
    }
}

void ShowMessageBox(const std::string& title, const std::string& text) {
    if (!started) return;
    // The texts break their lines with LF CR, which Pango would draw as two line breaks.
    std::string lines = ReplaceAll(text, "\n\r", "\n");
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                            GTK_BUTTONS_OK, "%s", ToScreenText(lines).c_str());
    gtk_window_set_title(GTK_WINDOW(box), ToScreenText(title).c_str());
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}
