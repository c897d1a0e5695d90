// Browsers for the tests: TCP clients on loopback from source addresses of their own.
#include "tests/support/loopback_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

ClientSocket::ClientSocket(const std::string& sourceAddress, int port, int receiveBufferBytes)
    : fd_(int(ConnectLoopback(sourceAddress, port, receiveBufferBytes))) {}

ClientSocket::~ClientSocket() {
    if (fd_ >= 0) close(fd_);
}

bool ClientSocket::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string ClientSocket::ReadUntilClosed(int timeoutMs) {
    std::string received;
    char chunk[65536];
    for (;;) {
        pollfd one{fd_, POLLIN, 0};
        if (poll(&one, 1, timeoutMs) <= 0) return received;
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) return received;
        received.append(chunk, size_t(n));
    }
}

bool ClientSocket::ReadableWithin(int timeoutMs) {
    pollfd one{fd_, POLLIN, 0};
    return poll(&one, 1, timeoutMs) > 0;
}

bool ClientSocket::ClosedWithin(int timeoutMs) {
    if (!ReadableWithin(timeoutMs)) return false;
    char byte;
    return recv(fd_, &byte, 1, MSG_PEEK) <= 0;
}

bool ClientSocket::ResetWithin(int timeoutMs) {
    // Asked for no event, poll reports only the error and hang-up that a reset brings.
    pollfd one{fd_, 0, 0};
    return poll(&one, 1, timeoutMs) > 0 && (one.revents & POLLERR) != 0;
}

size_t ClientSocket::ReadSome(size_t count) {
    std::string chunk(count, '\0');
    ssize_t n = recv(fd_, chunk.data(), count, MSG_DONTWAIT);
    return n > 0 ? size_t(n) : 0;
}

void ClientSocket::Abort() {
    linger reset{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(fd_);
    fd_ = -1;
}

std::string GetRequest(const std::string& path) {
    return "GET /" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
}

std::string Fetch(const std::string& sourceAddress, int port, const std::string& path, int timeoutMs) {
    ClientSocket client(sourceAddress, port);
    if (!client.isOpen() || !client.Send(GetRequest(path))) return {};
    return client.ReadUntilClosed(timeoutMs);
}

std::string ExpectedAnswer(const std::string& body, const std::string& contentType) {
    return "HTTP/1.1 200 OK\r\nServer: Lumora-Server\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nContent-Type: " + contentType + "\r\n\r\n" + body;
}

std::string BodyOf(const std::string& answer) {
    size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? answer : answer.substr(end + 4);
}
