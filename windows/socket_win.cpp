// Windows Sockets behind the connection layer's seam: non-blocking IPv4 TCP with exclusive use of
// the port, select() readiness sized for every connection the server keeps (a watch set too
// looks at its sockets with it), and a loopback datagram socket that sends to itself as the waker.

// Windows' fd_set is a counted array of 64 sockets unless told otherwise: room for every
// socket the seam promises to watch.
#define FD_SETSIZE 512
#include <winsock2.h>

#include <climits>
#include <algorithm>
#include <memory>
#include <vector>

#include "net/socket_seam.h"

static_assert(size_t(FD_SETSIZE) >= watchableSockets, "select() must see what the seam promises");

namespace {

SOCKET Raw(SocketHandle socket) { return SOCKET(socket); }

bool MakeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

int Clamp(size_t count) { return count > size_t(INT_MAX) ? INT_MAX : int(count); }

timeval Delay(int milliseconds) {
    timeval delay;
    delay.tv_sec = milliseconds / 1000;
    delay.tv_usec = (milliseconds % 1000) * 1000;
    return delay;
}

}  // namespace

SocketHandle OpenListeningSocket(uint16_t port, int backlog) {
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return noSocket;
    // Without it another program binding the same port with address reuse could take
    // connections meant for this server.
    BOOL exclusive = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (!MakeNonBlocking(socket) ||
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket, backlog) != 0) {
        closesocket(socket);
        return noSocket;
    }
    return SocketHandle(socket);
}

SocketHandle AcceptSocket(SocketHandle listener, uint32_t& peerAddress, bool* exhausted) {
    sockaddr_in peer{};
    int length = sizeof peer;
    SOCKET socket = accept(Raw(listener), reinterpret_cast<sockaddr*>(&peer), &length);
    if (exhausted) {
        int error = socket == INVALID_SOCKET ? WSAGetLastError() : 0;
        *exhausted = error == WSAEMFILE || error == WSAENOBUFS;
    }
    if (socket == INVALID_SOCKET) return noSocket;
    if (!MakeNonBlocking(socket)) {
        closesocket(socket);
        return noSocket;
    }
    peerAddress = peer.sin_family == AF_INET ? ntohl(peer.sin_addr.s_addr) : 0;
    return SocketHandle(socket);
}

PeekResult PeekSocket(SocketHandle socket) {
    char byte;
    int n = recv(Raw(socket), &byte, 1, MSG_PEEK);
    if (n > 0) return PeekResult::Data;
    if (n == 0) return PeekResult::Closed;
    return WSAGetLastError() == WSAEWOULDBLOCK ? PeekResult::Nothing : PeekResult::Failed;
}

