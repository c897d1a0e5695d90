// Each address's recent wrong logins, and whether its logins are refused for now.
#include "web/wrong_logins.h"

#include <algorithm>

bool LoginsRefused(const WrongLoginTimes& table, uint32_t address, int64_t now) {
    auto found = table.find(address);
    if (found == table.end() || found->second.size() <= wrongLoginsAllowed) return false;
    const std::vector<int64_t>& times = found->second;
    return times.back() - times.front() < wrongLoginWindowMilliseconds &&
           now - times.back() < wrongLoginWindowMilliseconds;
}

void CountWrongLogin(WrongLoginTimes& table, uint32_t address, int64_t now) {
    auto found = table.find(address);
    if (found == table.end()) {
        if (table.size() >= wrongLoginAddressesKept) {
            table.erase(std::min_element(table.begin(), table.end(), [](const auto& a, const auto& b) {
                return a.second.back() < b.second.back();
            }));
        }
        found = table.emplace(address, std::vector<int64_t>()).first;
    }
    // Only the latest one more than allowed decide; older ones would only grow the entry.
    std::vector<int64_t>& times = found->second;
    if (times.size() > wrongLoginsAllowed) times.erase(times.begin());
    times.push_back(now);
}
