// POSIX sockets behind the connection layer's seam: non-blocking IPv4 TCP, poll(2) and epoll
// readiness, sends that never raise SIGPIPE, and an eventfd as the waker.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "net/socket_seam.h"

namespace {

bool MakeNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

SocketHandle OpenListeningSocket(uint16_t port, int backlog) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return noSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    // Every answered connection leaves the port in TIME_WAIT for a minute, because the server
    // closes first; without this a Stop and Start would fail until then. On Linux the option only
    // allows binding over such finished connections: a port that anybody listens on stays refused.
    int reuse = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0) {
        close(fd);
        return noSocket;
    }
    if (!MakeNonBlocking(fd) || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, backlog) != 0) {
        close(fd);
        return noSocket;
    }
    return fd;
}

SocketHandle AcceptSocket(SocketHandle listener, uint32_t& peerAddress, bool* exhausted) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd;
    do {
        fd = accept4(int(listener), reinterpret_cast<sockaddr*>(&peer), &length,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (exhausted)
            *exhausted = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return noSocket;
    }
    if (exhausted) *exhausted = false;
    peerAddress = peer.sin_family == AF_INET ? ntohl(peer.sin_addr.s_addr) : 0;
    return fd;
}

PeekResult PeekSocket(SocketHandle socket) {
    char byte;
    ssize_t n;
    do {
        n = recv(int(socket), &byte, 1, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return PeekResult::Data;
    if (n == 0) return PeekResult::Closed;
    return errno == EAGAIN || errno == EWOULDBLOCK ? PeekResult::Nothing : PeekResult::Failed;
}

long ReceiveSocket(SocketHandle socket, char* buffer, size_t count) {
    ssize_t n;
    do {
        n = recv(int(socket), buffer, count, 0);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) return long(n);
    return errno == EAGAIN || errno == EWOULDBLOCK ? socketWouldBlock : socketFailed;
}

long SendSocket(SocketHandle socket, const char* data, size_t count) {
    ssize_t n;
    do {
        n = send(int(socket), data, count, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) return long(n);
    return errno == EAGAIN || errno == EWOULDBLOCK ? socketWouldBlock : socketFailed;
}

void ShutDownSending(SocketHandle socket) { shutdown(int(socket), SHUT_WR); }

void CloseSocket(SocketHandle socket) { close(int(socket)); }

void AbortSocket(SocketHandle socket) {
    linger now{1, 0};
    setsockopt(int(socket), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    close(int(socket));
}

bool WaitSockets(SocketWatch* watches, size_t count, int milliseconds) {
    // Reused between calls: the server thread waits here for every request it serves.
    thread_local std::vector<pollfd> polls;
    polls.resize(count);
    for (size_t i = 0; i < count; ++i)
        polls[i] = pollfd{int(watches[i].socket), short(watches[i].forSending ? POLLOUT : POLLIN), 0};
    int ready;
    do {
        ready = poll(polls.data(), nfds_t(count), milliseconds < 0 ? -1 : milliseconds);
    } while (ready < 0 && errno == EINTR && milliseconds < 0);
    for (size_t i = 0; i < count; ++i) watches[i].ready = ready > 0 && polls[i].revents != 0;
    return ready > 0;
}

bool WaitWritable(SocketHandle socket, int milliseconds) {
    pollfd one{int(socket), POLLOUT, 0};
    return poll(&one, 1, milliseconds) > 0;
}

// Each build links one half of the seam: the Windows set of the same name never meets this one.
// cppcheck-suppress ctuOneDefinitionRuleViolation
struct WatchSet {
    int epoll;
};

namespace {

epoll_event EventFor(uint64_t tag, Interest interest) {
    epoll_event event{};
    // Level-triggered: a socket the caller has not used up yet is reported again by the next wait.
    // EPOLLRDHUP tells unread bytes from a peer's end, which EPOLLIN alone does not.
    event.events = interest == Interest::Reading ? uint32_t(EPOLLIN | EPOLLRDHUP)
                   : interest == Interest::Sending ? uint32_t(EPOLLOUT)
                                                   : 0u;
    event.data.u64 = tag;
    return event;
}

}  // namespace

WatchSet* OpenWatchSet() {
    int fd = epoll_create1(EPOLL_CLOEXEC);
    return fd < 0 ? nullptr : new WatchSet{fd};
}

bool AddWatch(WatchSet* set, SocketHandle socket, uint64_t tag, Interest interest) {
    epoll_event event = EventFor(tag, interest);
    return epoll_ctl(set->epoll, EPOLL_CTL_ADD, int(socket), &event) == 0;
}

void ChangeWatch(WatchSet* set, SocketHandle socket, uint64_t tag, Interest interest) {
    epoll_event event = EventFor(tag, interest);
    epoll_ctl(set->epoll, EPOLL_CTL_MOD, int(socket), &event);
}

// Closing would remove the socket by itself only if no other process shares it, and a helper
// program forked at that moment does for a while.
void RemoveWatch(WatchSet* set, SocketHandle socket) { epoll_ctl(set->epoll, EPOLL_CTL_DEL, int(socket), nullptr); }

size_t WaitWatchSet(WatchSet* set, ReadyWatch* ready, size_t capacity, int milliseconds) {
    // Reused between calls: the server thread waits here for every request it serves.
    thread_local std::vector<epoll_event> events;
    events.resize(capacity);
    int count;
    do {
        count = epoll_wait(set->epoll, events.data(), int(capacity), milliseconds < 0 ? -1 : milliseconds);
    } while (count < 0 && errno == EINTR && milliseconds < 0);
    for (int i = 0; i < count; ++i) {
        uint32_t flags = events[size_t(i)].events;
        ready[i] = {events[size_t(i)].data.u64, (flags & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) == EPOLLIN};
    }
    return count > 0 ? size_t(count) : 0;
}

void CloseWatchSet(WatchSet* set) {
    close(set->epoll);
    delete set;
}

SocketHandle OpenWaker() {
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd < 0 ? noSocket : fd;
}

void WakeWaker(SocketHandle waker) {
    uint64_t one = 1;
    // A full counter fails the write, and leaves the waker readable all the same.
    ssize_t written = write(int(waker), &one, sizeof one);
    (void)written;
}

void DrainWaker(SocketHandle waker) {
    uint64_t count;
    ssize_t got = read(int(waker), &count, sizeof count);
    (void)got;
}

void CloseWaker(SocketHandle waker) { close(int(waker)); }
