// Logins by address and the checks that grant them; runs on the server thread only.
#include "web/login.h"

#include <algorithm>

#include "core/platform.h"
#include "core/program_state.h"
#include "web/connection.h"
#include "web/form_value.h"
#include "web/monotonic_clock.h"
#include "web/wrong_logins.h"

std::string ClientKey(uint32_t address) { return std::to_string(address); }

namespace {

// Enough to empty a crowd's entries in a few hundred passes while a browser that comes meanwhile
// waits for one pass of well under a millisecond.
constexpr size_t stampsLookedAtPerPass = 1024;
// The table's size at start-up, below which it is never made smaller.
constexpr size_t clientSlotsKept = 512;

bool AddressLoggedIn(uint32_t address) {
    const std::vector<uint32_t>& clients = programState.loggedInClients;
    return std::find(clients.begin(), clients.end(), address) != clients.end();
}

// A crowd leaves its slots behind when its entries go, and the allocator keeps the entries' memory
// scattered between live ones; both are given back as the table empties, a few times per crowd.
void ShrinkClientSlots() {
    auto& seen = programState.clientLastSeen;
    size_t wanted = std::max(seen.size(), clientSlotsKept);
    if (seen.bucket_count() <= 4 * wanted) return;
    seen.rehash(wanted);
    ReturnFreedMemory();
}

}  // namespace

void StampClient(uint32_t address) {
    int64_t now = MonotonicSeconds();
    auto [entry, added] = programState.clientLastSeen.try_emplace(ClientKey(address), now);
    if (!added && entry->second == now) return;
    entry->second = now;
    programState.clientStamps.emplace_back(address, now);
}

bool IsLoggedIn(const Connection& connection) { return AddressLoggedIn(PeerAddress(connection)); }

void LogInClient(const Connection& connection) {
    uint32_t address = PeerAddress(connection);
    programState.loggedInClients.insert(programState.loggedInClients.begin(), address);
    StampClient(address);
}

void PurgeIdleClients() {
    std::vector<uint32_t>& clients = programState.loggedInClients;
    int64_t now = MonotonicSeconds();
    for (auto at = clients.begin(); at != clients.end(); ++at) {
        auto seen = programState.clientLastSeen.find(ClientKey(*at));
        // An address without a time of its own has no claim to stay.
        if (seen == programState.clientLastSeen.end() || now - seen->second > loginQuietSeconds) {
            clients.erase(at);
            return;
        }
    }
}

void PurgeQuietStrangers() {
    auto& stamps = programState.clientStamps;
    auto& seen = programState.clientLastSeen;
    int64_t now = MonotonicSeconds();
    for (size_t looked = 0; looked < stampsLookedAtPerPass && !stamps.empty(); ++looked) {
        auto [address, stamped] = stamps.front();
        auto entry = seen.find(ClientKey(address));
        bool current = entry != seen.end() && entry->second == stamped;
        if (current) {
            if (now - stamped <= loginQuietSeconds) break;
            // Its login goes first, by the rules of logins; the entry follows on a later pass.
            if (AddressLoggedIn(address)) break;
            seen.erase(entry);
        }
        stamps.pop_front();
    }
    ShrinkClientSlots();
}

int64_t NextLapseMilliseconds() {
    int64_t next = INT64_MAX;
    // After a purge the first stamp is the entry's current time: its lapse is a stranger's.
    if (!programState.clientStamps.empty())
        next = (programState.clientStamps.front().second + loginQuietSeconds + 1) * 1000;
    for (uint32_t address : programState.loggedInClients) {
        auto seen = programState.clientLastSeen.find(ClientKey(address));
        if (seen == programState.clientLastSeen.end()) return 0;
        // Quiet for more than loginQuietSeconds whole seconds: from the start of the next one.
        next = std::min(next, (seen->second + loginQuietSeconds + 1) * 1000);
    }
    return next;
}

bool PasswordMatches(const std::string& password) {
    std::string stored = programState.settingPasswordHash.Get();
    // No stored digest matches nothing, whatever a digest of the password might come out as.
    if (stored.empty()) return false;
    return Sha1Hex(password) == stored || FormerPasswordMatches(password, stored);
}

bool FormLoginAdmits(const Connection& connection, const std::string& username, const std::string& password) {
    uint32_t address = PeerAddress(connection);
    int64_t now = MonotonicMilliseconds();
    if (LoginsRefused(programState.wrongLoginTimes, address, now)) return false;
    std::string expected = programState.settingUsername.Get();
    // As sent first: a stored text may itself hold "+" or "%" as they arrive from a link.
    if (username == expected && PasswordMatches(password)) return true;
    std::optional<std::string> decodedUsername = DecodeFormValue(username);
    std::optional<std::string> decodedPassword = DecodeFormValue(password);
    if (decodedUsername == expected && decodedPassword && PasswordMatches(*decodedPassword)) return true;
    CountWrongLogin(programState.wrongLoginTimes, address, now);
    return false;
}

bool SessionIdMatches(const std::string& id) {
    return !programState.sessionId.empty() && id == programState.sessionId;
}
