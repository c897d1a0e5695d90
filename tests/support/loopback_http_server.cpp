// A scripted HTTP stand-in on a loopback address that keeps each request's bytes.
#include "tests/support/loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

LoopbackHttpServer::LoopbackHttpServer(const std::string& ip, uint16_t port) : ip_(ip) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A fixed port that served a moment ago stays in TIME_WAIT for a minute; it can be bound again.
    int reuse = 1;
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 8) != 0) {
        if (fd >= 0) close(fd);
        return;
    }
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listener_ = fd;
    int wake[2];
    if (pipe2(wake, O_CLOEXEC) != 0) {
        close(listener_);
        listener_ = -1;
        return;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (listener_ < 0) return;
    char stop = 's';
    ssize_t ignored = write(wakeWrite_, &stop, 1);
    (void)ignored;
    thread_.join();
    close(listener_);
    close(wakeRead_);
    close(wakeWrite_);
}

std::string LoopbackHttpServer::BaseUrl() const {
    return "http://" + ip_ + ":" + std::to_string(port_);
}

void LoopbackHttpServer::SetReply(const ScriptedReply& reply) {
    std::lock_guard<std::mutex> guard(lock_);
    reply_ = reply;
}

std::vector<std::string> LoopbackHttpServer::Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

std::vector<std::string> LoopbackHttpServer::Callers() {
    std::lock_guard<std::mutex> guard(lock_);
    return callers_;
}

bool LoopbackHttpServer::WaitReadable(int fd, int limitMilliseconds) {
    pollfd entries[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    int ready = poll(entries, 2, limitMilliseconds);
    return ready > 0 && !(entries[1].revents & POLLIN);
}

void LoopbackHttpServer::Serve() {
    for (;;) {
        pollfd entries[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (poll(entries, 2, -1) < 0 && errno != EINTR) return;
        if (entries[1].revents & POLLIN) return;
        if (!(entries[0].revents & POLLIN)) continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        int connection = accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (connection < 0) continue;
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        {
            std::lock_guard<std::mutex> guard(lock_);
            callers_.push_back(text);
        }
        Answer(connection);
        close(connection);
    }
}

void LoopbackHttpServer::Answer(int connection) {
    int noDelay = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(connection, 5000)) {
        ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, size_t(n));
    }
    ScriptedReply reply;
    {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
        reply = reply_;
    }
    if (reply.silent) {
        // Until the client closes its end (or the test ends); bounded by the test's own limit.
        while (WaitReadable(connection, 30000) && recv(connection, buffer, sizeof buffer, 0) > 0) {
        }
        return;
    }
    for (size_t i = 0; i < reply.pieces.size(); ++i) {
        if (i > 0 && reply.pauseMilliseconds > 0) {
            pollfd wake{wakeRead_, POLLIN, 0};
            if (poll(&wake, 1, reply.pauseMilliseconds) > 0) return;
        }
        send(connection, reply.pieces[i].data(), reply.pieces[i].size(), MSG_NOSIGNAL);
    }
    if (reply.holdMilliseconds > 0) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.holdMilliseconds);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            until - std::chrono::steady_clock::now()).count();
            if (left <= 0 || !WaitReadable(connection, int(left))) break;
            if (recv(connection, buffer, sizeof buffer, 0) <= 0) break;
        }
    }
}

std::string HttpAnswer(const std::string& statusLine, const std::vector<std::string>& headers,
                       const std::string& body) {
    std::string answer = statusLine + "\r\n";
    for (const std::string& header : headers) answer += header + "\r\n";
    return answer + "\r\n" + body;
}
