// The start and stop sequences of the server thread as the main window runs them.
#include "desktop/server_control.h"

#include <chrono>
#include <thread>

#include "core/program_state.h"
#include "core/text_util.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"
#include "web/server_thread.h"

namespace {

constexpr auto stopGrace = std::chrono::milliseconds(1000);

}  // namespace

bool StartServer() {
    ProgramState& s = programState;
    CreateServerThread();
    while (s.serverState.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    bool created = s.serverState.load() != -1;
    if (created)
        ShowServerStatus(true);
    else
        ShowMessageBox(s.textErrorTitle, ReplaceAll(s.textServerFailed, "x", s.settingPort.Get()));
    s.serverState.store(0);
    return created;
}

void StopServer() {
    ProgramState& s = programState;
    RequestServerStop();
    std::this_thread::sleep_for(stopGrace);
    if (ServerThreadAlive()) EndServerThread();
    s.serverState.store(0);
    ShowServerStatus(false);
    s.loggedInClients.clear();
    // Whatever stopped it, no server listens on that port any more.
    s.runningPort.clear();
}

void StopServerFromButton() {
    StopServer();
    SetGadgetText(gadgetUsersField, " 0");
}
