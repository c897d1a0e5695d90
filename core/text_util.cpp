// Small text helpers shared by every subsystem: number values, trimming, letter case, slashes.
#include "core/text_util.h"

#include "core/platform.h"

int64_t NumberValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic so that overlong numbers wrap instead of being undefined.
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = unsigned(c - 'A' + 10);
        else break;
        if (digit >= base) break;
        value = value * base + digit;
    }
    if (negative) value = 0 - value;
    return static_cast<int64_t>(value);
}

static std::string StripChars(std::string_view text, std::string_view chars) {
    size_t first = text.find_first_not_of(chars);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(chars);
    return std::string(text.substr(first, last - first + 1));
}

std::string TrimText(std::string_view text) { return StripChars(text, " \t"); }

std::string StripSpaces(std::string_view text) { return StripChars(text, " "); }

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerAscii(c);
    return result;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
    if (what.empty()) return std::string(text);
    std::string result;
    size_t from = 0;
    for (size_t at; (at = text.find(what, from)) != std::string_view::npos; from = at + what.size()) {
        result.append(text.substr(from, at - from));
        result.append(with);
    }
    result.append(text.substr(from));
    return result;
}

std::string RemoveAll(std::string_view text, std::string_view what) {
    return ReplaceAll(text, what, "");
}

std::string AddTrailingSlash(std::string_view path) {
    std::string result(path);
    if (result.empty() || result.back() != pathSeparator) result += pathSeparator;
    return result;
}

std::string StripTrailingSlash(std::string_view path) {
    if (!path.empty() && path.back() == pathSeparator) path.remove_suffix(1);
    return std::string(path);
}

std::string DirectoryPart(std::string_view path) {
    size_t separator = path.find_last_of(std::string("/") + pathSeparator);
    return separator == std::string_view::npos ? std::string() : std::string(path.substr(0, separator + 1));
}
