// The guessing limit as a table over times: more than ten wrong logins within a minute refuse an
// address until a minute passes without one, and the table forgets its oldest address when full.
#include <gtest/gtest.h>

#include "web/wrong_logins.h"

namespace {

constexpr uint32_t guesser = 0x7F000002, other = 0x7F000003;

void CountMany(WrongLoginTimes& table, uint32_t address, int count, int64_t from, int64_t step) {
    for (int i = 0; i < count; ++i) CountWrongLogin(table, address, from + i * step);
}

}  // namespace

TEST(WrongLogins, TheEleventhWithinAMinuteRefusesThatAddressOnly) {
    WrongLoginTimes table;
    CountMany(table, guesser, 10, 1000, 100);
    EXPECT_FALSE(LoginsRefused(table, guesser, 2000)) << "ten are allowed";
    CountWrongLogin(table, guesser, 2000);
    EXPECT_TRUE(LoginsRefused(table, guesser, 2000));
    EXPECT_FALSE(LoginsRefused(table, other, 2000));
    EXPECT_FALSE(LoginsRefused(WrongLoginTimes(), guesser, 2000));
}

TEST(WrongLogins, TheRefusalEndsAMinuteAfterTheLastWrongLogin) {
    WrongLoginTimes table;
    CountMany(table, guesser, 11, 5000, 1000);  // the last at 15000
    EXPECT_TRUE(LoginsRefused(table, guesser, 15000 + 59999));
    EXPECT_FALSE(LoginsRefused(table, guesser, 15000 + 60000));
    // Afterwards one more wrong login does not refuse again: the others are a minute old.
    CountWrongLogin(table, guesser, 15000 + 60000);
    EXPECT_FALSE(LoginsRefused(table, guesser, 15000 + 60000));
}

TEST(WrongLogins, OnlyElevenWithinOneMinuteCount) {
    WrongLoginTimes slow;
    CountMany(slow, guesser, 11, 0, 6000);  // 60 s from the first to the eleventh
    EXPECT_FALSE(LoginsRefused(slow, guesser, 60000));
    WrongLoginTimes justInside;
    CountMany(justInside, guesser, 11, 1, 5999);
    EXPECT_TRUE(LoginsRefused(justInside, guesser, 59991));
    // The minute slides with each wrong login instead of starting over at the first one.
    WrongLoginTimes sliding;
    CountWrongLogin(sliding, guesser, 0);
    CountMany(sliding, guesser, 5, 55000, 10);
    CountMany(sliding, guesser, 5, 61000, 10);
    EXPECT_FALSE(LoginsRefused(sliding, guesser, 61100)) << "the first is over a minute old";
    CountWrongLogin(sliding, guesser, 61100);
    EXPECT_TRUE(LoginsRefused(sliding, guesser, 61100)) << "eleven between 55 s and 61.1 s";
}

TEST(WrongLogins, TheTableKeepsAtMost1024AddressesAndForgetsTheOldest) {
    WrongLoginTimes table;
    for (uint32_t a = 0; a < wrongLoginAddressesKept; ++a) CountMany(table, 0x0A000000 + a, 11, a, 0);
    EXPECT_EQ(table.size(), wrongLoginAddressesKept);
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
