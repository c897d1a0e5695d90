// The semaphore that paces the capture thread: a release while a thread waits hands the permit to
// that thread, so that the frame timer's try-acquires right after it cannot take it back.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A plain counting semaphore lets the releasing thread win its own permit back before the woken
// waiter runs, which would starve the capture thread; Windows semaphores hand over at once, and
// this gives both builds that behaviour. The member names follow std::counting_semaphore.
class FrameSemaphore {
public:
    explicit FrameSemaphore(int32_t initial) : banked(initial) {}
    // A capture thread may still wait while the process ends; destroying a condition variable
    // that has a waiter blocks or worse, so it is then left to the end of the process.
    ~FrameSemaphore() {
        std::lock_guard<std::mutex> guard(lock);
        if (waiting == 0) delete wake;
    }
    FrameSemaphore(const FrameSemaphore&) = delete;
    FrameSemaphore& operator=(const FrameSemaphore&) = delete;

    void release() {
        std::lock_guard<std::mutex> guard(lock);
        if (waiting > handedOver) {
            ++handedOver;
            wake->notify_one();
        } else {
            ++banked;
        }
    }

    bool try_acquire() {
        std::lock_guard<std::mutex> guard(lock);
        if (banked == 0) return false;
        --banked;
        return true;
    }

    void acquire() {
        std::unique_lock<std::mutex> guard(lock);
        if (TakeBanked()) return;
        ++waiting;
        wake->wait(guard, [this] { return handedOver > 0; });
        TakeHandedOver();
    }

    template <class Rep, class Period>
    bool try_acquire_for(const std::chrono::duration<Rep, Period>& limit) {
        std::unique_lock<std::mutex> guard(lock);
        if (TakeBanked()) return true;
        ++waiting;
        bool handed = wake->wait_for(guard, limit, [this] { return handedOver > 0; });
        if (handed) {
            TakeHandedOver();
            return true;
        }
        --waiting;
        return false;
    }

private:
    bool TakeBanked() {
        if (banked == 0) return false;
        --banked;
        return true;
    }
    void TakeHandedOver() {
        --handedOver;
        --waiting;
    }

    std::mutex lock;
    std::condition_variable* wake = new std::condition_variable;
    int32_t banked;
    int32_t waiting = 0;
    int32_t handedOver = 0;
};
