// Waiting in tests for something that happens in another thread or process: polled every 10 ms
// up to a generous limit, so a slow machine passes and a fault still ends the test.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The state letter of a process from /proc ('R', 'S', 'Z' ...), or 0 when it no longer exists.
inline char ProcessStateLetter(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    size_t end = line.rfind(')');
    return end == std::string::npos || end + 2 >= line.size() ? 0 : line[end + 2];
}

inline bool ProcessGone(pid_t pid) { return ProcessStateLetter(pid) == 0; }
