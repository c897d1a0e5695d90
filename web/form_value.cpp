// A login form's value decoded back to the program's ISO-8859-15 text.
#include "web/form_value.h"

#include "core/latin9.h"

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> DecodeFormValue(std::string_view value) {
    std::string bytes;
    bytes.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        int high = c == '%' && i + 2 < value.size() ? HexDigitValue(value[i + 1]) : -1;
        int low = high >= 0 ? HexDigitValue(value[i + 2]) : -1;
        if (low >= 0) {
            bytes += char(high * 16 + low);
            i += 2;
        } else {
            bytes += c == '+' ? ' ' : c;
        }
    }
    return Utf8SequencesToLatin9(bytes);
}
