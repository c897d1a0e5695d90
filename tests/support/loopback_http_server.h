// A small HTTP stand-in on a loopback address for the download and address-check tests: it takes
// one connection at a time, keeps each request's bytes, and answers with a scripted reply.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedReply {
    // Sent one after another; a pause between pieces makes them arrive as separate reads.
    std::vector<std::string> pieces;
    int pauseMilliseconds = 0;
    // After the last piece the connection stays open until the client closes it, at most this
    // long. The side that closes first keeps the port in TIME_WAIT, which would keep a fixed port
    // from being bound again; 0 closes at once, which also ends a body that has no length.
    int holdMilliseconds = 5000;
    // Read the request and then send nothing, until the client gives up.
    bool silent = false;
};

class LoopbackHttpServer {
public:
    // Port 0 takes a free port. `ok()` tells whether the address could be bound.
    explicit LoopbackHttpServer(const std::string& ip = "127.0.0.1", uint16_t port = 0);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool ok() const { return listener_ >= 0; }
    uint16_t port() const { return port_; }
    std::string BaseUrl() const;

    // The reply for every following connection.
    void SetReply(const ScriptedReply& reply);
    // The requests received so far, each up to and including its empty line.
    std::vector<std::string> Requests();
    // The peer address of each connection, as dotted text.
    std::vector<std::string> Callers();

private:
    void Serve();
    void Answer(int connection);
    // Waits for the socket to be readable; false when the server is being stopped or time ran out.
    bool WaitReadable(int fd, int limitMilliseconds);

    std::string ip_;
    int listener_ = -1;
    uint16_t port_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::mutex lock_;
    ScriptedReply reply_;
    std::vector<std::string> requests_;
    std::vector<std::string> callers_;
    std::thread thread_;
};

// An HTTP answer with the given status line and headers (each without its line end) and body.
std::string HttpAnswer(const std::string& statusLine, const std::vector<std::string>& headers,
                       const std::string& body);
