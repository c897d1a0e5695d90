// Ports for test servers: one that nobody uses now, and one held taken.
#pragma once

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
    int socket_ = -1;
    int port_ = 0;
};
