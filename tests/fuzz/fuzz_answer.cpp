// Any bytes as the address-echo service's answer, sent over loopback to the real download: it
// never fails unsafely and only accepts "200" or "302" status lines; and a well-formed answer
// built from the input (body framed by length, by chunks of fuzzed sizes, or by the end of the
// connection) always comes back as exactly its body.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/platform.h"
#include "core/text_util.h"
#include "desktop/download.h"
#include "tests/support/loopback_http_server.h"

namespace {

void Check(bool condition) {
    if (!condition) abort();
}

struct Service {
    LoopbackHttpServer server{"127.0.0.1", 0};
    std::string answerPath = "/tmp/lumora-fuzz-answer-" + std::to_string(getpid()) + ".txt";
    ~Service() { unlink(answerPath.c_str()); }
};

Service& TheService() {
    static std::unique_ptr<Service> service = [] {
        auto made = std::make_unique<Service>();
        Check(made->server.ok());
        return made;
    }();
    return *service;
}

// Sends the answer as the service's reply and downloads it; `body` receives the file, and
// `written` tells whether there was one.
bool Download(const std::string& answer, std::string& body, bool& written) {
    Service& service = TheService();
    ScriptedReply reply;
    reply.pieces = {answer};
    // Closing at once ends a body without a length; the request has been read by then.
    reply.holdMilliseconds = 0;
    service.server.SetReply(reply);
    unlink(service.answerPath.c_str());
    bool done = DownloadToFile(service.server.BaseUrl() + "/ip.php", service.answerPath);
    written = ReadFileBytes(service.answerPath, body);
    return done;
}

std::string Hex(size_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 15]);
        value >>= 4;
    } while (value);
    return text;
}

// A well-formed answer around `body`; the framing and the chunk sizes come from `shape`.
std::string FramedAnswer(std::string_view shape, const std::string& body) {
    uint8_t framing = shape.empty() ? 0 : uint8_t(shape[0]) % 3;
    std::string head = (shape.size() > 1 && (shape[1] & 1)) ? "HTTP/1.0 302 Found" : "HTTP/1.1 200 OK";
    if (framing == 0)
        return head + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    if (framing == 1) return head + "\r\nContent-Type: text/plain\r\n\r\n" + body;
    std::string answer = head + "\r\nTransfer-Encoding: chunked\r\n\r\n";
    size_t at = 0;
    for (size_t i = 2; at < body.size(); ++i) {
        size_t size = i < shape.size() ? size_t(uint8_t(shape[i])) * 7 + 1 : body.size() - at;
        size = std::min(size, body.size() - at);
        // An extension after the size now and then, which the decoder must pass over.
        answer += Hex(size) + (i % 3 == 0 ? ";note=1" : "") + "\r\n" + body.substr(at, size) + "\r\n";
        at += size;
    }
    return answer + "0\r\n\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string file;
    bool written = false;

    if (data[0] & 1) {
        // The input is the answer as it stands.
        bool done = Download(input, file, written);
        Check(done == written);
        if (!done) return 0;
        std::string statusLine = input.substr(0, input.find_first_of("\r\n"));
        Check(statusLine.find("200") != std::string::npos || statusLine.find("302") != std::string::npos);
        Check(file.size() + statusLine.size() <= input.size());
        if (LowerCase(input).find("transfer-encoding:") == std::string::npos)
            Check(input.find(file, statusLine.size()) != std::string::npos);
        return 0;
    }
    // The first bytes shape the framing, the rest is the body.
    size_t shapeSize = std::min<size_t>(input.size(), 1 + uint8_t(data[0]) / 16);
    std::string body = input.substr(shapeSize);
    Check(Download(FramedAnswer(std::string_view(input).substr(0, shapeSize), body), file, written));
    Check(file == body);
    return 0;
}
