// A running server thread over a prepared program state, stopped as the main loop stops it.
#include "tests/web/server_fixture.h"

#include <signal.h>

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "tests/support/loopback_client.h"
#include "tests/support/program_state.h"
#include "tests/web/server_steps.h"
#include "web/monotonic_clock.h"
#include "web/server_thread.h"

void RunningServer::SetUp() {
    // The program ignores SIGPIPE at start-up; here it keeps its default, so that a send that
    // could raise it would end the test program.
    signal(SIGPIPE, SIG_DFL);
    ResetProgramState(dir.path());
    ProgramState& s = programState;
    s.settingUsername.Set("a");
    s.settingPasswordHash.Set(Sha1Hex(std::string("b")));
    s.sessionId = sessionId;
    monotonicAdvanceMilliseconds = 0;
    for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
        int candidate = FreePort();
        if (StartWithPort(std::to_string(candidate))) port = candidate;
    }
    ASSERT_NE(port, 0) << "no free port for the server";
}

void RunningServer::TearDown() {
    Stop();
    monotonicAdvanceMilliseconds = 0;
}

bool RunningServer::StartWithPort(const std::string& portText) {
    programState.settingPort.Set(portText);
    int32_t state = StartServerAndWait();
    EXPECT_NE(state, serverIdle) << "the server thread did not answer";
    return state == serverCreated;
}

void RunningServer::Stop() { StopServerAsTheMainLoopDoes(); }

std::string RunningServer::Fetch(const std::string& source, const std::string& path) {
    return ::Fetch(source, port, path);
}

bool RunningServer::UserCountBecomes(int32_t value, int timeoutMs) {
    return WaitUntil([value] { return programState.userCount == value; }, timeoutMs);
}
