// The Win32 gadget toolkit under Wine with a real display: windows of the asked inner size,
// gadget texts beyond ASCII, states, spin boxes that read as numbers within their range, events
// from presses, the close button, timers and the tray, and the program's own icon.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "core/platform.h"
#include "core/program_state.h"
#include "desktop/gadgets.h"
#include "tests/support/wait.h"
#include "windows/program_icon.h"
#include "windows/win32/win32_toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int window = 3;
constexpr int otherWindow = 4;

class Win32Gadgets : public ::testing::Test {
protected:
    void SetUp() override {
        int argc = 0;
        char** argv = nullptr;
        ASSERT_TRUE(InitGadgets(argc, argv)) << "the toolkit needs a display";
        ASSERT_TRUE(OpenGadgetWindow(window, 350, 177, "Lumora v1.4", noWindow, true));
        Drain();
    }
    void TearDown() override {
        CloseGadgetWindow(window);
        CloseGadgetWindow(otherWindow);
        Drain();
    }
    static void Drain() {
        while (WaitWindowEvent(0).kind != EventKind::NoEvent) {
        }
    }
    static HWND Control(int gadget) { return GetDlgItem(GadgetWindowHandle(window), gadget); }
};

TEST_F(Win32Gadgets, WindowHasTheInnerSizeAskedFor) {
    RECT inner;
    ASSERT_TRUE(GetClientRect(GadgetWindowHandle(window), &inner));
    EXPECT_EQ(inner.right - inner.left, 350);
    EXPECT_EQ(inner.bottom - inner.top, 177);
    EXPECT_TRUE(GadgetWindowVisible(window));
    HideGadgetWindow(window);
    EXPECT_FALSE(GadgetWindowVisible(window));
    ShowGadgetWindow(window);
    EXPECT_TRUE(GadgetWindowVisible(window));
    EXPECT_FALSE(OpenGadgetWindow(otherWindow, 0, 10, "x", noWindow, false));
}

TEST_F(Win32Gadgets, TextsKeepCharactersBeyondAscii) {
    const std::string german = "Bildqualit\xE4t \xA4";  // ISO-8859-15: a-umlaut, euro sign
    ASSERT_TRUE(CreateFrameGadget(window, 10, 5, 0, 340, 170, german));
    ASSERT_TRUE(CreateTextGadget(window, 11, 20, 25, 35, 20, german));
    ASSERT_TRUE(CreateEntryGadget(window, 12, 65, 23, 150, 20, " Inaktiv", entryReadOnly));
    ASSERT_TRUE(CreateButtonGadget(window, 13, 230, 17, 100, 20, "Starten"));
    ASSERT_TRUE(CreateCheckBoxGadget(window, 14, 30, 150, 150, 20, german));
    ASSERT_TRUE(CreateLinkGadget(window, 15, 100, 142, 75, 20, "ip.lumora-cam.net", 0x00FF00));
    ASSERT_TRUE(CreateEntryGadget(window, 16, 65, 53, 150, 20, "", entryPassword));
    for (int gadget : {10, 11, 14}) EXPECT_EQ(GetGadgetText(gadget), german) << gadget;
    EXPECT_EQ(GetGadgetText(12), " Inaktiv");
    SetGadgetText(12, " Aktiv");
    EXPECT_EQ(GetGadgetText(12), " Aktiv");
    SetGadgetText(13, "Beenden");
    EXPECT_EQ(GetGadgetText(13), "Beenden");
    EXPECT_EQ(GetGadgetText(15), "ip.lumora-cam.net");
    SetGadgetText(16, "geheim\xDF");
    EXPECT_EQ(GetGadgetText(16), "geheim\xDF");
    EXPECT_TRUE(GetWindowLongW(Control(16), GWL_STYLE) & ES_PASSWORD);
    EXPECT_TRUE(GetWindowLongW(Control(12), GWL_STYLE) & ES_READONLY);

    RECT place;
    GetWindowRect(Control(13), &place);
    MapWindowPoints(nullptr, GadgetWindowHandle(window), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 230);
    EXPECT_EQ(place.top, 17);
    EXPECT_EQ(place.right - place.left, 100);
    EXPECT_EQ(place.bottom - place.top, 20);
    EXPECT_EQ(GetGadgetText(99), "") << "no such gadget";
}

