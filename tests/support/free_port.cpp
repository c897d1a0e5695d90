// Ports found by listening as the server will, and plain client connections to them.
#include "tests/support/free_port.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <random>

namespace {

using NativeSocket = decltype(::socket(0, 0, 0));

#ifdef SOCK_CLOEXEC
// Programs the tests start must not keep a test's connection open.
constexpr int socketType = SOCK_STREAM | SOCK_CLOEXEC;
#else
constexpr int socketType = SOCK_STREAM;
#endif

sockaddr_in LoopbackAddress(const std::string& address, int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, address.c_str(), &result.sin_addr);
    return result;
}

}  // namespace

int FreePort() {
    static std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> range(20000, 32000);
    for (int attempt = 0; attempt < 100; ++attempt) {
        int port = range(random);
        SocketHandle probe = OpenListeningSocket(uint16_t(port), 1);
        if (probe == noSocket) continue;
        CloseSocket(probe);
        return port;
    }
    return 0;
}

BusyPort::BusyPort() {
    for (int attempt = 0; attempt < 10 && socket_ == noSocket; ++attempt) {
        port_ = FreePort();
        socket_ = OpenListeningSocket(uint16_t(port_), 1);
    }
    if (socket_ == noSocket) port_ = 0;
}

BusyPort::~BusyPort() {
    if (socket_ != noSocket) CloseSocket(socket_);
}

SocketHandle ConnectLoopback(const std::string& sourceAddress, int port, int receiveBufferBytes) {
    NativeSocket native = ::socket(AF_INET, socketType, IPPROTO_TCP);
    auto handle = SocketHandle(native);
    if (handle == noSocket) return noSocket;
    if (receiveBufferBytes > 0)
        setsockopt(native, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBufferBytes),
                   sizeof receiveBufferBytes);
    sockaddr_in source = LoopbackAddress(sourceAddress, 0);
    sockaddr_in target = LoopbackAddress("127.0.0.1", port);
    if (bind(native, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        connect(native, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        CloseSocket(handle);
        return noSocket;
    }
    return handle;
}

bool PortAccepts(int port) {
    SocketHandle connection = ConnectLoopback("127.0.0.1", port);
    if (connection == noSocket) return false;
    CloseSocket(connection);
    return true;
}
