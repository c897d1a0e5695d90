// The guessing limit as a table over times: more than ten wrong logins within a minute refuse an
// address until a minute passes without one, and no crowd of other addresses can end that early.
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

TEST(WrongLogins, AFullTableForgetsTheLongestQuietUnrefusedAddressAndNeverARefusedOne) {
    WrongLoginTimes table;
    for (uint32_t a = 0; a + 2 < wrongLoginAddressesKept; ++a) CountMany(table, 0x0A000000 + a, 11, a, 0);
    CountWrongLogin(table, 0x0B000001, 100);
    CountWrongLogin(table, 0x0B000002, 50);
    CountWrongLogin(table, guesser, 2000);
    EXPECT_EQ(table.count(0x0B000002), 0u) << "the refused ones are older, yet stay";
    EXPECT_TRUE(LoginsRefused(table, 0x0A000000, 2000));
    CountWrongLogin(table, 0x0C000001, 2001);
    EXPECT_EQ(table.count(0x0B000001), 0u);
    CountMany(table, guesser, 10, 3000, 0);
    CountMany(table, 0x0C000001, 10, 3000, 0);

    // Every entry refused: a newcomer is refused without being counted, until the first entry frees.
    EXPECT_TRUE(LoginsRefused(table, 0x0D000001, 59999));
    CountWrongLogin(table, 0x0D000001, 59999);
    EXPECT_EQ(table.count(0x0D000001), 0u);
    EXPECT_FALSE(LoginsRefused(table, 0x0D000001, 60000));
    CountWrongLogin(table, 0x0D000001, 60000);
    EXPECT_EQ(table.count(0x0D000001), 1u);
    EXPECT_EQ(table.count(0x0A000000), 0u) << "freed at 60000";
    EXPECT_TRUE(LoginsRefused(table, 0x0A000001, 60000)) << "frees at 60001";
    EXPECT_EQ(table.size(), wrongLoginAddressesKept);
    for (const auto& entry : table) EXPECT_LE(entry.second.size(), wrongLoginsAllowed + 1);
}

TEST(WrongLogins, ACrowdOfTwoThousandGuessersLetsOneAddressHaveElevenCheckedGuessesAMinute) {
    WrongLoginTimes table;
    int checked = 0;
    // The guesser tries every 10 ms; each of the others every 10 s, too slowly to be refused.
    for (int64_t now = 0; now < wrongLoginWindowMilliseconds; now += 5) {
        uint32_t other = 0x0A000000 + uint32_t(now / 5 % 2000);
        if (!LoginsRefused(table, other, now)) CountWrongLogin(table, other, now);
        if (now % 10 == 0 && !LoginsRefused(table, guesser, now)) {
            ++checked;
            CountWrongLogin(table, guesser, now);
        }
    }
    EXPECT_EQ(checked, 11);
}
