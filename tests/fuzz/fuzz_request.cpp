// Any bytes as the first read of a request: cutting the path and reading query parameters never
// fails, and what comes out is always a piece of what went in.
#include <cstdint>
#include <string>

#include "tests/fuzz/check.h"
#include "web/routing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string path;
    if (!RequestPathOf(text, path)) {
        Check(text.compare(0, 3, "GET") != 0);
        return 0;
    }
    Check(text.compare(0, 3, "GET") == 0);
    // The path is everything between "GET /" and the first space from the fifth character on.
    size_t space = text.find(' ', 4);
    Check(space != std::string::npos || path.empty());
    if (space != std::string::npos && space > 5) Check(path == text.substr(5, space - 5));
    if (space != std::string::npos && space <= 5) Check(path.empty());
    for (const char* name : {"id", "username", "password", "Login"}) {
        std::string value = GetQueryParameter(path, name);
        Check(value.find('&') == std::string::npos);
        Check(value.empty() || path.find(value) != std::string::npos);
    }
    return 0;
}
