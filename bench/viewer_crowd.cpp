// Browser-like viewers for bench/viewers: each of VIEWERS asks for the picture on a new connection
// every 500 ms, as the viewer page reloads it, the viewers' phases spread evenly over the first
// 500 ms; a viewer whose last picture is still loading at its tick waits for it (a late tick).
// After one second of warm-up, counts the requests started in the next SECONDS and prints
// "requests failed late p50-ms p99-ms max-ms requests/s" (percentiles over the answered ones).
// SILENT connections, opened first and held without a byte, stand for a flood of idle clients.
// Usage: viewer-crowd PORT VIEWERS SECONDS PICTURE-BYTES [SILENT]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto tickPeriod = milliseconds(500);
constexpr auto answerLimit = milliseconds(5000);
constexpr auto warmUp = milliseconds(1000);

struct Viewer {
    int fd = -1;
    bool counted = false;   // started inside the measured window
    bool answered = false;  // the whole picture came, the server's close may still be due
    bool waiting = false;   // its tick came while the last picture was loading
    long request = 0;       // tells a stale deadline from the current one
    Clock::time_point connectedAt;
    std::string head;
    long bodyBytes = 0;
    long expectedBytes = -1;
};

struct Deadline {
    Clock::time_point at;
    size_t viewer;
    long request;
};

int port;
long pictureBytes;
int epollFd;
std::vector<Viewer> viewers;
std::deque<Deadline> deadlines;  // in connect order, so also in deadline order
Clock::time_point windowStart, windowEnd;
long requests = 0, failed = 0, late = 0, nextRequest = 0, open = 0;
std::vector<double> latenciesMs;

sockaddr_in Server() {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return server;
}

void Finish(size_t index, bool complete) {
    Viewer& v = viewers[index];
    if (v.counted && !v.answered && !complete) ++failed;
    epoll_ctl(epollFd, EPOLL_CTL_DEL, v.fd, nullptr);
    close(v.fd);
    v.fd = -1;
    --open;
}

void Start(size_t index);

// The page asks for the next picture once the one it waited for has loaded.
void Free(size_t index, bool complete) {
    Finish(index, complete);
    if (viewers[index].waiting && Clock::now() < windowEnd) Start(index);
}

void Start(size_t index) {
    Viewer& v = viewers[index];
    v = Viewer();
    v.request = ++nextRequest;
    v.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (v.fd < 0) {
        std::perror("socket");
        std::exit(1);
    }
    ++open;
    v.connectedAt = Clock::now();
    v.counted = v.connectedAt >= windowStart && v.connectedAt < windowEnd;
    requests += v.counted;
    deadlines.push_back({v.connectedAt + answerLimit, index, v.request});
    sockaddr_in server = Server();
    epoll_event event{.events = EPOLLOUT, .data = {.u64 = index}};
    if ((connect(v.fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 && errno != EINPROGRESS) ||
        epoll_ctl(epollFd, EPOLL_CTL_ADD, v.fd, &event) != 0)
        Finish(index, false);
}

// Connected: the request goes out whole, since a new socket's send buffer holds it.
void SendRequest(size_t index) {
    Viewer& v = viewers[index];
    int error = 0;
    socklen_t length = sizeof error;
    std::string request = "GET /webcam.jpg?" + std::to_string(v.request) + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                          std::to_string(port) + "\r\nConnection: close\r\n\r\n";
    epoll_event event{.events = EPOLLIN, .data = {.u64 = index}};
    if (getsockopt(v.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0 ||
        send(v.fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()) ||
        epoll_ctl(epollFd, EPOLL_CTL_MOD, v.fd, &event) != 0)
        Free(index, false);
}

void Complete(Viewer& v) {
    if (v.answered || v.expectedBytes < 0 || v.bodyBytes < v.expectedBytes) return;
    v.answered = true;
    if (v.counted)
        latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - v.connectedAt).count());
}

