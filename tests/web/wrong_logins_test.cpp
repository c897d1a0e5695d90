// The guessing limit as a table over times: more than ten wrong logins within a minute refuse an
// address until a minute passes without one, and the table forgets its oldest address when full.
#include <gtest/gtest.h>

#include "web/wrong_logins.h"

namespace {

constexpr uint32_t guesser = 0x7F000002;

void CountMany(WrongLoginTimes& table, uint32_t address, int count, int64_t from, int64_t step) {
    for (int i = 0; i < count; ++i) CountWrongLogin(table, address, from + i * step);
}

}  // namespace

TEST(WrongLogins, ElevenWithinAMinuteRefuseUntilAMinuteAfterTheLast) {
    WrongLoginTimes table, slow, sliding;
    CountMany(table, guesser, 11, 5000, 999);  // the last at 14990
    EXPECT_TRUE(LoginsRefused(table, guesser, 14990 + 59999));
    EXPECT_FALSE(LoginsRefused(table, guesser, 14990 + 60000));
    CountMany(slow, guesser, 11, 0, 6000);  // the eleventh a whole minute after the first
    EXPECT_FALSE(LoginsRefused(slow, guesser, 60000));
    // The minute slides with each wrong login instead of starting over at the first one.
    CountWrongLogin(sliding, guesser, 0);
    CountMany(sliding, guesser, 10, 55000, 600);
    EXPECT_FALSE(LoginsRefused(sliding, guesser, 61000)) << "the first is over a minute old";
    CountWrongLogin(sliding, guesser, 61000);
    EXPECT_TRUE(LoginsRefused(sliding, guesser, 61000)) << "eleven between 55 s and 61 s";
}

TEST(WrongLogins, TheTableKeepsAtMost1024AddressesAndForgetsTheOldest) {
    WrongLoginTimes table;
    for (uint32_t a = 0; a < wrongLoginAddressesKept; ++a) CountMany(table, 0x0A000000 + a, 11, a, 0);
    // The first address guesses again, so the second is now the one longest quiet.
    CountWrongLogin(table, 0x0A000000, 5000);
    CountWrongLogin(table, guesser, 6000);
    EXPECT_EQ(table.size(), wrongLoginAddressesKept);
    EXPECT_FALSE(LoginsRefused(table, 0x0A000001, 6000)) << "forgotten";
    EXPECT_TRUE(LoginsRefused(table, 0x0A000000, 6000));
    EXPECT_TRUE(LoginsRefused(table, 0x0A000002, 6000));
    EXPECT_EQ(table.count(guesser), 1u);
    for (const auto& entry : table) EXPECT_LE(entry.second.size(), wrongLoginsAllowed + 1);
}
