// Whether the address field's text may stand as the host of a web address for the browser, and
// the number of a dotted address.
#include "desktop/host_name.h"

#include <vector>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::vector<std::string> Labels(const std::string& text) {
    std::vector<std::string> labels;
    size_t from = 0;
    for (;;) {
        size_t dot = text.find('.', from);
        labels.push_back(text.substr(from, dot == std::string::npos ? dot : dot - from));
        if (dot == std::string::npos) return labels;
        from = dot + 1;
    }
}

bool AllDigits(const std::string& label) {
    for (char c : label)
        if (!IsDigit(c)) return false;
    return !label.empty();
}

bool IsIPv4(const std::vector<std::string>& labels) {
    if (labels.size() != 4) return false;
    for (const std::string& label : labels)
        if (!AllDigits(label) || label.size() > 3 || std::stoi(label) > 255) return false;
    return true;
}

bool IsHostLabel(const std::string& label) {
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    for (char c : label)
        if (!IsLetter(c) && !IsDigit(c) && c != '-') return false;
    return true;
}

}  // namespace

bool IsHostAddress(const std::string& text) {
    if (text.empty() || text.size() > 253) return false;
    std::vector<std::string> labels = Labels(text);
    if (IsIPv4(labels)) return true;
    for (const std::string& label : labels)
        if (!IsHostLabel(label)) return false;
    return !AllDigits(labels.back());
}

bool ParseIPv4(const std::string& text, uint32_t& address) {
    std::vector<std::string> labels = Labels(text);
    if (!IsIPv4(labels)) return false;
    uint32_t value = 0;
    for (const std::string& label : labels) {
        if (label.size() > 1 && label.front() == '0') return false;
        value = value << 8 | uint32_t(std::stoi(label));
    }
    address = value;
    return true;
}
