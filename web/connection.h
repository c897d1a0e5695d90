// The web server's connection layer: one listening socket and the connections accepted on it,
// reported one event per poll, newest connection first. Used by the server thread only.
#pragma once
#include <cstddef>
#include <cstdint>

#include "web/socket_seam.h"

struct Connection {
    SocketHandle socket = noSocket;
    uint32_t peerAddress = 0;  // IPv4, host byte order
    int64_t openedAt = 0;      // monotonic milliseconds
    // Set once the answer is out: the connection then only drains what the browser still sends,
    // so that closing it cannot reset the answer away, and closes at the browser's end or here.
    int64_t lingerUntil = 0;
    bool broken = false;
};

enum class NetEvent { None = 0, Connect = 1, Data = 2, Disconnect = 4 };

struct NetPoll {
    NetEvent kind = NetEvent::None;
    Connection* connection = nullptr;  // valid until the connection is closed
};

inline constexpr int listenBacklog = 100;
// Silent clients must not use up the program: past the cap the oldest connection goes.
inline constexpr size_t maxConnections = 256;
inline constexpr int64_t requestWaitMilliseconds = 15000;
// A browser that takes no byte of its answer for this long is dropped.
inline constexpr int64_t sendStallMilliseconds = 5000;
inline constexpr int64_t lingerMilliseconds = 2000;

// Fails, leaving no server, for a port outside 1..65535 (without touching the network) and when
// the socket cannot be created, bound or put into listening state.
bool CreateServer(int64_t port);
// Never blocks: accepts one pending connection (Connect), or reports the first connection in list
// order with unread bytes (Data) or whose peer has closed or failed (Disconnect, closing it), or None.
NetPoll PollServer();
// Waits at most `milliseconds` until the listening socket or a connection becomes ready.
void WaitForActivity(int milliseconds);
// One read of at most `count` bytes; the count, or 0 when nothing could be read.
size_t ReceiveRequest(Connection& connection, char* buffer, size_t count);
uint32_t PeerAddress(const Connection& connection);
// Sends everything, waiting for the socket to take more; false when the browser has gone, took
// nothing for sendStallMilliseconds, or the server was interrupted.
bool SendData(Connection& connection, const char* data, size_t count);
// The connection is gone for the program; its answer still reaches the browser whole.
void CloseConnection(Connection* connection);
// Closes every connection at once, then the listening socket.
void CloseServer();
// Makes a send under way give up at once and the server thread end; cleared by CloseServer.
void InterruptServer();
bool ServerInterrupted();