long ReceiveSocket(SocketHandle socket, char* buffer, size_t count) {
    int n = recv(Raw(socket), buffer, Clamp(count), 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? socketWouldBlock : socketFailed;
}

long SendSocket(SocketHandle socket, const char* data, size_t count) {
    int n = send(Raw(socket), data, Clamp(count), 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? socketWouldBlock : socketFailed;
}

void ShutDownSending(SocketHandle socket) { shutdown(Raw(socket), SD_SEND); }

void CloseSocket(SocketHandle socket) { closesocket(Raw(socket)); }

void AbortSocket(SocketHandle socket) {
    linger now{1, 0};
    setsockopt(Raw(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
    closesocket(Raw(socket));
}

bool WaitSockets(SocketWatch* watches, size_t count, int milliseconds) {
    for (size_t i = 0; i < count; ++i) watches[i].ready = false;
    // Three sets of FD_SETSIZE sockets are too large to put on the stack for every request.
    thread_local std::unique_ptr<fd_set> readable(new fd_set);
    thread_local std::unique_ptr<fd_set> writable(new fd_set);
    thread_local std::unique_ptr<fd_set> failed(new fd_set);
    FD_ZERO(readable.get());
    FD_ZERO(writable.get());
    FD_ZERO(failed.get());
    size_t watched = 0;
    for (size_t i = 0; i < count && watched < FD_SETSIZE; ++i) {
        if (watches[i].socket == noSocket) continue;
        FD_SET(Raw(watches[i].socket), watches[i].forSending ? writable.get() : readable.get());
        FD_SET(Raw(watches[i].socket), failed.get());
        ++watched;
    }
    if (watched == 0) {
        // select() refuses empty sets at once; the caller still expects the wait.
        if (milliseconds > 0) Sleep(DWORD(milliseconds));
        return false;
    }
    timeval delay = Delay(milliseconds);
    int ready = select(0, readable.get(), writable.get(), failed.get(), milliseconds < 0 ? nullptr : &delay);
    if (ready <= 0) return false;
    bool any = false;
    for (size_t i = 0; i < count; ++i) {
        if (watches[i].socket == noSocket) continue;
        SOCKET s = Raw(watches[i].socket);
        watches[i].ready = FD_ISSET(s, watches[i].forSending ? writable.get() : readable.get()) ||
                           FD_ISSET(s, failed.get());
        any = any || watches[i].ready;
    }
    return any;
}

bool WaitWritable(SocketHandle socket, int milliseconds) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(Raw(socket), &writable);
    FD_SET(Raw(socket), &failed);
    timeval delay = Delay(milliseconds < 0 ? 0 : milliseconds);
    return select(0, nullptr, &writable, &failed, &delay) > 0;
}

struct WatchSet {
    struct Entry {
        SocketHandle socket;
        uint64_t tag;
        Interest interest;
    };
    std::vector<Entry> entries;
    std::vector<SocketWatch> watches;
};

WatchSet* OpenWatchSet() { return new WatchSet; }

bool AddWatch(WatchSet* set, SocketHandle socket, uint64_t tag, Interest interest) {
    if (set->entries.size() >= watchableSockets) return false;
    set->entries.push_back({socket, tag, interest});
    return true;
}

void ChangeWatch(WatchSet* set, SocketHandle socket, uint64_t tag, Interest interest) {
    for (WatchSet::Entry& entry : set->entries)
        if (entry.socket == socket) entry = {socket, tag, interest};
}

void RemoveWatch(WatchSet* set, SocketHandle socket) {
    auto& entries = set->entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [socket](const WatchSet::Entry& entry) { return entry.socket == socket; }),
                  entries.end());
}

size_t WaitWatchSet(WatchSet* set, ReadyWatch* ready, size_t capacity, int milliseconds) {
    set->watches.clear();
    for (const WatchSet::Entry& entry : set->entries)
        set->watches.push_back({entry.interest == Interest::Neither ? noSocket : entry.socket, false,
                                entry.interest == Interest::Sending});
    if (!WaitSockets(set->watches.data(), set->watches.size(), milliseconds)) return 0;
    size_t count = 0;
    for (size_t i = 0; i < set->watches.size() && count < capacity; ++i)
        if (set->watches[i].ready) ready[count++] = {set->entries[i].tag, false};
    return count;
}

void CloseWatchSet(WatchSet* set) { delete set; }

SocketHandle OpenWaker() {
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) return noSocket;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    // Bound to a port of its own and connected to it: what it sends, it receives.
    if (bind(socket, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
        connect(socket, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 || !MakeNonBlocking(socket)) {
        closesocket(socket);
        return noSocket;
    }
    return SocketHandle(socket);
}

void WakeWaker(SocketHandle waker) {
    // A full buffer drops the datagram, and leaves the waker readable all the same.
    send(Raw(waker), "w", 1, 0);
}

void DrainWaker(SocketHandle waker) {
    char datagram[16];
    // Each wake since the last drain left a datagram of its own.
    for (int n = 0; n < 64; ++n)
        if (recv(Raw(waker), datagram, sizeof datagram, 0) <= 0) return;
}

void CloseWaker(SocketHandle waker) { closesocket(Raw(waker)); }
