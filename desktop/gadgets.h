// The small gadget toolkit the desktop code is written against: numbered windows and gadgets at
// fixed pixel positions, a window timer, a message box, a tray icon and a pull-style event wait.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Every text crossing this interface is ISO-8859-15; each implementation converts at its own
// boundary (UTF-8 for GTK 2, UTF-16 for Win32). All calls belong to the main thread.
//
// Window numbers and gadget numbers are chosen by the caller. Gadget numbers are unique across
// all windows; making a gadget with a number in use replaces the old gadget. Positions and sizes
// are pixels inside the window's inner area, with no layout managers.

// Starts the toolkit; it may take its own options out of the command line. False when it cannot
// run (for example without a display); every later call then fails quietly.
bool InitGadgets(int& argc, char**& argv);

// ---- Fonts and images ---------------------------------------------------------------------------

// Loads a font by family name and point size into a numbered slot; false when it cannot.
bool LoadGadgetFont(int font, const std::string& name, int size);
bool GadgetFontLoaded(int font);
// Makes a loaded font the default of gadgets made afterwards, dialogs and message boxes included.
void SetDefaultGadgetFont(int font);

// Decodes PNG bytes into a numbered image slot; false (slot left empty) when they cannot be read.
bool LoadImageFromPng(int image, const unsigned char* bytes, std::size_t size);
bool ImageLoaded(int image);

// ---- Windows ------------------------------------------------------------------------------------

inline constexpr int noWindow = -1;

// A window centred on the screen, not resizable, with close and minimise buttons. With a parent
// it is kept above that window. Hidden windows appear on ShowGadgetWindow. False on failure.
bool OpenGadgetWindow(int window, int innerWidth, int innerHeight, const std::string& title,
                      int parentWindow, bool visible);
// Closes the window and frees its gadgets and timers; its pending events are dropped.
void CloseGadgetWindow(int window);
bool GadgetWindowExists(int window);
void SetGadgetWindowIcon(int window, int image);
// Hiding remembers where the window stands on the screen and takes it off the screen and the
// task bar; showing brings it back at that place (centred the first time) and returns once it is
// drawn there (or, on a display that does not map it, after at most a second).
void HideGadgetWindow(int window);
void ShowGadgetWindow(int window);
bool GadgetWindowVisible(int window);

// ---- Gadgets ------------------------------------------------------------------------------------

inline constexpr int entryPassword = 1;  // characters hidden
inline constexpr int entryReadOnly = 2;

// A group frame; an empty caption gives a frame without caption.
bool CreateFrameGadget(int window, int gadget, int x, int y, int width, int height,
                       const std::string& caption);
// Left-aligned static text.
bool CreateTextGadget(int window, int gadget, int x, int y, int width, int height,
                      const std::string& text);
// One-line entry; flags are entryPassword and entryReadOnly.
bool CreateEntryGadget(int window, int gadget, int x, int y, int width, int height,
                       const std::string& text, int flags);
bool CreateButtonGadget(int window, int gadget, int x, int y, int width, int height,
                        const std::string& caption);
bool CreateCheckBoxGadget(int window, int gadget, int x, int y, int width, int height,
                          const std::string& caption);
// A drop-down list; fill it with AddGadgetItem, select with SetGadgetState.
bool CreateComboBoxGadget(int window, int gadget, int x, int y, int width, int height);
// An editable numeric entry with up and down arrows, limited to minimum..maximum.
bool CreateSpinGadget(int window, int gadget, int x, int y, int width, int height, int minimum,
                      int maximum);
// A flat button that looks like a link: text in the colour 0xRRGGBB, hand cursor over it.
bool CreateLinkGadget(int window, int gadget, int x, int y, int width, int height,
                      const std::string& text, uint32_t rgbColour);

bool GadgetExists(int gadget);
void AddGadgetItem(int gadget, const std::string& text);

// Caption of frames, texts, buttons, check boxes and links; content of entries; the text shown
// by spin boxes; the selected item of combo boxes (empty when none; setting selects the item
// with that text).
void SetGadgetText(int gadget, const std::string& text);
std::string GetGadgetText(int gadget);
// False when the text holds a character that ISO-8859-15 has no place for, which GetGadgetText
// gives as "?": what the user typed must be refused rather than stored as something else.
bool GadgetTextFitsLatin9(int gadget);
// Check boxes: 1 checked, 0 not. Combo boxes: index of the selected item, -1 none.
// Spin boxes: the value, kept within the range.
void SetGadgetState(int gadget, int state);
int GetGadgetState(int gadget);

// ---- Timers, message box ------------------------------------------------------------------------

// Repeats every period; a timer event still waiting to be taken is not queued a second time.
void AddWindowTimer(int window, int timer, int periodMilliseconds);
void RemoveWindowTimer(int window, int timer);

// Modal box with one OK button; returns when it is closed.
void ShowMessageBox(const std::string& title, const std::string& text);

// ---- Tray icon ----------------------------------------------------------------------------------

inline constexpr int trayLeftClick = 0;
inline constexpr int trayRightClick = 1;
inline constexpr int trayLeftDoubleClick = 2;
inline constexpr int trayRightDoubleClick = 3;

// An icon in the desktop's tray showing the image; clicks on it arrive as tray events of the
// window. False when it cannot be added (for example no image in the slot).
bool AddTrayIcon(int tray, int window, int image);
void SetTrayIconToolTip(int tray, const std::string& text);
void RemoveTrayIcon(int tray);
bool TrayIconExists(int tray);

// ---- Events -------------------------------------------------------------------------------------

// NoEvent rather than None: Xlib defines None as a macro.
enum class EventKind { NoEvent, Gadget, Timer, CloseWindow, Tray };

struct WindowEvent {
    EventKind kind = EventKind::NoEvent;
    int window = noWindow;  // the window the event belongs to
    int gadget = -1;        // Gadget: the gadget pressed or changed
    int timer = -1;         // Timer: the timer's number
    int trayKind = -1;      // Tray: trayLeftClick ... trayRightDoubleClick
    int tray = -1;          // Tray: the tray icon's number
};

// Takes the next event, waiting for it; with a timeout of 0 or more, waits at most that many
// milliseconds and returns an event of kind NoEvent when none came. Gadget events come from button,
// check box, link and combo box selections.
WindowEvent WaitWindowEvent(int timeoutMilliseconds = -1);
// Queues an event behind those already waiting and wakes a waiting WaitWindowEvent.
void PostWindowEvent(const WindowEvent& event);
