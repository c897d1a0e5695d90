// Quiet times and deadlines of the web server, on a clock that setting the wall clock (by hand,
// or for summer time) does not move.
#pragma once
#include <chrono>
#include <cstdint>

inline int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

inline int64_t MonotonicSeconds() { return MonotonicMilliseconds() / 1000; }
