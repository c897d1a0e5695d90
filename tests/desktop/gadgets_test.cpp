// The GTK 2 gadget toolkit on a real display: windows land centred with the exact inner size,
// gadgets at their pixel rectangles, texts cross the boundary as ISO-8859-15, user actions (and
// only those) become events, timers coalesce, closing drops a window's events, message boxes
// carry one OK button.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <chrono>

#include "desktop/gtk/gtk_toolkit.h"
#include "tests/desktop/gui_support.h"

extern const unsigned char iconImage[];
extern const std::size_t iconImageSize;

namespace {

constexpr int testWindow = 7;
constexpr int otherWindow = 8;

class GadgetsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartGadgetsForTest()) << "no X display (set DISPLAY)";
        ASSERT_TRUE(OpenGadgetWindow(testWindow, 200, 120, "T\xE4st", noWindow, false));
    }
    void TearDown() override {
        CloseGadgetWindow(testWindow);
        CloseGadgetWindow(otherWindow);
        while (WaitWindowEvent(0).kind != EventKind::NoEvent) {
        }
    }
};

long Milliseconds(std::chrono::steady_clock::time_point since) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - since)
                    .count());
}

}  // namespace

TEST_F(GadgetsTest, WindowIsCentredWithExactInnerSizeAndGadgetsAtTheirRectangles) {
    ASSERT_TRUE(CreateFrameGadget(testWindow, 1, 5, 0, 190, 115, ""));
    ASSERT_TRUE(CreateEntryGadget(testWindow, 2, 65, 23, 100, 20, "x", entryReadOnly));
    ASSERT_TRUE(CreateComboBoxGadget(testWindow, 3, 20, 60, 70, 25));
    ASSERT_TRUE(CreateSpinGadget(testWindow, 4, 100, 60, 70, 20, 1, 65535));
    ASSERT_TRUE(CreateLinkGadget(testWindow, 5, 40, 90, 75, 20, "link", 0x00FF00));
    EXPECT_FALSE(GadgetWindowVisible(testWindow));
    ShowGadgetWindow(testWindow);
    PumpToolkit(200);
    EXPECT_TRUE(GadgetWindowVisible(testWindow));

    GtkWidget* window = GadgetWindowWidget(testWindow);
    GtkAllocation inner;
    gtk_widget_get_allocation(window, &inner);
    EXPECT_EQ(inner.width, 200);
    EXPECT_EQ(inner.height, 120);
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "T\xC3\xA4st");

    GdkScreen* screen = gtk_widget_get_screen(window);
    gint x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &x, &y);
    EXPECT_NEAR(x, (gdk_screen_get_width(screen) - 200) / 2, 1);
    EXPECT_NEAR(y, (gdk_screen_get_height(screen) - 120) / 2, 1);

    struct Rect { int gadget, x, y, w, h; };
    for (Rect r : {Rect{1, 5, 0, 190, 115}, Rect{2, 65, 23, 100, 20}, Rect{3, 20, 60, 70, 25},
                   Rect{4, 100, 60, 70, 20}, Rect{5, 40, 90, 75, 20}}) {
        GtkAllocation a;
        gtk_widget_get_allocation(GadgetWidget(r.gadget), &a);
        EXPECT_EQ(a.x, r.x) << "gadget " << r.gadget;
        EXPECT_EQ(a.y, r.y) << "gadget " << r.gadget;
        EXPECT_EQ(a.width, r.w) << "gadget " << r.gadget;
        EXPECT_EQ(a.height, r.h) << "gadget " << r.gadget;
    }
}

TEST_F(GadgetsTest, HiddenWindowComesBackWhereItStood) {
    ShowGadgetWindow(testWindow);
    PumpToolkit(100);
    GtkWidget* window = GadgetWindowWidget(testWindow);
    gtk_window_move(GTK_WINDOW(window), 37, 41);
    PumpToolkit(150);
    HideGadgetWindow(testWindow);
    PumpToolkit(100);
    EXPECT_FALSE(GadgetWindowVisible(testWindow));
    EXPECT_FALSE(gtk_widget_get_mapped(window));
    ShowGadgetWindow(testWindow);
    PumpToolkit(150);
    gint x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &x, &y);
    EXPECT_EQ(x, 37);
    EXPECT_EQ(y, 41);
}

