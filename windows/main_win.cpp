// The Windows program's entry: start-up with the Win32 toolkit, its font and the program's own
// icon, the event loop, and shutdown.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "program/startup.h"
#include "desktop/event_loop.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"
#include "windows/program_icon.h"
#include "windows/wide_text.h"

namespace {

const char interfaceFontName[] = "Arial";
constexpr int interfaceFontSize = 8;

void LoadInterfaceFont() { LoadGadgetFont(interfaceFont, interfaceFontName, interfaceFontSize); }

void TakeProgramIcon() { LoadProgramIcon(iconImageSlot); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> arguments;
    for (int i = 0; wideArguments && i < argc; ++i) arguments.push_back(PathFromWide(wideArguments[i]));
    LocalFree(wideArguments);
    argc = int(arguments.size());
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    char** argv = pointers.data();

    DesktopStartUp desktop;
    desktop.startToolkit = InitGadgets;
    desktop.loadFont = LoadInterfaceFont;
    desktop.decodeIcon = TakeProgramIcon;
    StartUp(argc, argv, desktop);
    MainEventLoop();
    // Worker threads are never joined: ending the process ends them, before anything that the
    // runtime would tear down at a normal return could be pulled from under them.
    ExitProcess(UINT(ShutDown()));
}
