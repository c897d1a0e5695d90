// A plain HTTP/1.1 GET whose answer body is written to a file, within one time limit as a whole.
// The answer is consumed in pieces of at most 2048 bytes; nothing is kept beyond the head.
#include "desktop/download.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string_view>

#include "desktop/answer_parse.h"
#include "desktop/download_platform.h"
#include "desktop/host_lookup.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr size_t pieceSize = 2048;
// What is kept of the body; an answer that goes on is cut there and counts as done.
constexpr uint64_t keptLimit = 64 * 1024;
constexpr int sendWait = 50;
constexpr int receivePoll = 100;
// Without a length the end of the body is only known when the sender stops; it gets this long.
constexpr int trailingLimit = 1000;

class Deadline {
public:
    explicit Deadline(int limitMilliseconds) : end_(Clock::now() + Milliseconds(limitMilliseconds)) {}
    // What is left of the time, at most `limit` milliseconds; 0 once it is over.
    int Within(int limitMilliseconds) const {
        auto left = std::chrono::duration_cast<Milliseconds>(end_ - Clock::now()).count();
        return int(std::max<long long>(0, std::min<long long>(left, limitMilliseconds)));
    }
    int Left() const { return Within(INT_MAX); }

private:
    Clock::time_point end_;
};

// The answer file, which takes no more than keptLimit bytes.
class BodyFile {
public:
    explicit BodyFile(std::FILE* file) : file_(file) {}
    void Write(const char* data, size_t size) {
        size_t take = size_t(std::min<uint64_t>(size, keptLimit - kept_));
        if (take > 0) std::fwrite(data, 1, take, file_);
        kept_ += take;
    }
    bool Full() const { return kept_ >= keptLimit; }

private:
    std::FILE* file_;
    uint64_t kept_ = 0;
};

class SocketGuard {
public:
    explicit SocketGuard(SocketHandle socket) : socket_(socket) {}
    ~SocketGuard() { CloseSocket(socket_); }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;

private:
    SocketHandle socket_;
};

bool SendWhole(SocketHandle socket, const std::string& data, const Deadline& deadline) {
    size_t done = 0;
    while (done < data.size()) {
        long sent = SendSocket(socket, data.data() + done, data.size() - done);
        if (sent == socketFailed) return false;
        if (sent > 0) {
            done += size_t(sent);
            continue;
        }
        if (deadline.Left() == 0) return false;
        WaitWritable(socket, deadline.Within(sendWait));
    }
    return true;
}

// What arrives within the limit and the whole download's time, at most `size` bytes; 0 when the
// peer closed, the socket failed or nothing came in time.
size_t ReceiveWithin(SocketHandle socket, char* buffer, size_t size, const Deadline& whole,
                     int limitMilliseconds = INT_MAX) {
    Deadline step(whole.Within(limitMilliseconds));
    for (;;) {
        long received = ReceiveSocket(socket, buffer, size);
        if (received > 0) return size_t(received);
        if (received != socketWouldBlock) return 0;
        int left = step.Within(receivePoll);
        if (left == 0) return 0;
        SocketWatch watch{socket, false};
        WaitReadable(&watch, 1, left);
    }
}

void WriteLengthBody(SocketHandle socket, std::string_view received, uint64_t length, BodyFile& file,
                     const Deadline& deadline) {
    size_t first = size_t(std::min<uint64_t>(received.size(), length));
    file.Write(received.data(), first);
    uint64_t written = first;
    char piece[pieceSize];
    while (written < length && !file.Full()) {
        size_t want = size_t(std::min<uint64_t>(pieceSize, length - written));
        size_t got = ReceiveWithin(socket, piece, want, deadline);
        if (got == 0) return;
        file.Write(piece, got);
        written += got;
    }
}

void WriteChunkedBody(SocketHandle socket, std::string_view received, BodyFile& file,
                      const Deadline& deadline) {
    ChunkDecoder decoder;
    std::string decoded;
    decoder.Feed(received, decoded);
    file.Write(decoded.data(), decoded.size());
    char piece[pieceSize];
    while (!decoder.done() && !file.Full()) {
        size_t got = ReceiveWithin(socket, piece, pieceSize, deadline);
        if (got == 0) return;
        decoded.clear();
        decoder.Feed(std::string_view(piece, got), decoded);
        file.Write(decoded.data(), decoded.size());
    }
}

void WriteBodyUntilClose(SocketHandle socket, std::string_view received, BodyFile& file,
                         const Deadline& deadline) {
    file.Write(received.data(), received.size());
    char piece[pieceSize];
    while (!file.Full()) {
        size_t got = ReceiveWithin(socket, piece, pieceSize, deadline, trailingLimit);
        if (got == 0) return;
        file.Write(piece, got);
    }
}

}  // namespace

bool SplitDownloadAddress(const std::string& address, DownloadAddress& parts) {
    size_t scheme = address.find("://");
    if (scheme == std::string::npos) return false;
    size_t start = scheme + 3;
    size_t slash = address.find('/', start);
    std::string authority = address.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);
    size_t colon = authority.find(':');
    parts.host = authority.substr(0, colon);
    parts.port = 80;
    if (colon != std::string::npos) {
        std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        unsigned long value = std::stoul(port);
        if (value < 1 || value > 65535) return false;
        parts.port = uint16_t(value);
    }
    parts.path = slash == std::string::npos ? std::string() : address.substr(slash + 1);
    return !parts.host.empty();
}

std::string FormatDownloadRequest(const DownloadAddress& parts) {
    std::string port = parts.port == 80 ? std::string() : ":" + std::to_string(parts.port);
    return "GET /" + parts.path + " HTTP/1.1\r\nAccept: */*\r\nHost: " + parts.host + port +
           "\r\nConnection: close\r\n\r\n";
}

bool DownloadToFile(const std::string& address, const std::string& filePath, int limitMilliseconds) {
    Deadline deadline(limitMilliseconds);
    DownloadAddress parts;
    if (!SplitDownloadAddress(address, parts)) return false;
    uint32_t peer = 0;
    if (!ResolveHost(parts.host, peer, deadline.Left())) return false;
    // Only what the lookup left: the whole check keeps its one limit.
    SocketHandle socket = ConnectSocket(peer, parts.port, deadline.Left());
    if (socket == noSocket) return false;
    SocketGuard guard(socket);
    if (!SendWhole(socket, FormatDownloadRequest(parts), deadline)) return false;

    char piece[pieceSize];
    size_t got = ReceiveWithin(socket, piece, pieceSize, deadline);
    if (got == 0) return false;
    std::string head(piece, got);
    bool peerGone = false;
    AnswerHead answer;
    while (!ParseAnswerHead(head, peerGone, answer)) {
        if (head.size() >= pieceSize) return false;
        got = ReceiveWithin(socket, piece, pieceSize - head.size(), deadline);
        if (got == 0) peerGone = true;
        head.append(piece, got);
    }
    if (!answer.accepted) return false;

    std::FILE* file = CreateDownloadFile(filePath);
    if (!file) return false;
    BodyFile body(file);
    std::string_view received = std::string_view(head).substr(answer.bodyStart);
    if (answer.hasLength) WriteLengthBody(socket, received, answer.length, body, deadline);
    else if (answer.chunked) WriteChunkedBody(socket, received, body, deadline);
    else WriteBodyUntilClose(socket, received, body, deadline);
    std::fclose(file);
    return true;
}
