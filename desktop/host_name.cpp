// Whether the address field's text may stand as the host of a web address for the browser, and
// the number of a dotted address.
#include "desktop/host_name.h"

#include <vector>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

bool IsDecimalNumber(const std::string& label) {
    if (label.empty() || label.size() > 3 || (label.size() > 1 && label.front() == '0')) return false;
    for (char c : label)
        if (!IsDigit(c)) return false;
    return std::stoi(label) <= 255;
}

}  // namespace

bool IsDottedAddress(const std::string& text) {
    uint32_t address = 0;
    return ParseIPv4(text, address);
}

bool ParseIPv4(const std::string& text, uint32_t& address) {
    std::vector<std::string> labels = Labels(text);
    if (labels.size() != 4) return false;
    uint32_t value = 0;
    for (const std::string& label : labels) {
        if (!IsDecimalNumber(label)) return false;
        value = value << 8 | uint32_t(std::stoi(label));
    }
    address = value;
    return true;
}
