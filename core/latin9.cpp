// ISO-8859-15 to and from UTF-8 and UTF-16, for the toolkit, the settings file and Win32.
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

constexpr char noForm = '?';

char ToByte(char32_t code) {
    for (const Difference& d : differences) {
        if (d.code == code) return char(d.byte);
        if (d.byte == code) return noForm;  // a Latin-1 character that ISO-8859-15 replaced
    }
    return code < 0x100 ? char(code) : noForm;
}

bool HasLatin9Form(char32_t code) { return code == char32_t(noForm) || ToByte(code) != noForm; }

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

// The length of the well-formed UTF-8 sequence that `text` starts with, and its code; 0 when
// there is none: a stray or cut sequence, an overlong form, a surrogate, beyond U+10FFFF.
size_t WellFormedSequence(std::string_view text, char32_t& code) {
    auto lead = static_cast<unsigned char>(text[0]);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || text.size() < length) return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
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

std::optional<std::string> Utf8SequencesToLatin9(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t code = 0;
        size_t length = WellFormedSequence(bytes.substr(i), code);
        if (length != 0 && !HasLatin9Form(code)) return std::nullopt;
        out += length == 0 ? bytes[i] : ToByte(code);
        i += length == 0 ? 1 : length;
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

bool Utf8FitsLatin9(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        char32_t code = 0;
        size_t length = WellFormedSequence(text.substr(i), code);
        if (length == 0 || !HasLatin9Form(code)) return false;
        i += length;
    }
    return true;
}

bool Utf16FitsLatin9(std::u16string_view text) {
    for (char16_t c : text)
        if (!HasLatin9Form(c)) return false;
    return true;
}
