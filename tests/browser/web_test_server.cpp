// The web server alone, for browser tests and the benchmark: serves a given picture on a given
// port with a given login and session id, and stops as the main window does on SIGTERM or SIGINT.
// Usage: web-test-server PORT PICTURE USERNAME PASSWORD SESSION-ID [MAX-SECONDS]
// USERNAME and PASSWORD are UTF-8, as the settings dialog takes them from the screen.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/constants.h"
#include "core/latin9.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "tests/web/server_steps.h"

namespace {

void PrepareState(char** argv) {
    ProgramState& s = programState;
    s.settingPort.Set(argv[1]);
    s.jpegPath = argv[2];
    s.settingUsername.Set(Utf8ToLatin9(argv[3]));
    s.settingPasswordHash.Set(Sha1Hex(Utf8ToLatin9(argv[4])));
    s.sessionId = argv[5];
    s.ioBuffer.assign(bufferSize, 0);
    s.responseBuffer.assign(bufferSize, 0);
}

// Until SIGTERM or SIGINT, or at most maxSeconds, so that a forgotten server ends by itself.
void WaitForStopSignal(long maxSeconds) {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    timespec step{1, 0};
    for (long waited = 0; waited < maxSeconds; ++waited)
        if (sigtimedwait(&stopSignals, nullptr, &step) > 0) return;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s PORT PICTURE USERNAME PASSWORD SESSION-ID [MAX-SECONDS]\n", argv[0]);
        return 2;
    }
    // Blocked before the server thread exists, so that only the wait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    PrepareState(argv);
    if (StartServerAndWait() != serverCreated) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    WaitForStopSignal(argc > 6 ? std::atol(argv[6]) : 600);
    StopServerAsTheMainLoopDoes();
    return 0;
}
