// The handful of socket calls that differ between systems, so that the connection layer and the
// address-echo client are shared. Each build links one implementation: socket_linux.cpp here,
// windows/socket_win.cpp in the Windows build.
#pragma once
#include <cstddef>
#include <cstdint>

// Wide enough for a POSIX descriptor and for a Winsock SOCKET alike.
using SocketHandle = intptr_t;
inline constexpr SocketHandle noSocket = -1;

// How many sockets one WaitSockets call is sure to watch in every build (Winsock's select() has a
// fixed set size; poll() has none).
inline constexpr size_t watchableSockets = 512;

// A non-blocking IPv4 listening socket on every local address that never shares its port with
// another listener: Linux binds over the port's finished connections only, so that Stop then Start
// works at once, and Windows claims the port for itself; noSocket when it cannot be created, bound
// or put into listening state.
SocketHandle OpenListeningSocket(uint16_t port, int backlog);

// One pending connection, made non-blocking, with the peer's IPv4 address in host byte order;
// noSocket when none is pending (or accepting failed). `exhausted`, when given, tells whether the
// failure was a lack of descriptors or memory: the connection then stays pending and the listener
// stays readable, so that every further try fails alike until something is freed.
SocketHandle AcceptSocket(SocketHandle listener, uint32_t& peerAddress, bool* exhausted = nullptr);

enum class PeekResult { Data, Closed, Nothing, Failed };
// Looks for unread bytes without consuming them.
PeekResult PeekSocket(SocketHandle socket);

inline constexpr long socketWouldBlock = -1;
inline constexpr long socketFailed = -2;
// One read of at most `count` bytes: the count read, 0 when the peer has closed,
// socketWouldBlock when nothing has arrived, socketFailed when the connection is broken.
long ReceiveSocket(SocketHandle socket, char* buffer, size_t count);
// One send that never raises a signal: the count the socket took, socketWouldBlock or socketFailed.
long SendSocket(SocketHandle socket, const char* data, size_t count);

// Sends the end of the stream after everything queued; reading stays possible.
void ShutDownSending(SocketHandle socket);
void CloseSocket(SocketHandle socket);
// Closes with a reset: whatever is still queued for the peer is thrown away at once instead of
// being delivered by the system for minutes after.
void AbortSocket(SocketHandle socket);

struct SocketWatch {
    SocketHandle socket = noSocket;  // a watch on noSocket is never ready
    bool ready = false;
    bool forSending = false;  // ready when the socket takes more data instead of when it has some
};
// Marks which sockets are ready: readable (or closed or failed), or for a watch forSending,
// writable (or failed). Waits at most `milliseconds`: 0 only looks, a negative count waits until
// one is ready. False when none is ready.
bool WaitSockets(SocketWatch* watches, size_t count, int milliseconds);
// For callers that only read.
inline bool WaitReadable(SocketWatch* watches, size_t count, int milliseconds) {
    return WaitSockets(watches, count, milliseconds);
}
// Waits at most `milliseconds` until the socket takes more data or has failed.
bool WaitWritable(SocketHandle socket, int milliseconds);

// Sockets watched together, each registered once and remembered between waits, so that a wait
// costs by what is ready rather than by what is watched: epoll on Linux; the Windows set looks at
// its sockets in turn. A tag names each socket in what a wait reports.
struct WatchSet;
enum class Interest { Neither, Reading, Sending };
// nullptr when none can be made.
WatchSet* OpenWatchSet();
// Reading reports a socket readable (or closed or failed), Sending writable (or failed), Neither
// nothing. False when the socket cannot be watched.
bool AddWatch(WatchSet* set, SocketHandle socket, uint64_t tag, Interest interest);
void ChangeWatch(WatchSet* set, SocketHandle socket, uint64_t tag, Interest interest);
// Before the socket is closed.
void RemoveWatch(WatchSet* set, SocketHandle socket);
struct ReadyWatch {
    uint64_t tag;
    // Known to hold unread bytes, so that nobody has to look; false when it may as well have
    // closed or failed, or when the system does not tell.
    bool holdsBytes;
};
// Waits at most `milliseconds` (negative: until one is ready) and writes up to `capacity` ready
// sockets; their count. A socket stays ready until what it reported is used up.
size_t WaitWatchSet(WatchSet* set, ReadyWatch* ready, size_t capacity, int milliseconds);
void CloseWatchSet(WatchSet* set);

// A handle that WaitSockets and a WatchSet watch like a socket and that any thread can make
// readable, so that a thread waiting without a time limit can still be called back at once.
// Readable from the first WakeWaker until DrainWaker; noSocket from OpenWaker when none can be made.
SocketHandle OpenWaker();
void WakeWaker(SocketHandle waker);
void DrainWaker(SocketHandle waker);
void CloseWaker(SocketHandle waker);
