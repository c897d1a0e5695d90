// The Linux program's life on the main thread: start-up, the event loop, shutdown.
#include "program/startup.h"

#include <signal.h>

#include "core/constants.h"
#include "program/fatal_error.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "program/startup_steps.h"
#include "core/text_util.h"
#include "core/texts.h"
#include "program/workdir.h"

void StartUp(int& argc, char**& argv, const DesktopStartUp& desktop) {
    // Sends on connections a browser already closed must fail quietly, not end the program.
    signal(SIGPIPE, SIG_IGN);
    PrepareProgramState(argc, argv, desktop);
    MakeSessionId();

    ProgramState& s = programState;
    s.startupLanguage = LowerCase(ReadSetting(keys::language));
    ApplyLanguage(s.startupLanguage);

    s.workDir = CreateWorkDir(TemporaryDirectory());
    s.jpegPath = s.workDir + jpegFileName;
    if (desktop.decodeIcon) desktop.decodeIcon();

    InstallHelper((s.workDir + helperFileName).c_str());
    InstallFatalErrorHandler();
}

int ShutDown() {
    CleanUpWorkDir();
    signal(SIGPIPE, SIG_DFL);
    return programState.exitCode;
}
