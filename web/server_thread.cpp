// The server thread's loop, its start and its ends: by itself after a stop request, or forced.
#include "web/server_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "core/fault_stack.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "web/connection.h"
#include "web/login.h"
#include "web/routing.h"

namespace {

// The thread is detached, so that a program that ends with the server still running is not
// ended by an unjoined thread; this pair tells when it has let go of the server.
std::mutex lifeLock;
std::condition_variable lifeEnded;
bool alive = false;

// The thread gives way at its next pass, and no browser holds a pass: this bound is never reached.
constexpr auto forcedEndBound = std::chrono::seconds(2);

void MarkAlive(bool value) {
    std::lock_guard<std::mutex> guard(lifeLock);
    alive = value;
    if (!value) lifeEnded.notify_all();
}

void ServeRequest(Connection& connection) {
    StampClient(PeerAddress(connection));
    char* area = programState.ioBuffer.data();
    size_t count = ReceiveRequest(connection, area, receiveAreaSize);
    std::string_view text(area, count);
    text = text.substr(0, text.find('\0'));
    std::string path;
    if (RequestPathOf(text, path)) HandleRequest(path, connection);
}

}  // namespace

void ServerThread() {
    ThreadFaultStack faultStack;
    NameThisThread(serverThreadName);
    MarkAlive(true);
    ProgramState& s = programState;
    if (!CreateServer(NumberValue(s.settingPort.Get()))) {
        s.userCount = 0;
        // Alive turns false first: once the loop sees the failure, a new start must find no thread.
        MarkAlive(false);
        s.serverState = serverFailed;
        return;
    }
    s.serverState = serverCreated;
    do {
        NetPoll event = PollServer();
        if (event.kind == NetEvent::None) {
            PurgeIdleClients();
            PurgeQuietStrangers();
            s.userCount = int32_t(s.loggedInClients.size());
            // Nothing to do until a browser or the stop request calls, or a login or an entry lapses.
            WaitForActivity(NextLapseMilliseconds());
        } else if (event.kind == NetEvent::Data) {
            ServeRequest(*event.connection);
        }
    } while (s.serverState != serverStopRequested && !ServerInterrupted());
    s.userCount = 0;
    CloseServer();
    MarkAlive(false);
}

void CreateServerThread() {
    {
        std::lock_guard<std::mutex> guard(lifeLock);
        // A thread that still holds the server leaves no port for a second one; the caller,
        // waiting for an answer, gets the failure instead of waiting for ever.
        if (alive) {
            programState.serverState = serverFailed;
            return;
        }
        alive = true;
    }
    try {
        std::thread(ServerThread).detach();
    } catch (const std::system_error&) {
        MarkAlive(false);
        programState.serverState = serverFailed;
    }
}

bool ServerThreadAlive() {
    std::lock_guard<std::mutex> guard(lifeLock);
    return alive;
}

void RequestServerStop() {
    programState.serverState = serverStopRequested;
    WakeServer();
}

void EndServerThread() {
    InterruptServer();
    std::unique_lock<std::mutex> lock(lifeLock);
    if (lifeEnded.wait_for(lock, forcedEndBound, [] { return !alive; })) CloseServer();
}
