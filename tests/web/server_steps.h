// The main loop's start and stop of the server thread, for the test fixture and the stand-alone
// test server, which have no main loop of their own.
#pragma once
#include <cstdint>

#include "core/program_state.h"
#include "tests/support/wait.h"
#include "web/server_thread.h"

// Starts the thread and waits up to 5 s for its report; returns the state it reported (still
// serverIdle when it never answered), leaving serverState idle as the main loop does.
inline int32_t StartServerAndWait() {
    CreateServerThread();
    WaitUntil([] { return programState.serverState != serverIdle; }, 5000);
    int32_t state = programState.serverState;
    programState.serverState = serverIdle;
    return state;
}

// The request, up to 1000 ms for the thread to end, then the forced end.
inline void StopServerAsTheMainLoopDoes() {
    RequestServerStop();
    if (!WaitUntil([] { return !ServerThreadAlive(); }, 1000)) EndServerThread();
    programState.serverState = serverIdle;
    programState.loggedInClients.clear();
}
