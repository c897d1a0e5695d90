// The frame semaphore hands a release to a thread that waits, so the frame timer's two
// try-acquires right after it never take the permit back; with nobody waiting they do, and no
// permit stays banked. Timed waits end on time or on a hand-over.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/frame_semaphore.h"
#include "tests/support/wait.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WaitFor(const std::atomic<int>& value, int wanted, int limitMilliseconds) {
    return WaitUntil([&] { return value.load() == wanted; }, limitMilliseconds);
}

// The frame timer's tick as the main loop makes it.
void Tick(FrameSemaphore& semaphore) {
    semaphore.release();
    semaphore.try_acquire();
    semaphore.try_acquire();
}

}  // namespace

TEST(FrameSemaphore, ATickWithNobodyWaitingBanksNothing) {
    FrameSemaphore semaphore(0);
    for (int i = 0; i < 5; ++i) Tick(semaphore);
    EXPECT_FALSE(semaphore.try_acquire());
    semaphore.release();
    EXPECT_TRUE(semaphore.try_acquire());
    EXPECT_FALSE(semaphore.try_acquire());
}

TEST(FrameSemaphore, EachTickLetsAWaitingThreadThroughExactlyOnce) {
    FrameSemaphore semaphore(0);
    std::atomic<int> passes{0};
    std::atomic<bool> waitingAgain{false};
    constexpr int rounds = 50;
    std::thread capture([&] {
        for (int i = 0; i < rounds; ++i) {
            waitingAgain = true;
            semaphore.acquire();
            waitingAgain = false;
            ++passes;
        }
    });
    for (int i = 1; i <= rounds; ++i) {
        // Give the thread time to be blocked in acquire before the tick, as the 500 ms timer does.
        while (!waitingAgain) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        Tick(semaphore);
        ASSERT_TRUE(WaitFor(passes, i, 2000)) << "tick " << i << " did not release the waiter";
    }
    capture.join();
    EXPECT_FALSE(semaphore.try_acquire());
}

TEST(FrameSemaphore, TimedWaitEndsOnTimeOrOnAHandOver) {
    FrameSemaphore semaphore(0);
    auto start = Clock::now();
    EXPECT_FALSE(semaphore.try_acquire_for(std::chrono::milliseconds(80)));
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_GE(waited.count(), 75);
    EXPECT_LT(waited.count(), 2000);
    Tick(semaphore);
    EXPECT_FALSE(semaphore.try_acquire()) << "a timed-out waiter left a claim behind";

    std::atomic<int> got{0};
    std::thread waiter([&] {
        if (semaphore.try_acquire_for(std::chrono::seconds(10))) got = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Tick(semaphore);
    EXPECT_TRUE(WaitFor(got, 1, 2000));
    waiter.join();
}
