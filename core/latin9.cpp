#include "core/latin9.h"

#include <cstdint>

namespace {

// The eight places where ISO-8859-15 differs from ISO-8859-1.
struct Difference {
    unsigned char byte;
    char32_t code;
};
constexpr Difference differences[] = {{0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161},
                                      {0xB4, 0x017D}, {0xB8, 0x017E}, {0xBC, 0x0152},
                                      {0xBD, 0x0153}, {0xBE, 0x0178}};

char32_t ToCode(unsigned char byte) {
    for (const Difference& d : differences)
        if (d.byte == byte) return d.code;
    return byte;
}

char ToByte(char32_t code) {
    for (const Difference& d : differences) {
        if (d.code == code) return char(d.byte);
        if (d.byte == code) return '?';  // a Latin-1 character that ISO-8859-15 replaced
    }
    return code < 0x100 ? char(code) : '?';
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::string Latin9ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendUtf8(out, ToCode(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf8ToLatin9(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + size_t(length) > text.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + size_t(k)]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += ToByte(code);
        i += size_t(length);
    }
    return out;
}

std::u16string Latin9ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += char16_t(ToCode(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf16ToLatin9(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out += ToByte(c);
    return out;
}
