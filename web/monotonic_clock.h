// Quiet times and deadlines of the web server, on a clock that setting the wall clock (by hand,
// or for summer time) does not move.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

// Added to every reading. The program never moves it; a test does, to let a minute of the
// server's time pass without waiting for it.
inline std::atomic<int64_t> monotonicAdvanceMilliseconds{0};

inline int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() +
           monotonicAdvanceMilliseconds.load();
}

inline int64_t MonotonicSeconds() { return MonotonicMilliseconds() / 1000; }
