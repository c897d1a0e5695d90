// A plain HTTP/1.1 GET whose answer body is written to a file, within one time limit as a whole.
// The answer is consumed in pieces of at most 2048 bytes; nothing is kept beyond the head.
#include "desktop/download.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "core/text_util.h"
#include "desktop/download_platform.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr size_t pieceSize = 2048;
// The whole download, from the lookup of the host to the last byte kept, however slowly the
// answer trickles in: the main window does not react meanwhile.
constexpr int wholeLimit = 10000;
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
    int Left() const { return Within(wholeLimit); }

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
                     int limitMilliseconds = wholeLimit) {
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

bool StartsWithIgnoringCase(std::string_view line, std::string_view prefix) {
    return line.size() >= prefix.size() && EqualsIgnoringCase(line.substr(0, prefix.size()), prefix);
}

uint64_t DecimalAfterBlanks(std::string_view text) {
    size_t at = text.find_first_not_of(" \t");
    uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        uint64_t digit = uint64_t(text[at] - '0');
        if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}

struct AnswerHead {
    bool accepted = false;
    bool hasLength = false;
    uint64_t length = 0;
    bool chunked = false;
    size_t bodyStart = 0;
};

// Reads the status line and the header lines (ended by CR, CR LF or LF) up to the empty line.
// False while the head is still incomplete; once the peer is gone whatever came is the head.
bool ParseAnswerHead(std::string_view data, bool peerGone, AnswerHead& head) {
    head = AnswerHead();
    size_t at = 0;
    bool statusLine = true;
    for (;;) {
        size_t end = data.find_first_of("\r\n", at);
        // A CR at the very end may still be followed by its LF.
        if (!peerGone && (end == std::string_view::npos || (data[end] == '\r' && end + 1 == data.size())))
            return false;
        std::string_view line = data.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        size_t next = data.size();
        if (end != std::string_view::npos) {
            next = end + 1;
            if (data[end] == '\r' && next < data.size() && data[next] == '\n') ++next;
        }
        if (statusLine) {
            head.accepted = line.find("200") != std::string_view::npos ||
                            line.find("302") != std::string_view::npos;
            statusLine = false;
        } else if (line.empty()) {
            head.bodyStart = next;
            return true;
        } else if (StartsWithIgnoringCase(line, "transfer-encoding:")) {
            head.chunked = true;
        } else if (StartsWithIgnoringCase(line, "content-length:")) {
            head.hasLength = true;
            head.length = DecimalAfterBlanks(line.substr(15));
        }
        if (next >= data.size()) {
            head.bodyStart = data.size();
            return peerGone;
        }
        at = next;
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

// Decodes a chunked body that arrives in arbitrary pieces: a hexadecimal size line (anything
// after the digits, such as an extension, is passed over), that many bytes, a line end; size 0
// ends the body.
class ChunkDecoder {
public:
    explicit ChunkDecoder(BodyFile& file) : file_(file) {}
    bool done() const { return stage_ == Stage::Done || file_.Full(); }

    void Feed(const char* data, size_t size) {
        size_t at = 0;
        while (at < size && stage_ != Stage::Done) {
            char c = data[at];
            switch (stage_) {
            case Stage::Size:
                ++at;
                if (c == '\r') stage_ = Stage::SizeLf;
                else if (c == '\n') EndSizeLine();
                else AddSizeCharacter(c);
                break;
            case Stage::SizeLf:
                if (c == '\n') ++at;
                EndSizeLine();
                break;
            case Stage::Data: {
                size_t take = size_t(std::min<uint64_t>(left_, size - at));
                file_.Write(data + at, take);
                at += take;
                left_ -= take;
                if (left_ == 0) stage_ = Stage::DataEnd;
                break;
            }
            case Stage::DataEnd:
                if (c == '\r') {
                    ++at;
                    stage_ = Stage::DataLf;
                } else {
                    if (c == '\n') ++at;
                    stage_ = Stage::Size;
                }
                break;
            case Stage::DataLf:
                if (c == '\n') ++at;
                stage_ = Stage::Size;
                break;
            case Stage::Done:
                break;
            }
        }
    }

private:
    enum class Stage { Size, SizeLf, Data, DataEnd, DataLf, Done };

    void AddSizeCharacter(char c) {
        int digit = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : -1;
        if (digit < 0 || pastDigits_) {
            pastDigits_ = true;
            return;
        }
        if (left_ > (UINT64_MAX >> 4)) tooLarge_ = true;
        left_ = (left_ << 4) | uint64_t(digit);
    }

    void EndSizeLine() {
        stage_ = left_ == 0 || tooLarge_ ? Stage::Done : Stage::Data;
        pastDigits_ = false;
    }

    BodyFile& file_;
    Stage stage_ = Stage::Size;
    uint64_t left_ = 0;
    bool pastDigits_ = false;
    bool tooLarge_ = false;
};

void WriteChunkedBody(SocketHandle socket, std::string_view received, BodyFile& file,
                      const Deadline& deadline) {
    ChunkDecoder decoder(file);
    decoder.Feed(received.data(), received.size());
    char piece[pieceSize];
    while (!decoder.done()) {
        size_t got = ReceiveWithin(socket, piece, pieceSize, deadline);
        if (got == 0) return;
        decoder.Feed(piece, got);
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

bool DownloadToFile(const std::string& address, const std::string& filePath) {
    Deadline deadline(wholeLimit);
    DownloadAddress parts;
    if (!SplitDownloadAddress(address, parts)) return false;
    SocketHandle socket = ConnectSocket(parts.host, parts.port, deadline.Left());
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