TEST_F(GadgetsTest, TextsCrossTheBoundaryAsLatin9) {
    const std::string latin9 = "Ger\xE4t \xA4 \xF6";  // the euro sign is 0xA4 in ISO-8859-15
    CreateTextGadget(testWindow, 1, 0, 0, 100, 20, latin9);
    CreateButtonGadget(testWindow, 2, 0, 20, 100, 20, latin9);
    CreateEntryGadget(testWindow, 3, 0, 40, 100, 20, latin9, 0);
    CreateFrameGadget(testWindow, 4, 0, 60, 100, 20, latin9);
    CreateCheckBoxGadget(testWindow, 5, 0, 80, 100, 20, latin9);
    CreateLinkGadget(testWindow, 6, 0, 100, 100, 20, latin9, 0xFF0000);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(GadgetWidget(1))), "Ger\xC3\xA4t \xE2\x82\xAC \xC3\xB6");
    for (int gadget = 1; gadget <= 6; ++gadget) {
        EXPECT_EQ(GetGadgetText(gadget), latin9) << "gadget " << gadget;
        SetGadgetText(gadget, "\xBD neu");  // 0xBD is the oe ligature in ISO-8859-15
        EXPECT_EQ(GetGadgetText(gadget), "\xBD neu") << "gadget " << gadget;
    }
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(GadgetWidget(2))), "\xC5\x93 neu");
    SetGadgetText(4, "");
    EXPECT_EQ(GetGadgetText(4), "");
}

TEST_F(GadgetsTest, EntryFlagsHideOrLockTheText) {
    CreateEntryGadget(testWindow, 1, 0, 0, 100, 20, "secret", entryPassword);
    CreateEntryGadget(testWindow, 2, 0, 20, 100, 20, " 0", entryReadOnly);
    CreateEntryGadget(testWindow, 3, 0, 40, 100, 20, "", 0);
    EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(GadgetWidget(1))));
    EXPECT_TRUE(gtk_editable_get_editable(GTK_EDITABLE(GadgetWidget(1))));
    EXPECT_EQ(GetGadgetText(1), "secret");
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(GadgetWidget(2))));
    EXPECT_TRUE(gtk_entry_get_visibility(GTK_ENTRY(GadgetWidget(2))));
    EXPECT_TRUE(gtk_editable_get_editable(GTK_EDITABLE(GadgetWidget(3))));
}

TEST_F(GadgetsTest, StatesOfCheckBoxComboBoxAndSpinBox) {
    CreateCheckBoxGadget(testWindow, 1, 0, 0, 100, 20, "c");
    EXPECT_EQ(GetGadgetState(1), 0);
    SetGadgetState(1, 1);
    EXPECT_EQ(GetGadgetState(1), 1);

    CreateComboBoxGadget(testWindow, 2, 0, 20, 100, 25);
    EXPECT_EQ(GetGadgetState(2), -1);
    EXPECT_EQ(GetGadgetText(2), "");
    AddGadgetItem(2, "Deutsch");
    AddGadgetItem(2, "English");
    SetGadgetText(2, "English");
    EXPECT_EQ(GetGadgetState(2), 1);
    EXPECT_EQ(GetGadgetText(2), "English");
    SetGadgetText(2, "Klingon");
    EXPECT_EQ(GetGadgetText(2), "English");
    SetGadgetState(2, 0);
    EXPECT_EQ(GetGadgetText(2), "Deutsch");

    CreateSpinGadget(testWindow, 3, 0, 50, 70, 20, 1, 65535);
    SetGadgetState(3, 8000);
    EXPECT_EQ(GetGadgetText(3), "8000");
    SetGadgetState(3, 70000);
    EXPECT_EQ(GetGadgetState(3), 65535);
    SetGadgetState(3, 0);
    EXPECT_EQ(GetGadgetState(3), 1);
    TypeIntoGadget(3, "1234");
    EXPECT_EQ(GetGadgetText(3), "1234");
}