TEST_F(Win32Gadgets, CheckBoxAndComboBoxStates) {
    ASSERT_TRUE(CreateCheckBoxGadget(window, 20, 30, 150, 150, 20, "IP-Check"));
    EXPECT_EQ(GetGadgetState(20), 0);
    SetGadgetState(20, 1);
    EXPECT_EQ(GetGadgetState(20), 1);
    ASSERT_TRUE(CreateComboBoxGadget(window, 21, 265, 150, 70, 20));
    EXPECT_EQ(GetGadgetState(21), -1);
    EXPECT_EQ(GetGadgetText(21), "");
    AddGadgetItem(21, "Deutsch");
    AddGadgetItem(21, "English");
    SetGadgetText(21, "English");
    EXPECT_EQ(GetGadgetState(21), 1);
    EXPECT_EQ(GetGadgetText(21), "English");
    SetGadgetState(21, 0);
    EXPECT_EQ(GetGadgetText(21), "Deutsch");
    SetGadgetText(21, "Klingonisch");
    EXPECT_EQ(GetGadgetText(21), "Deutsch") << "an unknown item leaves the choice";
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent) << "changes made here are no user action";
}

TEST_F(Win32Gadgets, SpinBoxesReadAsNumbersWithinTheirRange) {
    ASSERT_TRUE(CreateSpinGadget(window, 30, 265, 210, 70, 20, 0, 9));
    EXPECT_EQ(GetGadgetState(30), 0);
    SetGadgetState(30, 12);
    EXPECT_EQ(GetGadgetState(30), 9);
    EXPECT_EQ(GetGadgetText(30), "9");
    // What a user may type: digits beyond the range, leading zeros, nothing at all.
    SetWindowTextW(Control(30), L"0004");
    EXPECT_EQ(GetGadgetText(30), "4");
    SetWindowTextW(Control(30), L"70000");
    EXPECT_EQ(GetGadgetState(30), 9);
    SetWindowTextW(Control(30), L"");
    EXPECT_EQ(GetGadgetText(30), "9") << "an empty field keeps the last number";

    ASSERT_TRUE(CreateSpinGadget(window, 31, 265, 180, 70, 20, 1, 65535));
    SetGadgetState(31, 8000);
    EXPECT_EQ(GetGadgetText(31), "8000");
    SetGadgetState(31, -5);
    EXPECT_EQ(GetGadgetState(31), 1);
    EXPECT_FALSE(CreateSpinGadget(window, 32, 0, 0, 70, 20, 5, 1));
}

TEST_F(Win32Gadgets, PressesBecomeGadgetEventsOfTheirWindow) {
    ASSERT_TRUE(CreateButtonGadget(window, 40, 80, 290, 100, 20, "OK"));
    ASSERT_TRUE(CreateCheckBoxGadget(window, 41, 30, 150, 150, 20, "Mit Windows starten"));
    SendMessageW(Control(40), BM_CLICK, 0, 0);
    SendMessageW(Control(41), BM_CLICK, 0, 0);
    WindowEvent first = WaitWindowEvent(2000);
    EXPECT_EQ(first.kind, EventKind::Gadget);
    EXPECT_EQ(first.window, window);
    EXPECT_EQ(first.gadget, 40);
    WindowEvent second = WaitWindowEvent(2000);
    EXPECT_EQ(second.gadget, 41);
    EXPECT_EQ(GetGadgetState(41), 1);
}

TEST_F(Win32Gadgets, CloseButtonAsksAndLeavesTheWindow) {
    PostMessageW(GadgetWindowHandle(window), WM_SYSCOMMAND, SC_CLOSE, 0);
    WindowEvent event = WaitWindowEvent(2000);
    EXPECT_EQ(event.kind, EventKind::CloseWindow);
    EXPECT_EQ(event.window, window);
    EXPECT_TRUE(GadgetWindowExists(window)) << "the program decides whether it closes";
    EXPECT_TRUE(IsWindow(GadgetWindowHandle(window)));
}

