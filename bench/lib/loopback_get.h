// One request to a server on 127.0.0.1 over a connection of its own, for the benchmark clients:
// everything the server sends until it closes or stays silent for two seconds.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

inline std::string LoopbackExchange(int port, const std::string& request) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(uint16_t(port));
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char chunk[65536];
        pollfd one{fd, POLLIN, 0};
        for (ssize_t n; poll(&one, 1, 2000) > 0 && (n = recv(fd, chunk, sizeof chunk, 0)) > 0;)
            answer.append(chunk, size_t(n));
    }
    close(fd);
    return answer;
}
