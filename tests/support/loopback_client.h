// Browsers for the web server tests: real TCP clients on loopback, each from a source address of
// its own (127.0.0.2, 127.0.0.3 ... stand for different computers), with bounded waits only.
#pragma once
#include <cstdint>
#include <string>

#include "tests/support/free_port.h"

class ClientSocket {
public:
    // Connects from `sourceAddress` to 127.0.0.1:port; isOpen() tells whether that worked.
    ClientSocket(const std::string& sourceAddress, int port, int receiveBufferBytes = 0);
    ~ClientSocket();
    ClientSocket(const ClientSocket&) = delete;
    ClientSocket& operator=(const ClientSocket&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool Send(const std::string& bytes);
    // Everything until the server closes, or until `timeoutMs` passes without a byte.
    std::string ReadUntilClosed(int timeoutMs = 5000);
    // Whether the server has closed this connection (or sent something) within `timeoutMs`.
    bool ReadableWithin(int timeoutMs);
    // True when the server closed without sending; false on data or timeout.
    bool ClosedWithin(int timeoutMs);
    // Whether the server has reset this connection within `timeoutMs`, read or unread bytes
    // notwithstanding; nothing is read.
    bool ResetWithin(int timeoutMs);
    // One read of at most `count` bytes of what has arrived; how many were read.
    size_t ReadSome(size_t count);
    // Resets the connection instead of closing it in order.
    void Abort();

private:
    int fd_ = -1;
};

std::string GetRequest(const std::string& path);
// One request from `sourceAddress`, the whole answer back (what came before `timeoutMs` passed
// without a byte).
std::string Fetch(const std::string& sourceAddress, int port, const std::string& path,
                  int timeoutMs = 5000);

// What a complete answer with this body must look like, byte for byte.
std::string ExpectedAnswer(const std::string& body, const std::string& contentType = "text/html");
// The body of an answer (after the empty line); the whole text when there is none.
std::string BodyOf(const std::string& answer);
