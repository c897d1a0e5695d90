// Connection layer over the socket seam: accept, readiness, answers that leave as fast as each
// browser reads them, lingering closes, and the limits that keep slow or silent clients from
// using up the program.
#include "web/connection.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <list>
#include <mutex>
#include <vector>

#include "web/monotonic_clock.h"

namespace {

struct Server {
    SocketHandle listener = noSocket;
    SocketHandle waker = noSocket;
    std::list<Connection> connections;  // newest first
    std::vector<SocketWatch> watches;   // listener, waker, then the connections in list order
    int64_t listenerRestsUntil = 0;
};

constexpr size_t listenerWatch = 0;
constexpr size_t wakerWatch = 1;
constexpr size_t firstConnectionWatch = 2;
// Readiness to send is reported only once a good part of the send buffer is free, and the system
// may grow the buffer unasked: a browser that reads a little at a time makes room unseen, so a
// pending answer is also pushed on at this pace, which tells its progress within a second.
constexpr int64_t sendRetryMilliseconds = 1000;

Server server;
std::atomic<bool> interrupted{false};
// Other threads wake the server while it may be closing: the waker is opened, woken from outside
// and closed only under this lock.
std::mutex wakerLock;

using ConnectionAt = std::list<Connection>::iterator;

void CloseAt(ConnectionAt at) {
    CloseSocket(at->socket);
    server.connections.erase(at);
}

// For an answer given up on: the browser learns at once that it is cut, and the system does not
// keep the rest queued for it.
void AbortAt(ConnectionAt at) {
    AbortSocket(at->socket);
    server.connections.erase(at);
}

ConnectionAt Find(const Connection* connection) {
    return std::find_if(server.connections.begin(), server.connections.end(),
                        [connection](const Connection& c) { return &c == connection; });
}

bool Sending(const Connection& c) { return c.unsentFrom < c.unsent.size(); }

void StartLinger(Connection& c, int64_t now) {
    ShutDownSending(c.socket);
    c.lingerUntil = now + lingerMilliseconds;
}

// The moment the connection has had its time.
int64_t DeadlineOf(const Connection& c) {
    if (Sending(c))
        return std::min(c.lastProgressAt + sendStallMilliseconds, c.sendStartedAt + sendLimitMilliseconds);
    if (c.lingerUntil) return c.lingerUntil;
    return c.openedAt + requestWaitMilliseconds;
}

// When the server has to look at the connection without being called.
int64_t NextWorkOf(const Connection& c) {
    return Sending(c) ? std::min(DeadlineOf(c), c.nextPushAt) : DeadlineOf(c);
}

// Gives the socket what it takes of the unsent answer: the count taken, or socketFailed.
long PushUnsent(Connection& c, int64_t now) {
    long taken = 0;
    while (Sending(c)) {
        long n = SendSocket(c.socket, c.unsent.data() + c.unsentFrom, c.unsent.size() - c.unsentFrom);
        if (n == socketFailed) return socketFailed;
        if (n <= 0) break;
        c.unsentFrom += size_t(n);
        c.lastProgressAt = now;
        taken += n;
    }
    if (!Sending(c) && !c.unsent.empty()) {
        // Pictures can be large; a finished answer gives its memory back.
        std::string().swap(c.unsent);
        c.unsentFrom = 0;
        if (c.closing) StartLinger(c, now);
    }
    return taken;
}

void SweepExpired(int64_t now) {
    for (auto at = server.connections.begin(); at != server.connections.end();) {
        auto next = std::next(at);
        Connection& c = *at;
        bool failed = false;
        if (Sending(c) && now >= c.nextPushAt) {
            c.nextPushAt = now + sendRetryMilliseconds;
            failed = PushUnsent(c, now) == socketFailed;
        }
        if (failed || (now >= DeadlineOf(c) && !Sending(c)))
            CloseAt(at);
        else if (now >= DeadlineOf(c))
            AbortAt(at);
        at = next;
    }
}

void FillWatches(int64_t now) {
    server.watches.resize(server.connections.size() + firstConnectionWatch);
    server.watches[listenerWatch] = {now < server.listenerRestsUntil ? noSocket : server.listener};
    server.watches[wakerWatch] = {server.waker};
    size_t i = firstConnectionWatch;
    for (const Connection& c : server.connections) server.watches[i++] = {c.socket, false, Sending(c)};
}

// Discards what a browser still sends after its answer; true when the connection is finished.
bool DrainLingering(const Connection& connection) {
    char discard[4096];
    for (int reads = 0; reads < 16; ++reads) {
        long n = ReceiveSocket(connection.socket, discard, sizeof discard);
        if (n == socketWouldBlock) return false;
        if (n <= 0) return true;
    }
    return false;
}

NetPoll AcceptOne(int64_t now) {
    uint32_t peer = 0;
    bool exhausted = false;
    SocketHandle socket = AcceptSocket(server.listener, peer, &exhausted);
    if (socket == noSocket) {
        if (exhausted) server.listenerRestsUntil = now + acceptRestMilliseconds;
        return {};
    }
    if (server.connections.size() >= maxConnections) CloseAt(std::prev(server.connections.end()));
    Connection& c = server.connections.emplace_front();
    c.socket = socket;
    c.peerAddress = peer;
    c.openedAt = now;
    return {NetEvent::Connect, &c};
}

}  // namespace

