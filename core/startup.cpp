#include "core/startup.h"

#include <signal.h>

#include "core/constants.h"
#include "core/fatal_error.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "core/text_util.h"
#include "core/texts.h"
#include "core/workdir.h"

namespace {

constexpr size_t sessionRandomBytes = 16;

std::string DirectoryPart(const std::string& path) {
    size_t slash = path.rfind(pathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

void StartUp(int& argc, char**& argv, const DesktopStartUp& desktop) {
    ProgramState& s = programState;
    s.exitCode = 0;
    if (desktop.startToolkit) desktop.startToolkit(argc, argv);
    s.argumentCount = argc;
    s.arguments = argv;

    // Sends on connections a browser already closed must fail quietly, not end the program.
    signal(SIGPIPE, SIG_IGN);

    s.loggedInClients.clear();
    s.clientLastSeen.rehash(512);

    s.programPath = ReadProgramPath();
    if (s.programPath.empty() && argc > 0) s.programPath = argv[0];
    s.settingsPath = AddTrailingSlash(DirectoryPart(s.programPath)) + settingsFileName;
    s.serviceBaseUrl = serviceUrl;

    s.responseBuffer.assign(bufferSize, 0);
    s.ioBuffer.assign(bufferSize, 0);
    s.networkReady = InitNetwork() ? 1 : 0;
    if (desktop.loadFont) desktop.loadFont();

    if (RandomBytes(s.ioBuffer.data(), sessionRandomBytes))
        s.sessionId = Sha1Hex(s.ioBuffer.data(), sessionRandomBytes);

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
