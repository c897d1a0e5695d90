// Any bytes as the address-echo service's answer, read by the download's own parsers as it arrives
// in pieces: only "200" or "302" status lines are accepted, nothing is invented, the verdict and the
// body do not depend on where the answer was cut, and a well-formed answer built from the input
// (body framed by length, by chunks of fuzzed sizes, or by the end of the connection) always comes
// back as exactly its body.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/text_util.h"
#include "desktop/answer_parse.h"
#include "tests/fuzz/check.h"

namespace {

// Reads `answer` as it arrives `cut` bytes at a time: the head until it is whole or the peer is
// gone, then the body as the head frames it. False where the answer is refused.
bool ReadAnswer(std::string_view answer, size_t cut, std::string& body) {
    std::string head;
    size_t at = 0;
    bool peerGone = false;
    AnswerHead parsed;
    while (!ParseAnswerHead(head, peerGone, parsed)) {
        if (at == answer.size()) peerGone = true;
        head += answer.substr(at, cut);
        at = std::min(answer.size(), at + cut);
    }
    if (!parsed.accepted) return false;
    std::string_view received = std::string_view(head).substr(parsed.bodyStart);
    std::string_view rest = answer.substr(at);
    body.clear();
    if (parsed.hasLength) {
        body = std::string(received) + std::string(rest);
        body.resize(size_t(std::min<uint64_t>(body.size(), parsed.length)));
    } else if (parsed.chunked) {
        ChunkDecoder decoder;
        decoder.Feed(received, body);
        for (size_t from = 0; from < rest.size() && !decoder.done(); from += cut)
            decoder.Feed(rest.substr(from, cut), body);
    } else {
        body = std::string(received) + std::string(rest);
    }
    return true;
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
    // Up to 32 pieces, so that a cut falls anywhere: inside a line end, a chunk size, the body.
    size_t cut = 1 + input.size() / (1 + data[0] / 8);
    std::string whole, pieces;

    if (data[0] & 1) {
        // The input is the answer as it stands.
        bool accepted = ReadAnswer(input, input.size() + 1, whole);
        Check(ReadAnswer(input, cut, pieces) == accepted);
        if (!accepted) return 0;
        Check(pieces == whole);
        std::string statusLine = input.substr(0, input.find_first_of("\r\n"));
        Check(statusLine.find("200") != std::string::npos || statusLine.find("302") != std::string::npos);
        Check(whole.size() + statusLine.size() <= input.size());
        if (LowerCase(input).find("transfer-encoding:") == std::string::npos)
            Check(input.find(whole, statusLine.size()) != std::string::npos);
        return 0;
    }
    // The first bytes shape the framing, the rest is the body.
    size_t shapeSize = std::min<size_t>(input.size(), 1 + uint8_t(data[0]) / 16);
    std::string body = input.substr(shapeSize);
    std::string answer = FramedAnswer(std::string_view(input).substr(0, shapeSize), body);
    Check(ReadAnswer(answer, answer.size() + 1, whole) && whole == body);
    Check(ReadAnswer(answer, cut, pieces) && pieces == body);
    return 0;
}
