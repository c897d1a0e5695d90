// Guessing through the running server: an address that sends more than ten wrong logins within a
// minute is refused, right password included, until a minute passes without a wrong one, while
// other addresses log in and however many others guess. The server's clock is moved forward
// instead of waiting the minute out.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/loopback_client.h"
#include "tests/support/wait.h"
#include "tests/web/server_fixture.h"
#include "web/monotonic_clock.h"
#include "web/pages.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string viewer(viewerPage), failed(authorizationFailedPage);
const std::string wrongLogin = "login.html?username=a&password=guess&Login=Login";
const std::string rightLogin = "login.html?username=a&password=b&Login=Login";

// Lets the server's clock stand `offsetMs` after `moment` of the real one.
void ServerClockAt(Clock::time_point moment, int64_t offsetMs) {
    monotonicAdvanceMilliseconds = offsetMs - MillisecondsSince(moment);
}

using ServerLogin = RunningServer;

}  // namespace

TEST_F(ServerLogin, AGuesserIsRefusedForAMinuteAfterItsEleventhWrongLogin) {
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Fetch("127.0.0.2", wrongLogin), ExpectedAnswer(failed)) << i;
    EXPECT_EQ(Fetch("127.0.0.2", rightLogin), ExpectedAnswer(viewer)) << "ten wrong logins are allowed";

    for (int i = 0; i < 10; ++i) ASSERT_EQ(Fetch("127.0.0.3", wrongLogin), ExpectedAnswer(failed)) << i;
    Clock::time_point beforeLast = Clock::now();
    ASSERT_EQ(Fetch("127.0.0.3", wrongLogin), ExpectedAnswer(failed));
    Clock::time_point afterLast = Clock::now();
    EXPECT_EQ(Fetch("127.0.0.3", rightLogin), ExpectedAnswer(failed)) << "refused without a check";
    EXPECT_EQ(Fetch("127.0.0.4", rightLogin), ExpectedAnswer(viewer)) << "another address meanwhile";

    // A second short of the minute (counted from before the last wrong login was sent).
    ServerClockAt(beforeLast, 59000);
    EXPECT_EQ(Fetch("127.0.0.3", rightLogin), ExpectedAnswer(failed));
    // A second past it (counted from its answer): the refused attempts did not extend it.
    ServerClockAt(afterLast, 61000);
    EXPECT_EQ(Fetch("127.0.0.3", rightLogin), ExpectedAnswer(viewer));
}

TEST_F(ServerLogin, ARestartFreesNoGuesserAndSessionIdsAreNoGuesses) {
    for (int i = 0; i < 11; ++i) ASSERT_EQ(Fetch("127.0.0.3", wrongLogin), ExpectedAnswer(failed)) << i;
    for (int i = 0; i < 20; ++i) Fetch("127.0.0.2", "index.html?id=" + std::to_string(i));
    Stop();
    ASSERT_TRUE(StartWithPort(std::to_string(port)));
    EXPECT_EQ(Fetch("127.0.0.3", rightLogin), ExpectedAnswer(failed));
    EXPECT_EQ(Fetch("127.0.0.2", rightLogin), ExpectedAnswer(viewer));
    // Whoever holds the id is no guesser: it is too long to guess.
    EXPECT_EQ(Fetch("127.0.0.3", "index.html?id=" + sessionId), ExpectedAnswer(viewer));
}

TEST_F(ServerLogin, TwoThousandOtherGuessersDoNotFreeARefusedAddress) {
    for (int i = 0; i < 11; ++i) ASSERT_EQ(Fetch("127.0.0.3", wrongLogin), ExpectedAnswer(failed)) << i;
    for (int i = 0; i < 2000; ++i) {
        std::string other = "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        ASSERT_EQ(Fetch(other, wrongLogin), ExpectedAnswer(failed)) << other;
        if (i % 250 == 249) {
            ASSERT_EQ(Fetch("127.0.0.3", rightLogin), ExpectedAnswer(failed)) << "after " << i;
        }
    }
    EXPECT_EQ(Fetch("127.1.7.250", rightLogin), ExpectedAnswer(viewer)) << "one wrong login refuses nobody";
}