bool CreateServer(int64_t port) {
    if (server.listener != noSocket || port < 1 || port > 65535) return false;
    SocketHandle listener = OpenListeningSocket(uint16_t(port), listenBacklog);
    if (listener == noSocket) return false;
    // Without a waker a stop could not reach the thread while it sleeps.
    SocketHandle waker = OpenWaker();
    if (waker == noSocket) {
        CloseSocket(listener);
        return false;
    }
    std::lock_guard<std::mutex> guard(wakerLock);
    server.listener = listener;
    server.waker = waker;
    server.listenerRestsUntil = 0;
    return true;
}

NetPoll PollServer() {
    if (server.listener == noSocket) return {};
    int64_t now = MonotonicMilliseconds();
    SweepExpired(now);
    FillWatches(now);
    if (!WaitSockets(server.watches.data(), server.watches.size(), 0)) return {};
    if (server.watches[wakerWatch].ready) DrainWaker(server.waker);
    if (server.watches[listenerWatch].ready) {
        NetPoll accepted = AcceptOne(now);
        if (accepted.kind == NetEvent::Connect) return accepted;
    }
    size_t i = firstConnectionWatch;
    for (auto at = server.connections.begin(); at != server.connections.end(); ++i) {
        auto next = std::next(at);
        Connection& c = *at;
        if (server.watches[i].ready) {
            if (Sending(c)) {
                if (PushUnsent(c, now) == socketFailed) CloseAt(at);
            } else if (c.closing) {
                if (DrainLingering(c)) CloseAt(at);
            } else {
                switch (PeekSocket(c.socket)) {
                case PeekResult::Data:
                    return {NetEvent::Data, &c};
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

void WaitForActivity(int64_t untilMilliseconds) {
    if (server.listener == noSocket) return;
    int64_t now = MonotonicMilliseconds();
    int64_t wakeAt = untilMilliseconds;
    if (now < server.listenerRestsUntil) wakeAt = std::min(wakeAt, server.listenerRestsUntil);
    for (const Connection& c : server.connections) wakeAt = std::min(wakeAt, NextWorkOf(c));
    FillWatches(now);
    // One millisecond late rather than early: waking just before a deadline would only find
    // nothing to do and wait again.
    int milliseconds = wakeAt == noDeadline ? -1 : int(std::clamp<int64_t>(wakeAt - now + 1, 0, INT_MAX));
    WaitSockets(server.watches.data(), server.watches.size(), milliseconds);
}

size_t ReceiveRequest(const Connection& connection, char* buffer, size_t count) {
    long n = ReceiveSocket(connection.socket, buffer, count);
    return n > 0 ? size_t(n) : 0;
}

uint32_t PeerAddress(const Connection& connection) { return connection.peerAddress; }

bool SendData(Connection& connection, const char* data, size_t count) {
    if (connection.broken) return false;
    if (Sending(connection)) {
        connection.unsent.append(data, count);
        return true;
    }
    size_t done = 0;
    while (done < count) {
        long n = SendSocket(connection.socket, data + done, count - done);
        if (n == socketFailed) {
            connection.broken = true;
            return false;
        }
        if (n <= 0) break;
        done += size_t(n);
    }
    if (done < count) {
        connection.unsent.assign(data + done, count - done);
        connection.unsentFrom = 0;
        connection.sendStartedAt = connection.lastProgressAt = MonotonicMilliseconds();
        connection.nextPushAt = connection.sendStartedAt + sendRetryMilliseconds;
    }
    return true;
}

void CloseConnection(Connection* connection) {
    auto at = Find(connection);
    if (at == server.connections.end()) return;
    if (at->broken) {
        CloseAt(at);
        return;
    }
    at->closing = true;
    if (!Sending(*at)) StartLinger(*at, MonotonicMilliseconds());
}

void CloseServer() {
    for (const Connection& c : server.connections) CloseSocket(c.socket);
    server.connections.clear();
    if (server.listener != noSocket) CloseSocket(server.listener);
    server.listener = noSocket;
    {
        std::lock_guard<std::mutex> guard(wakerLock);
        if (server.waker != noSocket) CloseWaker(server.waker);
        server.waker = noSocket;
    }
    interrupted = false;
}

void WakeServer() {
    std::lock_guard<std::mutex> guard(wakerLock);
    if (server.waker != noSocket) WakeWaker(server.waker);
}

void InterruptServer() {
    interrupted = true;
    WakeServer();
}

bool ServerInterrupted() { return interrupted; }
