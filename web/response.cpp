// Answers built in responseBuffer: header and body leave in one piece, so that a body held back
// behind a small header segment cannot wait for the browser's delayed acknowledgement.
#include "web/response.h"

#include <charconv>
#include <cstring>

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/text_util.h"
#include "web/connection.h"
#include "web/pages.h"

namespace {

constexpr size_t headerRoom = 200;

char* Append(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// The picture as it is now; empty when it cannot be read. Read whole whatever its size, and a
// file being replaced yields the bytes actually read, so the length always matches the body.
std::string_view ReadPicture() {
    // Kept between answers so that reading a picture allocates only when one is bigger than ever.
    static std::string picture;
    if (!ReadFileBytes(programState.jpegPath, picture)) picture.clear();
    return picture;
}

}  // namespace

char* BuildResponseHeader(char* buffer, int64_t bodyLength, std::string_view contentType) {
    char* at = Append(buffer, "HTTP/1.1 200 OK\r\nServer: Lumora-Server\r\nContent-Length: ");
    at = std::to_chars(at, at + 20, bodyLength).ptr;
    at = Append(at, "\r\nContent-Type: ");
    at = Append(at, contentType);
    return Append(at, "\r\n\r\n");
}

void ServePage(const std::string& pageName, Connection& connection) {
    std::string key = RemoveAll(pageName, "?");
    std::string_view contentType = "text/html";
    std::string_view body;
    if (key == pages::picture) {
        contentType = "image/jpeg";
        body = ReadPicture();
    } else {
        body = PageForKey(key);
    }
    std::vector<char>& out = programState.responseBuffer;
    if (out.size() < body.size() + headerRoom) out.resize(body.size() + headerRoom);
    char* end = BuildResponseHeader(out.data(), int64_t(body.size()), contentType);
    end = Append(end, body);
    SendData(connection, out.data(), size_t(end - out.data()));
    CloseConnection(&connection);
}
