// Who is let in: logins belong to IPv4 addresses, renewed by every request from the address and
// dropped after more than loginQuietSeconds without one.
#pragma once
#include <cstdint>
#include <string>

struct Connection;

inline constexpr int64_t loginQuietSeconds = 10;

// The clientLastSeen key of an address.
std::string ClientKey(uint32_t address);
// Records that the address has just sent something.
void StampClient(uint32_t address);
bool IsLoggedIn(const Connection& connection);
// Puts the connection's address first in loggedInClients and stamps it.
void LogInClient(const Connection& connection);
// Drops at most one address that has been quiet too long, the first found from the front.
void PurgeIdleClients();
// Drops the clientLastSeen entries of addresses that are not logged in and have been quiet as
// long as a login may be, a bounded number per call, oldest first; the entry of a quiet address
// still logged in stays until PurgeIdleClients has dropped its login.
void PurgeQuietStrangers();
// The monotonic millisecond at which PurgeIdleClients or PurgeQuietStrangers next finds
// something to drop (already past while either has more to do); INT64_MAX while no address has
// an entry to lapse.
int64_t NextLapseMilliseconds();

// The one place a password is checked against the stored digest.
bool PasswordMatches(const std::string& password);
// A digest of an older form that a build still accepts at login (the Windows build's former one),
// so that its settings files keep working until the password is next saved. Each build's own:
// login_linux.cpp here knows none, windows/login_win.cpp the former Windows one.
bool FormerPasswordMatches(const std::string& password, const std::string& storedDigest);
// The login form's user name and password, as sent and else as the form encodes them, from the
// connection's address; an address that has guessed too often is refused without a check.
bool FormLoginAdmits(const Connection& connection, const std::string& username, const std::string& password);
// An empty id (no random source at start-up) lets nobody in.
bool SessionIdMatches(const std::string& id);
