// Gadgets of the GTK 2 toolkit: widgets placed at pixel positions in a window's GtkFixed, their
// texts and states, and the gadget events they queue when the user works them.
#include <map>

#include "core/latin9.h"
#include "desktop/gadgets.h"
#include "desktop/gtk/gtk_toolkit.h"
#include "desktop/gtk/gtk_windows.h"

namespace {

enum class Kind { Frame, Text, Entry, Button, CheckBox, ComboBox, Spin, Link };

struct GadgetRecord {
    int window;
    Kind kind;
    GtkWidget* widget;
};
std::map<int, GadgetRecord> gadgets;

// Changes made through the interface are not user actions and queue no event, as on Win32.
int quietChanges = 0;
struct QuietChange {
    QuietChange() { ++quietChanges; }
    ~QuietChange() { --quietChanges; }
};

void OnUserAction(GtkWidget*, gpointer data) {
    if (quietChanges > 0) return;
    int gadget = GPOINTER_TO_INT(data);
    auto found = gadgets.find(gadget);
    if (found == gadgets.end()) return;
    WindowEvent event;
    event.kind = EventKind::Gadget;
    event.window = found->second.window;
    event.gadget = gadget;
    PostWindowEvent(event);
}

void OnLinkRealize(GtkWidget* button, gpointer) {
    GdkCursor* hand = gdk_cursor_new_for_display(gtk_widget_get_display(button), GDK_HAND2);
    gdk_window_set_cursor(gtk_button_get_event_window(GTK_BUTTON(button)), hand);
    gdk_cursor_unref(hand);
}

GtkWidget* LinkLabel(GtkWidget* button) { return gtk_bin_get_child(GTK_BIN(button)); }

void FreeGadgetRecord(int gadget) {
    auto found = gadgets.find(gadget);
    if (found == gadgets.end()) return;
    GtkWidget* widget = found->second.widget;
    gadgets.erase(found);
    gtk_widget_destroy(widget);
}

bool PlaceGadget(int window, int gadget, Kind kind, GtkWidget* widget, int x, int y, int width,
                 int height) {
    GtkWidget* fixed = GadgetWindowFixed(window);
    if (fixed == nullptr) {
        g_object_ref_sink(widget);
        g_object_unref(widget);
        return false;
    }
    FreeGadgetRecord(gadget);
    gtk_widget_set_size_request(widget, width, height);
    gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
    gtk_widget_show_all(widget);
    gadgets[gadget] = GadgetRecord{window, kind, widget};
    return true;
}

const GadgetRecord* FindGadget(int gadget) {
    auto found = gadgets.find(gadget);
    return found == gadgets.end() ? nullptr : &found->second;
}

// The gadget's text as GTK holds it: UTF-8.
std::string ShownText(const GadgetRecord& record) {
    GtkWidget* widget = record.widget;
    const char* text = nullptr;
    switch (record.kind) {
    case Kind::Frame:
        text = gtk_frame_get_label(GTK_FRAME(widget));
        break;
    case Kind::Text:
        text = gtk_label_get_text(GTK_LABEL(widget));
        break;
    case Kind::Entry:
    case Kind::Spin:
        text = gtk_entry_get_text(GTK_ENTRY(widget));
        break;
    case Kind::Button:
    case Kind::CheckBox:
        text = gtk_button_get_label(GTK_BUTTON(widget));
        break;
    case Kind::Link:
        text = gtk_label_get_text(GTK_LABEL(LinkLabel(widget)));
        break;
    case Kind::ComboBox: {
        gchar* active = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget));
        std::string shown = active ? active : "";
        g_free(active);
        return shown;
    }
    }
    return text ? text : "";
}

}  // namespace

void ForgetWindowGadgets(int window) {
    std::erase_if(gadgets, [window](const auto& entry) { return entry.second.window == window; });
}

GtkWidget* GadgetWidget(int gadget) {
    const GadgetRecord* record = FindGadget(gadget);
    return record ? record->widget : nullptr;
}

bool GadgetExists(int gadget) { return FindGadget(gadget) != nullptr; }

bool CreateFrameGadget(int window, int gadget, int x, int y, int width, int height,
                       const std::string& caption) {
    if (!GadgetsStarted()) return false;
    GtkWidget* frame = gtk_frame_new(caption.empty() ? nullptr : ToScreenText(caption).c_str());
    return PlaceGadget(window, gadget, Kind::Frame, frame, x, y, width, height);
}

bool CreateTextGadget(int window, int gadget, int x, int y, int width, int height,
                      const std::string& text) {
    if (!GadgetsStarted()) return false;
    GtkWidget* label = gtk_label_new(ToScreenText(text).c_str());
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0.5);
    return PlaceGadget(window, gadget, Kind::Text, label, x, y, width, height);
}

bool CreateEntryGadget(int window, int gadget, int x, int y, int width, int height,
                       const std::string& text, int flags) {
    if (!GadgetsStarted()) return false;
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), ToScreenText(text).c_str());
    if (flags & entryPassword) gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
    if (flags & entryReadOnly) gtk_editable_set_editable(GTK_EDITABLE(entry), FALSE);
    return PlaceGadget(window, gadget, Kind::Entry, entry, x, y, width, height);
}

bool CreateButtonGadget(int window, int gadget, int x, int y, int width, int height,
                        const std::string& caption) {
    if (!GadgetsStarted()) return false;
    GtkWidget* button = gtk_button_new_with_label(ToScreenText(caption).c_str());
    g_signal_connect(button, "clicked", G_CALLBACK(OnUserAction), GINT_TO_POINTER(gadget));
    return PlaceGadget(window, gadget, Kind::Button, button, x, y, width, height);
}

