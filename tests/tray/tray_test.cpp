// Hiding to the tray and the tray icon's clicks, on a display of the test's own with trayer as the
// tray manager: real clicks by xdotool on the docked icon, taken and handled as the event loop
// does. Hide docks the icon with the title and unmaps the window; only a left double-click brings
// the window back, at its place; without a tray or an image the window stays on screen.
#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros (None) would otherwise replace.
#include <gdk/gdkx.h>

#include <cstdlib>
#include <sstream>

#include "core/constants.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "desktop/event_loop.h"
#include "desktop/gtk/gtk_toolkit.h"
#include "desktop/gtk/gtk_tray.h"
#include "desktop/main_window.h"
#include "desktop/settings_dialog.h"
#include "desktop/tray.h"
#include "tests/desktop/gui_support.h"
#include "tests/support/program_state.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"

extern const unsigned char iconImage[];
extern const std::size_t iconImageSize;

namespace {

PrivateDisplay* display = nullptr;

// One display with a tray manager and one toolkit for the whole program.
class TraySession : public testing::Environment {
public:
    void SetUp() override {
        display = new PrivateDisplay(true);
        ASSERT_TRUE(display->ok()) << "no private X display with trayer";
        setenv("DISPLAY", display->name().c_str(), 1);
        ASSERT_TRUE(StartGadgetsForTest());
        ASSERT_TRUE(LoadImageFromPng(iconImageSlot, iconImage, iconImageSize));
    }
    void TearDown() override {
        delete display;
        display = nullptr;
    }
};
const testing::Environment* const session = testing::AddGlobalTestEnvironment(new TraySession);

struct Position {
    int x = -1;
    int y = -1;
    bool operator==(const Position&) const = default;
};

std::string WindowId(int window) {
    GtkWidget* widget = GadgetWindowWidget(window);
    return widget && gtk_widget_get_window(widget)
               ? std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(widget)))
               : std::string();
}

// Where the window stands on the screen, as xdotool sees it.
Position ScreenPosition(int window) {
    std::istringstream lines(RunCommand({"xdotool", "getwindowgeometry", WindowId(window)}, display->name()));
    Position at;
    for (std::string line; std::getline(lines, line);)
        if (line.find("Position:") != std::string::npos)
            std::sscanf(line.c_str(), " Position: %d,%d", &at.x, &at.y);
    return at;
}

// The main window as the X server sees it: mapped and viewable, found by its title.
bool MainWindowOnScreen() { return !FindWindows(display->name(), "^Lumora v1\\.4$", true).empty(); }

bool IconDocked() {
    GtkStatusIcon* icon = TrayIconWidget(mainTrayIcon);
    return icon && gtk_status_icon_is_embedded(icon);
}

class TrayTest : public testing::Test {
protected:
    TempDir dir;
    MainLoopState loop;
    MessageBoxAnswerer boxes;

    void SetUp() override {
        ResetProgramState(dir.path());
        ProgramState& s = programState;
        s.settingPort.Set("8080");
        ASSERT_TRUE(OpenMainWindow());
        s.mainWindowReady.store(1);
        ShowGadgetWindow(mainWindow);
        ASSERT_TRUE(WaitFor(MainWindowOnScreen));
    }
    void TearDown() override {
        RemoveTrayIcon(mainTrayIcon);
        CloseGadgetWindow(mainWindow);
        programState.mainWindowReady.store(0);
        PumpToolkit(50);
    }

    // Lets the toolkit work while waiting for the condition.
    static bool WaitFor(bool (*condition)(), int limitMilliseconds = 5000) {
        for (int waited = 0; waited < limitMilliseconds; waited += 25) {
            if (condition()) return true;
            PumpToolkit(25);
        }
        return condition();
    }

    void Hide() {
        HideToTray(mainWindow, iconImageSlot, windowTitle);
        ASSERT_TRUE(WaitFor(IconDocked)) << "the icon did not dock";
    }

    // Clicks the docked icon with xdotool, then takes the events that come of it and handles them
    // as the event loop does; returns the tray event kinds in order.
    std::vector<int> ClickIcon(int button, int count) {
        std::string icon = std::to_string(gtk_status_icon_get_x11_window_id(TrayIconWidget(mainTrayIcon)));
        RunCommand({"xdotool", "mousemove", "--window", icon, "8", "8", "click", "--repeat",
                    std::to_string(count), "--delay", "80", std::to_string(button)},
                   display->name());
        return TakeTrayEvents();
    }

    std::vector<int> TakeTrayEvents() {
        std::vector<int> kinds;
        for (;;) {
            WindowEvent event = WaitWindowEvent(400);
            if (event.kind == EventKind::NoEvent) return kinds;
            if (event.kind == EventKind::Tray) {
                EXPECT_EQ(event.window, mainWindow);
                EXPECT_EQ(event.tray, mainTrayIcon);
                kinds.push_back(event.trayKind);
            }
            EXPECT_TRUE(HandleMainEvent(loop, event));
        }
    }
};

TEST_F(TrayTest, HideDocksTheIconWithTheTitleAndUnmapsTheWindow) {
    Hide();
    EXPECT_FALSE(GadgetWindowVisible(mainWindow));
    EXPECT_TRUE(WaitFor([] { return !MainWindowOnScreen(); }));
    gchar* tip = gtk_status_icon_get_tooltip_text(TrayIconWidget(mainTrayIcon));
    EXPECT_STREQ(tip, "Lumora v1.4");
    g_free(tip);
    // Docked means the icon's window now lives inside the tray manager's window.
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window icon = gtk_status_icon_get_x11_window_id(TrayIconWidget(mainTrayIcon));
    ASSERT_TRUE(XQueryTree(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), icon, &root, &parent, &children, &count));
    if (children) XFree(children);
    EXPECT_NE(parent, root);
}

