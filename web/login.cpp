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

void StampClient(uint32_t address) { programState.clientLastSeen[ClientKey(address)] = MonotonicSeconds(); }

bool IsLoggedIn(const Connection& connection) {
    const std::vector<uint32_t>& clients = programState.loggedInClients;
    return std::find(clients.begin(), clients.end(), PeerAddress(connection)) != clients.end();
}

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

int64_t NextLapseMilliseconds() {
    int64_t next = INT64_MAX;
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
