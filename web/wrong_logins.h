// Slows password guessing: an address with more than wrongLoginsAllowed wrong logins within
// wrongLoginWindowMilliseconds has its logins refused until that long passes without one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

using WrongLoginTimes = std::unordered_map<uint32_t, std::vector<int64_t>>;

inline constexpr size_t wrongLoginsAllowed = 10;
inline constexpr int64_t wrongLoginWindowMilliseconds = 60000;
// Past this many addresses the one whose latest wrong login is the oldest among those not
// refused is forgotten, so that a crowd of guessers can neither make the table grow without end
// nor push a refused address out of it. While every address in a full table is refused, an
// address outside it is refused too: it could not be counted, so it must not be checked.
inline constexpr size_t wrongLoginAddressesKept = 1024;

// A scan of the whole table (at most wrongLoginAddressesKept entries) for an address outside a
// full table; a lookup otherwise.
bool LoginsRefused(const WrongLoginTimes& table, uint32_t address, int64_t now);
// The same scan when a new address meets a full table; a lookup otherwise.
void CountWrongLogin(WrongLoginTimes& table, uint32_t address, int64_t now);
