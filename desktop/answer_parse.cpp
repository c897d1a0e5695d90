// The answer head and the chunked body of the address-echo service, parsed from bytes.
#include "desktop/answer_parse.h"

#include <algorithm>

#include "core/text_util.h"

namespace {

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

}  // namespace

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

void ChunkDecoder::Feed(std::string_view data, std::string& body) {
    size_t at = 0;
    while (at < data.size() && stage_ != Stage::Done) {
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
            size_t take = size_t(std::min<uint64_t>(left_, data.size() - at));
            body.append(data.data() + at, take);
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

void ChunkDecoder::AddSizeCharacter(char c) {
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

void ChunkDecoder::EndSizeLine() {
    stage_ = left_ == 0 || tooLarge_ ? Stage::Done : Stage::Data;
    pastDigits_ = false;
}
