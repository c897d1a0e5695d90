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
// Past this many addresses the one whose latest wrong login is the oldest is forgotten, so that
// a crowd of guessers cannot make the table grow without end.
inline constexpr size_t wrongLoginAddressesKept = 1024;

bool LoginsRefused(const WrongLoginTimes& table, uint32_t address, int64_t now);
void CountWrongLogin(WrongLoginTimes& table, uint32_t address, int64_t now);
