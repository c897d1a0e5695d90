// Connection layer over the socket seam: accept in bursts, readiness fetched in batches, answers
// that leave as fast as each browser reads them, lingering closes, and the limits that keep slow
// or silent clients from using up the program, each looked at only when it is due.
#include "web/connection.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <functional>
#include <list>
#include <mutex>
#include <vector>

#include "web/due_queue.h"
#include "web/monotonic_clock.h"

namespace {

// Where a connection stands, beside what the server thread sees of it.
struct Slot {
    bool open = false;
    // Tells the connection an event was fetched for from a later one in the same slot.
    uint32_t generation = 0;
    uint64_t serial = 0;  // accept order: the larger, the newer
    std::list<uint32_t>::iterator age;
    Interest interest = Interest::Reading;
};

// Connections accepted in one go when the listener is ready: a burst leaves the backlog at once,
// and the connections already open still get their turn between bursts.
constexpr size_t acceptBurst = 64;
// Every connection, the listener and the waker can be ready in one fetch.
constexpr size_t readyCapacity = maxConnections + 2;
constexpr uint64_t listenerTag = UINT64_MAX;
constexpr uint64_t wakerTag = UINT64_MAX - 1;

struct Server {
    SocketHandle listener = noSocket;
    SocketHandle waker = noSocket;
    WatchSet* watches = nullptr;
    // Fixed places, so that a connection handed out is found again by its address.
    std::array<Connection, maxConnections> connections;
    std::array<Slot, maxConnections> slots;
    std::vector<uint32_t> freeSlots;
    std::list<uint32_t> ages;  // newest first
    // When each connection next needs the server without being called.
    DueQueue due{maxConnections};
    // Fetched and not handed out yet: accepted connections, then the ready sockets.
    std::vector<uint64_t> connects;
    size_t connectsNext = 0;
    std::vector<ReadyWatch> ready;
    size_t readyNext = 0;
    uint64_t accepted = 0;
    bool listenerResting = false;
    int64_t listenerRestsUntil = 0;
};

// Readiness to send is reported only once a good part of the send buffer is free, and the system
// may grow the buffer unasked: a browser that reads a little at a time makes room unseen, so a
// pending answer is also pushed on at this pace, which tells its progress within a second.
constexpr int64_t sendRetryMilliseconds = 1000;

Server server;
std::atomic<bool> interrupted{false};
// Other threads wake the server while it may be closing: the waker is opened, woken from outside
// and closed only under this lock.
std::mutex wakerLock;

uint64_t TagOf(uint32_t slot) { return uint64_t(server.slots[slot].generation) << 32 | slot; }

// The open connection an event was fetched for; false when it has gone since.
bool OpenSlotOf(uint64_t tag, uint32_t& slot) {
    slot = uint32_t(tag);
    return slot < maxConnections && server.slots[slot].open && server.slots[slot].generation == tag >> 32;
}

// False for a connection the layer does not hold.
bool OpenSlotOf(const Connection* connection, uint32_t& slot) {
    std::less<const Connection*> before;
    const Connection* first = server.connections.data();
    if (before(connection, first) || !before(connection, first + maxConnections)) return false;
    slot = uint32_t(connection - first);
    return server.slots[slot].open;
}

void Release(uint32_t slot) {
    Slot& s = server.slots[slot];
    s.open = false;
    ++s.generation;
    server.ages.erase(s.age);
    server.due.Remove(slot);
    // Pictures can be large: the answer's memory goes with the connection.
    server.connections[slot] = Connection{};
    server.freeSlots.push_back(slot);
}

void CloseAt(uint32_t slot) {
    RemoveWatch(server.watches, server.connections[slot].socket);
    CloseSocket(server.connections[slot].socket);
    Release(slot);
}

// For an answer given up on: the browser learns at once that it is cut, and the system does not
// keep the rest queued for it.
void AbortAt(uint32_t slot) {
    RemoveWatch(server.watches, server.connections[slot].socket);
    AbortSocket(server.connections[slot].socket);
    Release(slot);
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

// After anything that moves the connection's times or what it waits for.
void Reschedule(uint32_t slot) {
    const Connection& c = server.connections[slot];
    server.due.Set(slot, NextWorkOf(c));
    Interest wanted = Sending(c) ? Interest::Sending : Interest::Reading;
    if (server.slots[slot].interest != wanted) {
        ChangeWatch(server.watches, c.socket, TagOf(slot), wanted);
        server.slots[slot].interest = wanted;
    }
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
        std::string().swap(c.unsent);
        c.unsentFrom = 0;
        if (c.closing) StartLinger(c, now);
    }
    return taken;
}

void RunDue(int64_t now) {
    while (!server.due.Empty() && server.due.FirstAt() <= now) {
        uint32_t slot = server.due.First();
        Connection& c = server.connections[slot];
        bool failed = false;
        if (Sending(c) && now >= c.nextPushAt) {
            c.nextPushAt = now + sendRetryMilliseconds;
            failed = PushUnsent(c, now) == socketFailed;
        }
        if (failed || (now >= DeadlineOf(c) && !Sending(c)))
            CloseAt(slot);
        else if (now >= DeadlineOf(c))
            AbortAt(slot);
        else
            Reschedule(slot);
    }
}

void RestListener(bool resting, int64_t now) {
    server.listenerResting = resting;
    server.listenerRestsUntil = now + acceptRestMilliseconds;
    ChangeWatch(server.watches, server.listener, listenerTag, resting ? Interest::Neither : Interest::Reading);
}

void EndListenerRest(int64_t now) {
    if (server.listenerResting && now >= server.listenerRestsUntil) RestListener(false, now);
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

void AcceptBurst(int64_t now) {
    for (size_t n = 0; n < acceptBurst && !server.listenerResting; ++n) {
        uint32_t peer = 0;
        bool exhausted = false;
        SocketHandle socket = AcceptSocket(server.listener, peer, &exhausted);
        if (socket == noSocket) {
            if (exhausted) RestListener(true, now);
            return;
        }
        if (server.freeSlots.empty()) CloseAt(server.ages.back());
        uint32_t slot = server.freeSlots.back();
        if (!AddWatch(server.watches, socket, TagOf(slot), Interest::Reading)) {
            // The system can watch no more: like a lack of descriptors, it passes with time.
            CloseSocket(socket);
            RestListener(true, now);
            return;
        }
        server.freeSlots.pop_back();
        Slot& s = server.slots[slot];
        s.open = true;
        s.serial = ++server.accepted;
        s.interest = Interest::Reading;
        server.ages.push_front(slot);
        s.age = server.ages.begin();
        Connection& c = server.connections[slot];
        c.socket = socket;
        c.peerAddress = peer;
        c.openedAt = now;
        Reschedule(slot);
        server.connects.push_back(TagOf(slot));
    }
}

void Forget() {
    server.connects.clear();
    server.connectsNext = 0;
    server.ready.clear();
    server.readyNext = 0;
}

// Once everything fetched before is handed out: asks the system which sockets are ready, the
// listener and the waker first, then the connections newest first.
void Fetch(int milliseconds) {
    Forget();
    server.ready.resize(readyCapacity);
    server.ready.resize(WaitWatchSet(server.watches, server.ready.data(), readyCapacity, milliseconds));
    auto rank = [](uint64_t tag) {
        uint32_t slot;
        return tag >= wakerTag ? UINT64_MAX : OpenSlotOf(tag, slot) ? server.slots[slot].serial : 0;
    };
    std::sort(server.ready.begin(), server.ready.end(),
              [&rank](const ReadyWatch& a, const ReadyWatch& b) { return rank(a.tag) > rank(b.tag); });
}

bool Fetched() { return server.connectsNext < server.connects.size() || server.readyNext < server.ready.size(); }

// What a ready connection has for the server thread, if anything.
NetPoll Serve(uint32_t slot, bool holdsBytes, int64_t now) {
    Connection& c = server.connections[slot];
    if (Sending(c)) {
        if (PushUnsent(c, now) == socketFailed)
            CloseAt(slot);
        else
            Reschedule(slot);
    } else if (c.closing) {
        if (DrainLingering(c)) CloseAt(slot);
    } else {
        switch (holdsBytes ? PeekResult::Data : PeekSocket(c.socket)) {
        case PeekResult::Data:
            return {NetEvent::Data, &c};
        case PeekResult::Closed:
        case PeekResult::Failed:
            // A broken connection can never deliver a request; keeping it would only make every
            // wait return at once.
            CloseAt(slot);
            return {NetEvent::Disconnect, nullptr};
        case PeekResult::Nothing:
            break;
        }
    }
    return {};
}

}  // namespace

bool CreateServer(int64_t port) {
    if (server.listener != noSocket || port < 1 || port > 65535) return false;
    SocketHandle listener = OpenListeningSocket(uint16_t(port), listenBacklog);
    if (listener == noSocket) return false;
    // Without a waker a stop could not reach the thread while it sleeps.
    SocketHandle waker = OpenWaker();
    WatchSet* watches = waker == noSocket ? nullptr : OpenWatchSet();
    if (!watches || !AddWatch(watches, listener, listenerTag, Interest::Reading) ||
        !AddWatch(watches, waker, wakerTag, Interest::Reading)) {
        if (watches) CloseWatchSet(watches);
        if (waker != noSocket) CloseWaker(waker);
        CloseSocket(listener);
        return false;
    }
    server.freeSlots.clear();
    for (uint32_t slot = maxConnections; slot > 0; --slot) server.freeSlots.push_back(slot - 1);
    Forget();
    std::lock_guard<std::mutex> guard(wakerLock);
    server.watches = watches;
    server.listener = listener;
    server.waker = waker;
    server.listenerResting = false;
    return true;
}

NetPoll PollServer() {
    if (server.listener == noSocket) return {};
    int64_t now = MonotonicMilliseconds();
    RunDue(now);
    EndListenerRest(now);
    bool asked = false;
    for (;;) {
        if (server.connectsNext < server.connects.size()) {
            uint64_t tag = server.connects[server.connectsNext++];
            uint32_t slot;
            if (OpenSlotOf(tag, slot)) return {NetEvent::Connect, &server.connections[slot]};
            continue;
        }
        if (server.readyNext == server.ready.size()) {
            if (asked) return {};
            Fetch(0);
            asked = true;
            continue;
        }
        ReadyWatch ready = server.ready[server.readyNext++];
        uint32_t slot;
        if (ready.tag == listenerTag) {
            AcceptBurst(now);
        } else if (ready.tag == wakerTag) {
            DrainWaker(server.waker);
        } else if (OpenSlotOf(ready.tag, slot)) {
            NetPoll event = Serve(slot, ready.holdsBytes, now);
            if (event.kind != NetEvent::None) return event;
        }
    }
}

void WaitForActivity(int64_t untilMilliseconds) {
    if (server.listener == noSocket || Fetched()) return;
    int64_t now = MonotonicMilliseconds();
    EndListenerRest(now);
    int64_t wakeAt = untilMilliseconds;
    if (server.listenerResting) wakeAt = std::min(wakeAt, server.listenerRestsUntil);
    if (!server.due.Empty()) wakeAt = std::min(wakeAt, server.due.FirstAt());
    // One millisecond late rather than early: waking just before a deadline would only find
    // nothing to do and wait again.
    int milliseconds = wakeAt == noDeadline ? -1 : int(std::clamp<int64_t>(wakeAt - now + 1, 0, INT_MAX));
    Fetch(milliseconds);
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
        uint32_t slot;
        if (OpenSlotOf(&connection, slot)) Reschedule(slot);
    }
    return true;
}

void CloseConnection(Connection* connection) {
    uint32_t slot;
    if (!OpenSlotOf(connection, slot)) return;
    if (connection->broken) {
        CloseAt(slot);
        return;
    }
    connection->closing = true;
    if (Sending(*connection)) return;
    StartLinger(*connection, MonotonicMilliseconds());
    Reschedule(slot);
}

void CloseServer() {
    for (uint32_t slot : server.ages) {
        CloseSocket(server.connections[slot].socket);
        server.connections[slot] = Connection{};
        server.slots[slot].open = false;
        ++server.slots[slot].generation;
    }
    server.ages.clear();
    server.due.Clear();
    Forget();
    if (server.watches) CloseWatchSet(server.watches);
    server.watches = nullptr;
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
