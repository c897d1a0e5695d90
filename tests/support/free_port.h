// Ports for test servers and connections to them on loopback, for every system's build.
#pragma once
#include <string>

#include "net/socket_seam.h"

// A port nobody uses right now on any address, below the range the system hands out to client
// sockets, so that no passing connection takes it between this check and the server's bind.
int FreePort();

// Keeps a port taken on every local address while it lives.
class BusyPort {
public:
    BusyPort();
    ~BusyPort();
    BusyPort(const BusyPort&) = delete;
    BusyPort& operator=(const BusyPort&) = delete;
    int port() const { return port_; }

private:
    SocketHandle socket_ = noSocket;
    int port_ = 0;
};

// A blocking connection from `sourceAddress` (127.0.0.2, 127.0.0.3 ... stand for other computers)
// to 127.0.0.1:port, with the receive buffer set first when `receiveBufferBytes` is given;
// noSocket when nothing accepts it.
SocketHandle ConnectLoopback(const std::string& sourceAddress, int port, int receiveBufferBytes = 0);

// Whether something accepts connections on 127.0.0.1:port.
bool PortAccepts(int port);