TEST_F(Win32Gadgets, WaitEndsAfterItsTimeoutAndPostedEventsComeInOrder) {
    auto start = Clock::now();
    EXPECT_EQ(WaitWindowEvent(150).kind, EventKind::NoEvent);
    EXPECT_GE(MillisecondsSince(start), 140);
    EXPECT_LT(MillisecondsSince(start), 2000);

    WindowEvent a;
    a.kind = EventKind::Gadget;
    a.window = window;
    a.gadget = 1;
    WindowEvent b = a;
    b.gadget = 2;
    PostWindowEvent(a);
    PostWindowEvent(b);
    EXPECT_EQ(WaitWindowEvent().gadget, 1);
    EXPECT_EQ(WaitWindowEvent().gadget, 2);

    ASSERT_TRUE(OpenGadgetWindow(otherWindow, 100, 100, "other", noWindow, false));
    b.window = otherWindow;
    PostWindowEvent(b);
    CloseGadgetWindow(otherWindow);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent) << "a closed window's events are dropped";
}

TEST_F(Win32Gadgets, TimerEventsDoNotPileUp) {
    AddWindowTimer(window, 666, 100);
    WindowEvent event = WaitWindowEvent(3000);
    EXPECT_EQ(event.kind, EventKind::Timer);
    EXPECT_EQ(event.timer, 666);
    EXPECT_EQ(event.window, window);
    // Several periods pass while nobody takes events: one timer event waits, not several.
    Sleep(550);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::Timer);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent);
    RemoveWindowTimer(window, 666);
    Sleep(250);
    EXPECT_EQ(WaitWindowEvent(0).kind, EventKind::NoEvent) << "a removed timer stays silent";
}

TEST_F(Win32Gadgets, TrayClicksBecomeTrayEvents) {
    // The notification area's callback message, as it arrives for a click on the icon.
    constexpr UINT trayCallback = 12501;
    HWND handle = GadgetWindowHandle(window);
    SendMessageW(handle, trayCallback, 0, WM_LBUTTONDBLCLK);
    SendMessageW(handle, trayCallback, 0, WM_MOUSEMOVE);
    SendMessageW(handle, trayCallback, 0, WM_RBUTTONDOWN);
    WindowEvent event = WaitWindowEvent(0);
    EXPECT_EQ(event.kind, EventKind::Tray);
    EXPECT_EQ(event.trayKind, trayLeftDoubleClick);
    EXPECT_EQ(event.tray, 0);
    EXPECT_EQ(WaitWindowEvent(0).trayKind, trayRightClick) << "mouse moves are not clicks";
    EXPECT_EQ(TrayTipText(std::string(80, 'x')), std::wstring(63, L'x'));
    EXPECT_EQ(TrayTipText("Lumora v1.4"), L"Lumora v1.4");
    EXPECT_FALSE(AddTrayIcon(0, window, 7)) << "no picture in the slot";
    EXPECT_FALSE(TrayIconExists(0));
}

TEST_F(Win32Gadgets, ProgramIconAndPngPictures) {
    std::string own = ReadProgramPath();
    programState.programPath = own;
    EXPECT_FALSE(LoadProgramIcon(9)) << "the test program carries no icon";
    EXPECT_FALSE(ImageLoaded(9));
    // The Windows program itself, two folders up from this test program.
    programState.programPath = own.substr(0, own.rfind('\\', own.rfind('\\', own.rfind('\\') - 1) - 1)) +
                               "\\lumora-win.exe";
    EXPECT_TRUE(LoadProgramIcon(9)) << programState.programPath;
    EXPECT_TRUE(ImageLoaded(9));

    std::ifstream png(LUMORA_ICON_PNG, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(png)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(LoadImageFromPng(8, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    EXPECT_FALSE(LoadImageFromPng(8, reinterpret_cast<const unsigned char*>("not a picture"), 13));
    EXPECT_FALSE(ImageLoaded(8));
}

TEST_F(Win32Gadgets, DefaultFontReachesNewGadgets) {
    ASSERT_TRUE(LoadGadgetFont(0, "Arial", 8));
    EXPECT_TRUE(GadgetFontLoaded(0));
    EXPECT_FALSE(GadgetFontLoaded(5));
    SetDefaultGadgetFont(0);
    ASSERT_TRUE(CreateButtonGadget(window, 50, 0, 0, 100, 20, "Vorschau"));
    HFONT font = HFONT(SendMessageW(Control(50), WM_GETFONT, 0, 0));
    LOGFONTW described{};
    ASSERT_TRUE(GetObjectW(font, sizeof described, &described));
    EXPECT_STREQ(described.lfFaceName, L"Arial");
}

}  // namespace
