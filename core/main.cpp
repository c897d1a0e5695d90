// The program entry: start-up with the desktop's own steps, the event loop until the main window
// closes, and shutdown.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "core/constants.h"
#include "core/fatal_error.h"
#include "core/startup.h"
#include "desktop/event_loop.h"
#include "desktop/fatal_message.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"

extern const unsigned char iconImage[];
extern const std::size_t iconImageSize;

namespace {

// Without a display the settings dialog and the main window cannot open, so the program ends
// through its normal shutdown; the one line says why nothing appeared.
bool StartToolkit(int& argc, char**& argv) {
    bool started = InitGadgets(argc, argv);
    if (!started) std::fputs("lumora: cannot open the display\n", stderr);
    return started;
}

void LoadInterfaceFont() { LoadGadgetFont(interfaceFont, defaultFontName, defaultFontSize); }

void DecodeIcon() { LoadImageFromPng(iconImageSlot, iconImage, iconImageSize); }

}  // namespace

int main(int argc, char** argv) {
    // Started by the fatal-error handler of a faulted run of the program only to show its message.
    FatalMessageRequest fatalMessage;
    if (ReadFatalMessageRequest(argc, argv, fatalMessage)) ShowFatalMessage(fatalMessage);

    DesktopStartUp desktop;
    desktop.startToolkit = StartToolkit;
    desktop.loadFont = LoadInterfaceFont;
    desktop.decodeIcon = DecodeIcon;
    StartUp(argc, argv, desktop);
    EndProgramOnLostDisplay();
    MainEventLoop();
    int status = ShutDown();
    // The server and capture threads are never joined and may still be running: the process ends
    // here, without the static destructors that would free what those threads use under them.
    std::fflush(nullptr);
    std::_Exit(status);
}
