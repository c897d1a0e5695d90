// The tests in one process share the one ProgramState; each starts from it as a program that has
// just started in a folder leaves it.
#pragma once
#include <string>

#include "core/constants.h"
#include "core/program_state.h"
#include "core/texts.h"
#include "web/server_thread.h"

// English texts, no setting loaded, nothing running and nobody known to the server; the working
// directory, the picture and the settings file in `folder`.
inline void ResetProgramState(const std::string& folder) {
    ProgramState& s = programState;
    ApplyLanguage("english");
    s.workDir = folder + "/";
    s.jpegPath = s.workDir + jpegFileName;
    s.settingsPath = s.workDir + "settings.ini";
    s.ioBuffer.assign(bufferSize, 0);
    s.responseBuffer.assign(bufferSize, 0);
    for (SharedText* field : {&s.settingUsername, &s.settingPasswordHash, &s.settingServer, &s.settingHide,
                              &s.settingIpCheck, &s.settingPort, &s.settingDevice})
        field->Set("");
    s.settingLanguage.clear();
    s.runningPort.clear();
    s.captureError.clear();
    s.serverState = serverIdle;
    s.userCount = 0;
    s.helperProcess = 0;
    s.mainWindowReady = 0;
    s.loggedInClients.clear();
    s.clientLastSeen.clear();
    s.clientStamps.clear();
    s.wrongLoginTimes.clear();
    while (s.frameSemaphore.try_acquire()) {
    }
}
