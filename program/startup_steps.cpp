// The start-up steps both builds take alike: state, paths, network, session id.
#include "program/startup_steps.h"

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/settings.h"
#include "core/text_util.h"
#include "program/build_values.h"

namespace {

constexpr size_t sessionRandomBytes = 16;

}  // namespace

void PrepareProgramState(int& argc, char**& argv, const DesktopStartUp& desktop) {
    ProgramState& s = programState;
    s.exitCode = 0;
    if (desktop.startToolkit) desktop.startToolkit(argc, argv);
    s.argumentCount = argc;
    s.arguments = argv;

    s.loggedInClients.clear();
    s.clientLastSeen.rehash(512);

    s.programPath = ReadProgramPath();
    if (s.programPath.empty() && argc > 0) s.programPath = argv[0];
    s.settingsPath = ChooseSettingsPath(AddTrailingSlash(DirectoryPart(s.programPath)),
                                         installedProgramFolder);
    s.serviceBaseUrl = serviceUrl;

    s.responseBuffer.assign(bufferSize, 0);
    s.ioBuffer.assign(bufferSize, 0);
    s.networkReady = InitNetwork() ? 1 : 0;
    if (desktop.loadFont) desktop.loadFont();
}

void MakeSessionId() {
    ProgramState& s = programState;
    if (RandomBytes(s.ioBuffer.data(), sessionRandomBytes))
        s.sessionId = Sha1Hex(s.ioBuffer.data(), sessionRandomBytes);
}
