// The Windows program's start-up and shutdown on the main thread: its own paths, random source,
// language from the system, the capture library bound before anything is created, and removal
// of the working directory at the end.
#include <winsock2.h>

#include <cstdlib>

#include "core/constants.h"
#include "program/fatal_error.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "program/startup.h"
#include "program/startup_steps.h"
#include "core/text_util.h"
#include "core/texts.h"
#include "program/workdir.h"
#include "desktop/gadgets.h"
#include "web/login.h"
#include "windows/capture_library.h"
#include "windows/capture_thread_win.h"
#include "windows/language_win.h"
#include "windows/windows_state.h"

namespace {

const char bitmapFileName[] = "webcam.bmp";

void ReleaseNetwork() {
    if (programState.networkReady) WSACleanup();
}

}  // namespace

void StartUp(int& argc, char**& argv, const DesktopStartUp& desktop) {
    PrepareProgramState(argc, argv, desktop);
    MakeSessionId();

    ProgramState& s = programState;
    s.startupLanguage = ChooseLanguageKey(SystemLanguageName(), ReadSetting(keys::language));
    ApplyLanguage(s.startupLanguage);

    // Nothing exists yet that would need removing: the working directory comes after this.
    std::string failure;
    if (!BindCaptureLibrary(failure)) {
        ShowMessageBox(s.textErrorTitle, failure);
        ReleaseNetwork();
        std::exit(1);
    }

    s.workDir = CreateWorkDir(TemporaryDirectory());
    s.jpegPath = s.workDir + jpegFileName;
    windowsState.bmpPath = s.workDir + bitmapFileName;
    if (desktop.decodeIcon) desktop.decodeIcon();

    InstallFatalErrorHandler();
}

int ShutDown() {
    bool passesStopped = StopCapturePasses();
    CleanUpWorkDir();
    ReleaseNetwork();
    // A driver that hangs in a grab or a save may hang as well when its library is let go at the
    // process's end: then the end does not go through the libraries at all.
    if (!passesStopped) TerminateProcess(GetCurrentProcess(), UINT(programState.exitCode));
    return programState.exitCode;
}