bool CreateCheckBoxGadget(int window, int gadget, int x, int y, int width, int height,
                          const std::string& caption) {
    if (!GadgetsStarted()) return false;
    GtkWidget* box = gtk_check_button_new_with_label(ToScreenText(caption).c_str());
    g_signal_connect(box, "toggled", G_CALLBACK(OnUserAction), GINT_TO_POINTER(gadget));
    return PlaceGadget(window, gadget, Kind::CheckBox, box, x, y, width, height);
}

bool CreateComboBoxGadget(int window, int gadget, int x, int y, int width, int height) {
    if (!GadgetsStarted()) return false;
    GtkWidget* combo = gtk_combo_box_text_new();
    g_signal_connect(combo, "changed", G_CALLBACK(OnUserAction), GINT_TO_POINTER(gadget));
    return PlaceGadget(window, gadget, Kind::ComboBox, combo, x, y, width, height);
}

bool CreateSpinGadget(int window, int gadget, int x, int y, int width, int height, int minimum,
                      int maximum) {
    if (!GadgetsStarted() || minimum > maximum) return false;
    GtkWidget* spin = gtk_spin_button_new_with_range(minimum, maximum, 1);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 0);
    return PlaceGadget(window, gadget, Kind::Spin, spin, x, y, width, height);
}

bool CreateLinkGadget(int window, int gadget, int x, int y, int width, int height,
                      const std::string& text, uint32_t rgbColour) {
    if (!GadgetsStarted()) return false;
    GtkWidget* button = gtk_button_new_with_label(ToScreenText(text).c_str());
    gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
    gtk_button_set_focus_on_click(GTK_BUTTON(button), FALSE);
    GdkColor colour;
    colour.pixel = 0;
    colour.red = guint16(((rgbColour >> 16) & 0xFF) * 257);
    colour.green = guint16(((rgbColour >> 8) & 0xFF) * 257);
    colour.blue = guint16((rgbColour & 0xFF) * 257);
    GtkWidget* label = LinkLabel(button);
    for (GtkStateType state : {GTK_STATE_NORMAL, GTK_STATE_PRELIGHT, GTK_STATE_ACTIVE})
        gtk_widget_modify_fg(label, state, &colour);
    g_signal_connect(button, "clicked", G_CALLBACK(OnUserAction), GINT_TO_POINTER(gadget));
    g_signal_connect_after(button, "realize", G_CALLBACK(OnLinkRealize), nullptr);
    return PlaceGadget(window, gadget, Kind::Link, button, x, y, width, height);
}

void AddGadgetItem(int gadget, const std::string& text) {
    const GadgetRecord* record = FindGadget(gadget);
    if (record == nullptr || record->kind != Kind::ComboBox) return;
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(record->widget), ToScreenText(text).c_str());
}

void SetGadgetText(int gadget, const std::string& text) {
    const GadgetRecord* record = FindGadget(gadget);
    if (record == nullptr) return;
    QuietChange quiet;
    std::string screen = ToScreenText(text);
    GtkWidget* widget = record->widget;
    switch (record->kind) {
    case Kind::Frame:
        gtk_frame_set_label(GTK_FRAME(widget), screen.empty() ? nullptr : screen.c_str());
        break;
    case Kind::Text:
        gtk_label_set_text(GTK_LABEL(widget), screen.c_str());
        break;
    case Kind::Entry:
    case Kind::Spin:
        gtk_entry_set_text(GTK_ENTRY(widget), screen.c_str());
        break;
    case Kind::Button:
    case Kind::CheckBox:
        gtk_button_set_label(GTK_BUTTON(widget), screen.c_str());
        break;
    case Kind::Link:
        gtk_label_set_text(GTK_LABEL(LinkLabel(widget)), screen.c_str());
        break;
    case Kind::ComboBox: {
        GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
        GtkTreeIter item;
        for (bool more = gtk_tree_model_get_iter_first(model, &item); more;
             more = gtk_tree_model_iter_next(model, &item)) {
            gchar* itemText = nullptr;
            gtk_tree_model_get(model, &item, 0, &itemText, -1);
            bool same = itemText && screen == itemText;
            g_free(itemText);
            if (same) {
                gtk_combo_box_set_active_iter(GTK_COMBO_BOX(widget), &item);
                break;
            }
        }
        break;
    }
    }
}

std::string GetGadgetText(int gadget) {
    const GadgetRecord* record = FindGadget(gadget);
    return record ? FromScreenText(ShownText(*record).c_str()) : std::string();
}

bool GadgetTextFitsLatin9(int gadget) {
    const GadgetRecord* record = FindGadget(gadget);
    return record == nullptr || Utf8FitsLatin9(ShownText(*record));
}

void SetGadgetState(int gadget, int state) {
    const GadgetRecord* record = FindGadget(gadget);
    if (record == nullptr) return;
    QuietChange quiet;
    switch (record->kind) {
    case Kind::CheckBox:
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(record->widget), state != 0);
        break;
    case Kind::ComboBox:
        gtk_combo_box_set_active(GTK_COMBO_BOX(record->widget), state);
        break;
    case Kind::Spin:
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(record->widget), state);
        break;
    default:
        break;
    }
}

int GetGadgetState(int gadget) {
    const GadgetRecord* record = FindGadget(gadget);
    if (record == nullptr) return 0;
    switch (record->kind) {
    case Kind::CheckBox:
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(record->widget)) ? 1 : 0;
    case Kind::ComboBox:
        return gtk_combo_box_get_active(GTK_COMBO_BOX(record->widget));
    case Kind::Spin:
        return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(record->widget));
    default:
        return 0;
    }
}
