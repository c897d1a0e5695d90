// The system's name lookup, connecting and the answer file of the HTTP download on POSIX systems.
// The socket is close-on-exec so that programs started later do not inherit it.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "desktop/download_platform.h"

bool LookUpIPv4(const std::string& host, uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return true;
}

SocketHandle ConnectSocket(uint32_t address, uint16_t port, int limitMilliseconds) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
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
