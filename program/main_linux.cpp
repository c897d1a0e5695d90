// The program entry: start-up with the desktop's own steps, the event loop until the main window
// closes, and shutdown.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "core/constants.h"
#include "program/end_signals.h"
#include "program/fatal_error.h"
#include "program/startup.h"
#include "desktop/event_loop.h"
#include "desktop/fatal_message.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"

extern const unsigned char iconImage[];
extern const std::size_t iconImageSize;

namespace {

// Without a display there is nothing the program could do: it ends before start-up has made
// anything in the temporary directory, and the one line says why nothing appeared.
bool StartToolkit(int& argc, char**& argv) {
    if (InitGadgets(argc, argv)) return true;
    std::fputs("lumora: cannot open the display\n", stderr);
    std::_Exit(1);
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
    EndProgramOnTerminationSignals();
    StartUp(argc, argv, desktop);
    EndProgramOnLostDisplay(OnFatalError);
    MainEventLoop();
    EndProgram();
}