// The answer's head is kept until its end; of the body only its length counts.
void Receive(size_t index) {
    static char buffer[65536];
    Viewer& v = viewers[index];
    for (;;) {
        ssize_t got = recv(v.fd, buffer, sizeof buffer, 0);
        if (got == 0) return Free(index, v.answered);
        if (got < 0) {
            if (errno == EAGAIN) return;
            return Free(index, false);
        }
        if (v.expectedBytes >= 0) {
            v.bodyBytes += got;
        } else {
            v.head.append(buffer, got);
            size_t end = v.head.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            std::string lower = v.head.substr(0, end + 2);
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            if (lower.compare(0, 7, "http/1.") != 0 || lower.compare(8, 4, " 200") != 0)
                return Free(index, false);
            size_t field = lower.find("\r\ncontent-length:");
            v.expectedBytes = field == std::string::npos ? pictureBytes : std::atol(lower.c_str() + field + 17);
            v.bodyBytes = static_cast<long>(v.head.size() - end - 4);
        }
        Complete(v);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: %s PORT VIEWERS SECONDS PICTURE-BYTES [SILENT]\n", argv[0]);
        return 2;
    }
    port = std::atoi(argv[1]);
    viewers.resize(std::atol(argv[2]));
    long seconds = std::atol(argv[3]);
    pictureBytes = std::atol(argv[4]);
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    epollFd = epoll_create1(0);
    std::vector<int> silent(argc == 6 ? std::atol(argv[5]) : 0);
    for (int& fd : silent) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in server = Server();
        if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            std::perror("connect");
            return 1;
        }
    }

    auto start = Clock::now();
    windowStart = start + warmUp;
    windowEnd = windowStart + std::chrono::seconds(seconds);
    long count = static_cast<long>(viewers.size());
    auto tickAt = [&](long tick) { return start + std::chrono::nanoseconds(tickPeriod) * tick / count; };
    std::vector<epoll_event> events(1024);
    for (long tick = 0;;) {
        for (; tickAt(tick) <= Clock::now() && tickAt(tick) < windowEnd; ++tick) {
            Viewer& v = viewers[tick % count];
            if (v.fd < 0) {
                Start(tick % count);
            } else {
                v.waiting = true;
                late += tickAt(tick) >= windowStart;
            }
        }
        auto now = Clock::now();
        while (!deadlines.empty()) {
            Deadline d = deadlines.front();
            bool current = viewers[d.viewer].request == d.request && viewers[d.viewer].fd >= 0;
            if (current && d.at > now) break;
            deadlines.pop_front();
            if (current) Free(d.viewer, false);
        }
        bool ticking = tickAt(tick) < windowEnd;
        if (!ticking && open == 0) break;
        auto due = std::min(ticking ? tickAt(tick) : Clock::time_point::max(),
                            deadlines.empty() ? Clock::time_point::max() : deadlines.front().at);
        auto wait = std::chrono::ceil<milliseconds>(due - Clock::now()).count();
        int ready = epoll_wait(epollFd, events.data(), static_cast<int>(events.size()),
                               static_cast<int>(std::clamp<long>(wait, 0, answerLimit.count())));
        for (int i = 0; i < ready; ++i) {
            size_t index = events[i].data.u64;
            if (viewers[index].fd < 0) continue;
            if (events[i].events & EPOLLOUT) SendRequest(index);
            else Receive(index);
        }
    }

    for (int fd : silent) close(fd);
    std::sort(latenciesMs.begin(), latenciesMs.end());
    auto percentile = [](double share) {
        if (latenciesMs.empty()) return 0.0;
        return latenciesMs[static_cast<size_t>(std::ceil(share * latenciesMs.size())) - 1];
    };
    std::printf("%ld %ld %ld %.3f %.3f %.3f %.0f\n", requests, failed, late, percentile(0.5), percentile(0.99),
                percentile(1.0), static_cast<double>(requests) / seconds);
    return 0;
}
