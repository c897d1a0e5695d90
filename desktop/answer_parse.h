// The address-echo service's answer read from bytes alone: the head, and a chunked body that may
// arrive in any pieces. Nothing here touches a socket or a file, so every way an answer can be cut
// is tried in-process.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct AnswerHead {
    bool accepted = false;  // the status line holds "200" or "302"
    bool hasLength = false;
    uint64_t length = 0;
    bool chunked = false;
    size_t bodyStart = 0;
};

// Reads the status line and the header lines (ended by CR, CR LF or LF) up to the empty line.
// False while the head is still incomplete, which includes a CR as the last byte, since its LF
// may follow; once the peer is gone whatever came is the head.
bool ParseAnswerHead(std::string_view data, bool peerGone, AnswerHead& head);

// Decodes a chunked body that arrives in arbitrary pieces: a hexadecimal size line (anything
// after the digits, such as an extension, is passed over), that many bytes, a line end; size 0,
// or a size beyond 64 bits, ends the body.
class ChunkDecoder {
public:
    bool done() const { return stage_ == Stage::Done; }
    // Appends the body bytes found in `data` to `body`; bytes after the end are passed over.
    void Feed(std::string_view data, std::string& body);

private:
    enum class Stage { Size, SizeLf, Data, DataEnd, DataLf, Done };

    void AddSizeCharacter(char c);
    void EndSizeLine();

    Stage stage_ = Stage::Size;
    uint64_t left_ = 0;
    bool pastDigits_ = false;
    bool tooLarge_ = false;
};
