// Connection layer over the socket seam: accept, readiness, whole sends, lingering closes,
// and the limits that keep silent clients from using up the program.
#include "web/connection.h"

#include <algorithm>
#include <atomic>
#include <list>
#include <vector>

#include "web/monotonic_clock.h"

namespace {

// Expired connections are looked for at most this often.
constexpr int64_t sweepMilliseconds = 100;
constexpr int waitSliceMilliseconds = 100;

struct Server {
    SocketHandle listener = noSocket;
    std::list<Connection> connections;  // newest first
    std::vector<SocketWatch> watches;   // listener first, then the connections in list order
    int64_t nextSweep = 0;
};

Server server;
std::atomic<bool> interrupted{false};

void CloseAt(std::list<Connection>::iterator at) {
    CloseSocket(at->socket);
    server.connections.erase(at);
}

std::list<Connection>::iterator Find(const Connection* connection) {
    return std::find_if(server.connections.begin(), server.connections.end(),
                        [connection](const Connection& c) { return &c == connection; });
}

void SweepExpired(int64_t now) {
    for (auto at = server.connections.begin(); at != server.connections.end();) {
        auto next = std::next(at);
        bool expired = at->lingerUntil ? now >= at->lingerUntil
                                       : now - at->openedAt >= requestWaitMilliseconds;
        if (expired) CloseAt(at);
        at = next;
    }
}

void FillWatches() {
    server.watches.resize(server.connections.size() + 1);
    server.watches[0].socket = server.listener;
    size_t i = 1;
    for (const Connection& c : server.connections) server.watches[i++].socket = c.socket;
}

// Discards what a browser still sends after its answer; true when the connection is finished.
bool DrainLingering(Connection& connection) {
    char discard[4096];
    for (int reads = 0; reads < 16; ++reads) {
        long n = ReceiveSocket(connection.socket, discard, sizeof discard);
        if (n == socketWouldBlock) return false;
        if (n <= 0) return true;
    }
    return false;
}

NetPoll AcceptOne() {
    uint32_t peer = 0;
    SocketHandle socket = AcceptSocket(server.listener, peer);
    if (socket == noSocket) return {};
    if (server.connections.size() >= maxConnections) CloseAt(std::prev(server.connections.end()));
    Connection& c = server.connections.emplace_front();
    c.socket = socket;
    c.peerAddress = peer;
    c.openedAt = MonotonicMilliseconds();
    return {NetEvent::Connect, &c};
}

}  // namespace

bool CreateServer(int64_t port) {
    if (server.listener != noSocket || port < 1 || port > 65535) return false;
    SocketHandle listener = OpenListeningSocket(uint16_t(port), listenBacklog);
    if (listener == noSocket) return false;
    server.listener = listener;
    server.nextSweep = 0;
    return true;
}

NetPoll PollServer() {
    if (server.listener == noSocket) return {};
    int64_t now = MonotonicMilliseconds();
    if (now >= server.nextSweep) {
        SweepExpired(now);
        server.nextSweep = now + sweepMilliseconds;
    }
    FillWatches();
    if (!WaitReadable(server.watches.data(), server.watches.size(), 0)) return {};
    if (server.watches[0].ready) {
        NetPoll accepted = AcceptOne();
        if (accepted.kind == NetEvent::Connect) return accepted;
    }
    size_t i = 1;
    for (auto at = server.connections.begin(); at != server.connections.end(); ++i) {
        auto next = std::next(at);
        if (server.watches[i].ready) {
            if (at->lingerUntil) {
                if (DrainLingering(*at)) CloseAt(at);
            } else {
                switch (PeekSocket(at->socket)) {
                case PeekResult::Data:
                    return {NetEvent::Data, &*at};
                case PeekResult::Closed:
                case PeekResult::Failed:
                    // A broken connection can never deliver a request; keeping it would only
                    // make every wait return at once.
                    CloseAt(at);
                    return {NetEvent::Disconnect, nullptr};
                case PeekResult::Nothing:
                    break;
                }
            }
        }
        at = next;
    }
    return {};
}

void WaitForActivity(int milliseconds) {
    if (server.listener == noSocket) return;
    FillWatches();
    WaitReadable(server.watches.data(), server.watches.size(), milliseconds);
}

size_t ReceiveRequest(Connection& connection, char* buffer, size_t count) {
    long n = ReceiveSocket(connection.socket, buffer, count);
    return n > 0 ? size_t(n) : 0;
}

uint32_t PeerAddress(const Connection& connection) { return connection.peerAddress; }

bool SendData(Connection& connection, const char* data, size_t count) {
    size_t done = 0;
    int64_t lastProgress = MonotonicMilliseconds();
    while (done < count && !connection.broken) {
        long n = SendSocket(connection.socket, data + done, count - done);
        if (n > 0) {
            done += size_t(n);
            lastProgress = MonotonicMilliseconds();
        } else if (n == socketFailed || interrupted ||
                   MonotonicMilliseconds() - lastProgress >= sendStallMilliseconds) {
            connection.broken = true;
        } else {
            WaitWritable(connection.socket, waitSliceMilliseconds);
        }
    }
    return !connection.broken;
}

void CloseConnection(Connection* connection) {
    auto at = Find(connection);
    if (at == server.connections.end()) return;
    if (at->broken) {
        CloseAt(at);
        return;
    }
    ShutDownSending(at->socket);
    at->lingerUntil = MonotonicMilliseconds() + lingerMilliseconds;
}

void CloseServer() {
    for (Connection& c : server.connections) CloseSocket(c.socket);
    server.connections.clear();
    if (server.listener != noSocket) CloseSocket(server.listener);
    server.listener = noSocket;
    interrupted = false;
}

void InterruptServer() { interrupted = true; }

bool ServerInterrupted() { return interrupted; }
