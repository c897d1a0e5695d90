// The web server's connection layer: one listening socket and the connections accepted on it,
// reported one event per poll, newest connection first. Used by the server thread; other
// threads only wake or interrupt it.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/socket_seam.h"

struct Connection {
    SocketHandle socket = noSocket;
    uint32_t peerAddress = 0;  // IPv4, host byte order
    int64_t openedAt = 0;      // monotonic milliseconds
    // The part of the answer the socket has not taken yet; it leaves as the browser reads, while
    // the server serves the others.
    std::string unsent;
    size_t unsentFrom = 0;
    int64_t sendStartedAt = 0;
    int64_t lastProgressAt = 0;
    int64_t nextPushAt = 0;
    // Closed by the program: the connection reports nothing more. Once its answer is out it only
    // drains what the browser still sends, so that closing it cannot reset the answer away, and
    // closes at the browser's end or at lingerUntil.
    bool closing = false;
    int64_t lingerUntil = 0;
    bool broken = false;
};

enum class NetEvent { None = 0, Connect = 1, Data = 2, Disconnect = 4 };

struct NetPoll {
    NetEvent kind = NetEvent::None;
    Connection* connection = nullptr;  // valid until the connection is closed
};

// A burst of browsers that arrives while the server answers others waits in the backlog instead
// of having its connections dropped, which would cost each a second or an error: the system trims
// this to the largest it allows.
inline constexpr int listenBacklog = INT_MAX;
// Silent clients must not use up the program: past the cap the oldest connection goes.
inline constexpr size_t maxConnections = 256;
static_assert(watchableSockets > maxConnections + 1, "one wait must see every connection and the listener");
inline constexpr int64_t requestWaitMilliseconds = 15000;
// A browser whose answer makes no progress for this long, or is not done within the second
// bound, is dropped.
inline constexpr int64_t sendStallMilliseconds = 5000;
inline constexpr int64_t sendLimitMilliseconds = 30000;
inline constexpr int64_t lingerMilliseconds = 2000;
// Without descriptors to spare, the pending connection stays readable and accepting fails at
// once: the listener is left alone this long instead of being tried again and again.
inline constexpr int64_t acceptRestMilliseconds = 100;
inline constexpr int64_t noDeadline = INT64_MAX;

// Fails, leaving no server, for a port outside 1..65535 (without touching the network) and when
// the socket cannot be created, bound or put into listening state.
bool CreateServer(int64_t port);
// Never blocks: reports one connection accepted (Connect), or the newest ready connection with
// unread bytes (Data) or whose peer has closed or failed (Disconnect, closing it), or None.
// Readiness is fetched for every socket at once and handed out one event a call; the system is
// asked again once that is used up. A ready listener has what waits accepted in one go, each
// reported as a Connect before anything else. Moves unsent answers on and drops the connections
// that are past their time on the way, looking only at those that are due.
NetPoll PollServer();
// Sleeps until the listening socket or a connection needs the server, a connection's time is up,
// WakeServer is called, or the monotonic moment `untilMilliseconds` comes (noDeadline: never).
void WaitForActivity(int64_t untilMilliseconds);
// One read of at most `count` bytes; the count, or 0 when nothing could be read.
size_t ReceiveRequest(const Connection& connection, char* buffer, size_t count);
uint32_t PeerAddress(const Connection& connection);
// Sends what the socket takes now and keeps the rest in the connection, to go out as the browser
// reads; never waits. False when the browser has gone.
bool SendData(Connection& connection, const char* data, size_t count);
// The connection is gone for the program; its answer still reaches the browser whole.
void CloseConnection(Connection* connection);
// Closes every connection at once, then the listening socket.
void CloseServer();
// Ends a WaitForActivity under way at once; any thread may call it.
void WakeServer();
// Makes the server thread end at its next pass (and wakes it); cleared by CloseServer.
void InterruptServer();
bool ServerInterrupted();
