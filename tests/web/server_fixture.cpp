// A running server thread over a prepared program state, stopped as the main loop stops it.
#include "tests/web/server_fixture.h"

#include <signal.h>

#include <chrono>
#include <thread>

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "tests/support/loopback_client.h"
#include "web/monotonic_clock.h"
#include "web/server_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void RunningServer::SetUp() {
    // The program ignores SIGPIPE at start-up; here it keeps its default, so that a send that
    // could raise it would end the test program.
    signal(SIGPIPE, SIG_DFL);
    ProgramState& s = programState;
    s.ioBuffer.assign(bufferSize, 0);
    s.responseBuffer.assign(bufferSize, 0);
    s.settingUsername.Set("a");
    s.settingPasswordHash.Set(Sha1Hex(std::string("b")));
    s.sessionId = sessionId;
    s.jpegPath = dir.File("webcam.jpg");
    s.loggedInClients.clear();
    s.clientLastSeen.clear();
    s.wrongLoginTimes.clear();
    monotonicAdvanceMilliseconds = 0;
    s.serverState = serverIdle;
    s.userCount = 0;
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
    CreateServerThread();
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (programState.serverState == serverIdle && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int32_t state = programState.serverState;
    programState.serverState = serverIdle;
    EXPECT_NE(state, serverIdle) << "the server thread did not answer";
    return state == serverCreated;
}

void RunningServer::Stop() {
    RequestServerStop();
    auto deadline = Clock::now() + std::chrono::milliseconds(1000);
    while (ServerThreadAlive() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (ServerThreadAlive()) EndServerThread();
    programState.serverState = serverIdle;
    programState.loggedInClients.clear();
}

std::string RunningServer::Fetch(const std::string& source, const std::string& path) {
    return ::Fetch(source, port, path);
}

bool RunningServer::UserCountBecomes(int32_t value, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (programState.userCount != value && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return programState.userCount == value;
}
