// Connecting and the answer file of the HTTP download on POSIX systems.
// The socket is close-on-exec so that programs started later do not inherit it.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/fault_stack.h"
#include "desktop/download_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// One name lookup, shared by the thread that makes it and whoever waits for it. The system's
// lookup cannot be interrupted: a wait that runs out leaves it to end in its own time, and the
// thread then frees this by letting go of its share.
struct Lookup {
    std::string host;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    bool found = false;
    in_addr address{};
};

void LookUp(const std::shared_ptr<Lookup>& lookup) {
    ThreadFaultStack faultStack;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    bool ok = getaddrinfo(lookup->host.c_str(), nullptr, &hints, &found) == 0 && found;
    std::lock_guard<std::mutex> guard(lookup->lock);
    if (ok) lookup->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    if (found) freeaddrinfo(found);
    lookup->found = ok;
    lookup->done = true;
    lookup->ended.notify_all();
}

// A lookup that outlived its wait; the next check of the same name waits for it again rather
// than starting another one beside it.
std::mutex pendingLock;
std::shared_ptr<Lookup> pending;

std::shared_ptr<Lookup> StartLookup(const std::string& host) {
    std::lock_guard<std::mutex> guard(pendingLock);
    if (pending && pending->host == host) {
        std::lock_guard<std::mutex> state(pending->lock);
        if (!pending->done) return pending;
    }
    auto lookup = std::make_shared<Lookup>();
    lookup->host = host;
    try {
        std::thread(LookUp, lookup).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    pending = lookup;
    return lookup;
}

bool ResolveIPv4(const std::string& host, in_addr& address, int limitMilliseconds) {
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
    std::shared_ptr<Lookup> lookup = StartLookup(host);
    if (!lookup) return false;
    std::unique_lock<std::mutex> guard(lookup->lock);
    if (!lookup->ended.wait_for(guard, std::chrono::milliseconds(limitMilliseconds),
                                [&] { return lookup->done; }))
        return false;
    address = lookup->address;
    return lookup->found;
}

int MillisecondsLeft(Clock::time_point end) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

SocketHandle ConnectSocket(const std::string& host, uint16_t port, int limitMilliseconds) {
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(limitMilliseconds);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (!ResolveIPv4(host, peer.sin_addr, limitMilliseconds)) return noSocket;
    limitMilliseconds = MillisecondsLeft(end);

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return noSocket;
    // Non-blocking, so that a host that never answers costs the time limit and not minutes.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        pollfd entry{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (errno != EINPROGRESS || poll(&entry, 1, limitMilliseconds) <= 0 ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            close(fd);
            return noSocket;
        }
    }
    return fd;
}

std::FILE* CreateDownloadFile(const std::string& path) { return std::fopen(path.c_str(), "wbe"); }

std::FILE* OpenDownloadFile(const std::string& path) { return std::fopen(path.c_str(), "rbe"); }

void DeleteDownloadFile(const std::string& path) { unlink(path.c_str()); }