TEST_F(TrayTest, LeftDoubleClickRestoresAtThePinnedPlaceAndRemovesTheIcon) {
    // Somewhere the user moved it, away from the centre where it opened.
    RunCommand({"xdotool", "windowmove", "--sync", WindowId(mainWindow), "97", "131"}, display->name());
    ASSERT_TRUE(WaitFor([] { return ScreenPosition(mainWindow) == Position{97, 131}; }));
    Position before = ScreenPosition(mainWindow);
    Hide();
    ASSERT_TRUE(WaitFor([] { return !MainWindowOnScreen(); }));

    // The first release of a double-click is a single click of its own.
    EXPECT_EQ(ClickIcon(1, 2), (std::vector<int>{trayLeftClick, trayLeftDoubleClick}));
    EXPECT_FALSE(TrayIconExists(mainTrayIcon));
    ASSERT_TRUE(WaitFor(MainWindowOnScreen));
    EXPECT_EQ(ScreenPosition(mainWindow), before);

    // A second Hide adds the icon again, and it restores again.
    Hide();
    EXPECT_TRUE(WaitFor([] { return !MainWindowOnScreen(); }));
    EXPECT_EQ(ClickIcon(1, 2), (std::vector<int>{trayLeftClick, trayLeftDoubleClick}));
    EXPECT_TRUE(WaitFor(MainWindowOnScreen));
    EXPECT_EQ(ScreenPosition(mainWindow), before);
}

TEST_F(TrayTest, SingleClicksAndRightDoubleClickLeaveTheWindowHidden) {
    Hide();
    EXPECT_EQ(ClickIcon(3, 2), (std::vector<int>{trayRightClick, trayRightDoubleClick}));
    EXPECT_EQ(ClickIcon(1, 1), (std::vector<int>{trayLeftClick}));
    EXPECT_EQ(ClickIcon(3, 1), (std::vector<int>{trayRightClick}));
    // The middle button makes no tray event at all.
    EXPECT_EQ(ClickIcon(2, 1), (std::vector<int>{}));
    PumpToolkit(200);
    EXPECT_TRUE(IconDocked());
    EXPECT_FALSE(GadgetWindowVisible(mainWindow));
    EXPECT_FALSE(MainWindowOnScreen());
}

TEST_F(TrayTest, ClicksWhileTheSettingsDialogIsOpenAreDropped) {
    Hide();
    // Counts the releases the icon receives, whatever its own handler does with them.
    int releases = 0;
    guint signal = g_signal_lookup("button-release-event", GTK_TYPE_STATUS_ICON);
    gulong hook = g_signal_add_emission_hook(
        signal, 0,
        [](GSignalInvocationHint*, guint, const GValue*, gpointer data) -> gboolean {
            ++*static_cast<int*>(data);
            return TRUE;
        },
        &releases, nullptr);
    // The double-click comes while the dialog waits; Cancel is pressed once both releases came.
    std::string icon = std::to_string(gtk_status_icon_get_x11_window_id(TrayIconWidget(mainTrayIcon)));
    RunningProgram clicks("/bin/sh",
                          {"-c", "sleep 0.3; xdotool mousemove --window " + icon +
                                     " 8 8 click --repeat 2 --delay 80 1"},
                          {"DISPLAY=" + display->name()}, dir.path());
    guint cancel = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            if (*static_cast<int*>(data) < 2) return TRUE;
            ClickGadget(gadgetCancelButton);
            return FALSE;
        },
        &releases);
    guint giveUp = g_timeout_add(
        8000,
        [](gpointer) -> gboolean {
            ClickGadget(gadgetCancelButton);
            return FALSE;
        },
        nullptr);
    EXPECT_EQ(SettingsDialog(showAlways), 0);
    g_source_remove(giveUp);
    if (releases < 2) g_source_remove(cancel);
    g_signal_remove_emission_hook(signal, hook);
    ASSERT_EQ(releases, 2) << "the clicks did not reach the icon while the dialog was open";

    EXPECT_EQ(TakeTrayEvents(), (std::vector<int>{}));
    EXPECT_TRUE(IconDocked());
    EXPECT_FALSE(MainWindowOnScreen());
}

TEST_F(TrayTest, WithoutAnImageTheWindowStaysOnScreen) {
    const int emptySlot = 31;
    ASSERT_FALSE(ImageLoaded(emptySlot));
    HideToTray(mainWindow, emptySlot, windowTitle);
    EXPECT_FALSE(TrayIconExists(mainTrayIcon));
    EXPECT_TRUE(GadgetWindowVisible(mainWindow));
    EXPECT_TRUE(WaitFor(MainWindowOnScreen));
}

TEST_F(TrayTest, WithoutATrayManagerTheWindowStaysOnScreen) {
    display->StopTray();
    ASSERT_FALSE(TrayManagerPresent(display->name()));
    HideToTray(mainWindow, iconImageSlot, windowTitle);
    EXPECT_FALSE(TrayIconExists(mainTrayIcon));
    EXPECT_TRUE(GadgetWindowVisible(mainWindow));
    PumpToolkit(100);
    EXPECT_TRUE(MainWindowOnScreen());
    ASSERT_TRUE(display->StartTray());
}

}  // namespace