TEST_F(GadgetsTest, OnlyUserActionsBecomeGadgetEvents) {
    CreateButtonGadget(testWindow, 1, 0, 0, 100, 20, "b");
    CreateCheckBoxGadget(testWindow, 2, 0, 20, 100, 20, "c");
    CreateComboBoxGadget(testWindow, 3, 0, 40, 100, 25);
    AddGadgetItem(3, "a");
    AddGadgetItem(3, "b");
    CreateLinkGadget(testWindow, 4, 0, 70, 100, 20, "l", 0x00FF00);
    SetGadgetState(2, 1);
    SetGadgetState(3, 1);
    SetGadgetText(1, "B");
    EXPECT_EQ(WaitWindowEvent(50).kind, EventKind::NoEvent);

    ClickGadget(1);
    ClickGadget(2);
    ChooseGadgetItem(3, 0);
    ClickGadget(4);
    for (int gadget : {1, 2, 3, 4}) {
        WindowEvent event = WaitWindowEvent(500);
        EXPECT_EQ(event.kind, EventKind::Gadget);
        EXPECT_EQ(event.window, testWindow);
        EXPECT_EQ(event.gadget, gadget);
    }
    EXPECT_EQ(GetGadgetState(2), 0);
}

TEST_F(GadgetsTest, LinkIsGreenWithAHandCursor) {
    CreateLinkGadget(testWindow, 1, 0, 0, 100, 20, "site", 0x00FF00);
    ShowGadgetWindow(testWindow);
    PumpToolkit(100);
    GtkWidget* button = GadgetWidget(1);
    EXPECT_EQ(gtk_button_get_relief(GTK_BUTTON(button)), GTK_RELIEF_NONE);
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    GdkColor fg = gtk_widget_get_style(label)->fg[GTK_STATE_NORMAL];
    EXPECT_EQ(fg.red, 0);
    EXPECT_EQ(fg.green, 0xFFFF);
    EXPECT_EQ(fg.blue, 0);
    GdkCursor* cursor = gdk_window_get_cursor(gtk_button_get_event_window(GTK_BUTTON(button)));
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(gdk_cursor_get_cursor_type(cursor), GDK_HAND2);
}

TEST_F(GadgetsTest, WaitHonoursItsTimeoutAndPostedEventsKeepTheirOrder) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitWindowEvent(150).kind, EventKind::NoEvent);
    long waited = Milliseconds(start);
    EXPECT_GE(waited, 140);
    EXPECT_LT(waited, 2000);

    WindowEvent first;
    first.kind = EventKind::Tray;
    first.window = testWindow;
    first.trayKind = trayLeftDoubleClick;
    WindowEvent second = first;
    second.trayKind = trayRightClick;
    PostWindowEvent(first);
    PostWindowEvent(second);
    EXPECT_EQ(WaitWindowEvent(0).trayKind, trayLeftDoubleClick);
    EXPECT_EQ(WaitWindowEvent(0).trayKind, trayRightClick);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent);
}

TEST_F(GadgetsTest, TimerFiresAndQueuesAtMostOneEvent) {
    AddWindowTimer(testWindow, 666, 100);
    auto start = std::chrono::steady_clock::now();
    WindowEvent event = WaitWindowEvent(3000);
    EXPECT_EQ(event.kind, EventKind::Timer);
    EXPECT_EQ(event.window, testWindow);
    EXPECT_EQ(event.timer, 666);
    EXPECT_GE(Milliseconds(start), 90);

    RemoveWindowTimer(testWindow, 666);
    AddWindowTimer(testWindow, 666, 400);
    PumpToolkit(1700);  // four periods pass without anybody taking an event
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::Timer);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent);

    RemoveWindowTimer(testWindow, 666);
    PumpToolkit(500);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent);
}

