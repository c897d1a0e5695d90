// Each address's recent wrong logins, and whether its logins are refused for now.
#include "web/wrong_logins.h"

#include <algorithm>

namespace {

bool Refused(const std::vector<int64_t>& times, int64_t now) {
    return times.size() > wrongLoginsAllowed && times.back() - times.front() < wrongLoginWindowMilliseconds &&
           now - times.back() < wrongLoginWindowMilliseconds;
}

// The entry to forget for a newcomer: the longest quiet of those not refused; end() when all are.
WrongLoginTimes::iterator ForgettableEntry(WrongLoginTimes& table, int64_t now) {
    auto chosen = table.end();
    for (auto at = table.begin(); at != table.end(); ++at) {
        if (Refused(at->second, now)) continue;
        if (chosen == table.end() || at->second.back() < chosen->second.back()) chosen = at;
    }
    return chosen;
}

}  // namespace

bool LoginsRefused(const WrongLoginTimes& table, uint32_t address, int64_t now) {
    auto found = table.find(address);
    if (found != table.end()) return Refused(found->second, now);
    if (table.size() < wrongLoginAddressesKept) return false;
    return std::all_of(table.begin(), table.end(), [now](const auto& entry) { return Refused(entry.second, now); });
}

void CountWrongLogin(WrongLoginTimes& table, uint32_t address, int64_t now) {
    auto found = table.find(address);
    if (found == table.end()) {
        if (table.size() >= wrongLoginAddressesKept) {
            auto forgotten = ForgettableEntry(table, now);
            if (forgotten == table.end()) return;
            table.erase(forgotten);
        }
        found = table.emplace(address, std::vector<int64_t>()).first;
    }
    // Only the latest one more than allowed decide; older ones would only grow the entry.
    std::vector<int64_t>& times = found->second;
    if (times.size() > wrongLoginsAllowed) times.erase(times.begin());
    times.push_back(now);
}
