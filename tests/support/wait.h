// Waiting in tests for something that happens in another thread or process: polled every 10 ms
// up to a generous limit, so a slow machine passes and a fault still ends the test. Plain C++, so
// that the tests run by Wine wait in the same way.
#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

inline int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

template <typename Condition>
bool WaitUntil(Condition condition, int limitMilliseconds) {
    return WaitUntil(condition, std::chrono::milliseconds(limitMilliseconds));
}
