// Splitting an arguments text into the child's arguments.
#include <gtest/gtest.h>

#include "capturectl/command_line.h"

using Words = std::vector<std::string>;

TEST(SplitArguments, BlanksSeparateAndRunsOfThemCountOnce) {
    EXPECT_EQ(SplitArguments("a b\tc\nd"), (Words{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitArguments("  a   b  "), (Words{"a", "b"}));
    EXPECT_EQ(SplitArguments(""), Words{});
    EXPECT_EQ(SplitArguments(" \t\n"), Words{});
    EXPECT_EQ(SplitArguments("http://127.0.0.1:8080/?x=1"), Words{"http://127.0.0.1:8080/?x=1"});
}

TEST(SplitArguments, DoubleQuotesGroupAndAreDropped) {
    EXPECT_EQ(SplitArguments("one \"two three\" four"), (Words{"one", "two three", "four"}));
    EXPECT_EQ(SplitArguments("\"a\tb\nc\""), Words{"a\tb\nc"});
    EXPECT_EQ(SplitArguments("x\"y z\"w"), Words{"xy zw"});
    EXPECT_EQ(SplitArguments("a \"\" b"), (Words{"a", "", "b"}));
    EXPECT_EQ(SplitArguments("a \"b c"), (Words{"a", "b c"}));
    EXPECT_EQ(SplitArguments("'single quotes' stay"), (Words{"'single", "quotes'", "stay"}));
}
