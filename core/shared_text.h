// A text that one thread replaces while another reads it: readers always see an old or a new
// value whole, never a half-written one.
#pragma once
#include <mutex>
#include <string>

class SharedText {
public:
    SharedText() = default;
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string Get() const {
        std::lock_guard<std::mutex> guard(lock);
        return value;
    }
    void Set(std::string text) {
        std::lock_guard<std::mutex> guard(lock);
        value.swap(text);
    }

private:
    mutable std::mutex lock;
    std::string value;
};
