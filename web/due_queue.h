// Items numbered 0..capacity-1, each due at a moment, kept in order of those moments: the first
// one due is found at once, and adding, moving or removing one costs O(log n), so that a
// connection's deadline can move at every step of its answer while a pass looks only at what is due.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class DueQueue {
public:
    explicit DueQueue(size_t capacity) : dueAt_(capacity), position_(capacity, absent) {}

    bool Empty() const { return heap_.empty(); }
    size_t Size() const { return heap_.size(); }
    // Only when not Empty.
    uint32_t First() const { return heap_.front(); }
    int64_t FirstAt() const { return dueAt_[heap_.front()]; }
    bool Contains(uint32_t item) const { return position_[item] != absent; }

    // Adds the item, or moves it when it is in already.
    void Set(uint32_t item, int64_t at) {
        dueAt_[item] = at;
        size_t i = position_[item];
        if (i == absent) {
            i = heap_.size();
            heap_.push_back(item);
            position_[item] = i;
        }
        Down(Up(i));
    }

    void Remove(uint32_t item) {
        size_t i = position_[item];
        if (i == absent) return;
        position_[item] = absent;
        uint32_t last = heap_.back();
        heap_.pop_back();
        if (i == heap_.size()) return;
        heap_[i] = last;
        position_[last] = i;
        Down(Up(i));
    }

    void Clear() {
        for (uint32_t item : heap_) position_[item] = absent;
        heap_.clear();
    }

private:
    static constexpr size_t absent = SIZE_MAX;

    bool Before(size_t a, size_t b) const { return dueAt_[heap_[a]] < dueAt_[heap_[b]]; }

    void Swap(size_t a, size_t b) {
        std::swap(heap_[a], heap_[b]);
        position_[heap_[a]] = a;
        position_[heap_[b]] = b;
    }

    size_t Up(size_t i) {
        while (i > 0 && Before(i, (i - 1) / 2)) {
            Swap(i, (i - 1) / 2);
            i = (i - 1) / 2;
        }
        return i;
    }

    void Down(size_t i) {
        for (;;) {
            size_t first = i, left = 2 * i + 1, right = left + 1;
            if (left < heap_.size() && Before(left, first)) first = left;
            if (right < heap_.size() && Before(right, first)) first = right;
            if (first == i) return;
            Swap(i, first);
            i = first;
        }
    }

    std::vector<uint32_t> heap_;
    std::vector<int64_t> dueAt_;     // by item
    std::vector<size_t> position_;  // by item: where it stands in heap_, or absent
};