TEST_F(GadgetsTest, CloseRequestBecomesAnEventAndClosingDropsTheWindowsEvents) {
    ASSERT_TRUE(OpenGadgetWindow(otherWindow, 100, 50, "other", testWindow, true));
    ShowGadgetWindow(testWindow);
    PumpToolkit(100);
    RequestWindowClose(testWindow);
    WindowEvent event = WaitForEventKind(EventKind::CloseWindow, 2000);
    EXPECT_EQ(event.kind, EventKind::CloseWindow);
    EXPECT_EQ(event.window, testWindow);
    EXPECT_TRUE(GadgetWindowVisible(testWindow)) << "a close request alone closes nothing";

    CreateButtonGadget(testWindow, 1, 0, 0, 50, 20, "b");
    AddWindowTimer(testWindow, 666, 50);
    ClickGadget(1);
    WindowEvent other;
    other.kind = EventKind::Gadget;
    other.window = otherWindow;
    other.gadget = 99;
    PostWindowEvent(other);
    CloseGadgetWindow(testWindow);
    EXPECT_FALSE(GadgetWindowExists(testWindow));
    EXPECT_FALSE(GadgetExists(1));
    EXPECT_EQ(WaitWindowEvent(0).gadget, 99);
    PumpToolkit(200);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent) << "the closed window's timer still runs";
}

TEST_F(GadgetsTest, MessageBoxHasTitleTextAndOneOkButton) {
    MessageBoxAnswerer answerer(300);
    AddWindowTimer(testWindow, 666, 50);
    ShowMessageBox("Fehler", "Ger\xE4t\n\rzwei");
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].title, "Fehler");
    EXPECT_EQ(answerer.seen[0].text, "Ger\xE4t\nzwei") << "one line break for each LF CR";
    EXPECT_EQ(answerer.seen[0].buttons, 1);
    // The timer kept running while the box was open, yet left one event, not a pile.
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::Timer);
    RemoveWindowTimer(testWindow, 666);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent);
}

TEST_F(GadgetsTest, PngImagesFontsAndWindowIcon) {
    EXPECT_TRUE(LoadImageFromPng(9, iconImage, iconImageSize));
    ASSERT_TRUE(ImageLoaded(9));
    GdkPixbuf* pixbuf = GadgetImagePixbuf(9);
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), 16);
    EXPECT_EQ(gdk_pixbuf_get_height(pixbuf), 16);
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(pixbuf));
    SetGadgetWindowIcon(testWindow, 9);
    EXPECT_EQ(gtk_window_get_icon(GTK_WINDOW(GadgetWindowWidget(testWindow))), pixbuf);

    const unsigned char broken[] = {0x89, 'P', 'N', 'G', 0, 1, 2, 3};
    EXPECT_FALSE(LoadImageFromPng(9, broken, sizeof broken));
    EXPECT_FALSE(ImageLoaded(9));
    EXPECT_FALSE(LoadImageFromPng(8, iconImage, iconImageSize / 2));
    EXPECT_FALSE(ImageLoaded(8));

    ASSERT_TRUE(LoadGadgetFont(0, "Verdana", 7));
    EXPECT_TRUE(GadgetFontLoaded(0));
    EXPECT_FALSE(GadgetFontLoaded(3));
    SetDefaultGadgetFont(0);
    CreateTextGadget(testWindow, 1, 0, 0, 100, 20, "font");
    gtk_widget_ensure_style(GadgetWidget(1));
    const PangoFontDescription* font = gtk_widget_get_style(GadgetWidget(1))->font_desc;
    EXPECT_STREQ(pango_font_description_get_family(font), "Verdana");
    EXPECT_EQ(pango_font_description_get_size(font), 7 * PANGO_SCALE);
}

TEST_F(GadgetsTest, CallsOnMissingWindowsAndGadgetsDoNothing) {
    EXPECT_FALSE(CreateButtonGadget(42, 1, 0, 0, 10, 10, "x"));
    EXPECT_FALSE(GadgetExists(1));
    SetGadgetText(1234, "x");
    EXPECT_EQ(GetGadgetText(1234), "");
    EXPECT_EQ(GetGadgetState(1234), 0);
    EXPECT_FALSE(OpenGadgetWindow(otherWindow, 0, 10, "bad", noWindow, true));
    ASSERT_TRUE(CreateButtonGadget(testWindow, 1, 0, 0, 10, 10, "old"));
    ASSERT_TRUE(CreateTextGadget(testWindow, 1, 0, 0, 10, 10, "new"));
    EXPECT_EQ(GetGadgetText(1), "new");
    GList* children = gtk_container_get_children(
        GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(GadgetWindowWidget(testWindow)))));
    EXPECT_EQ(g_list_length(children), 1u) << "the replaced gadget stays in the window";
    g_list_free(children);
}
