// The deadline queue against a plain ordered reference: whatever is added, moved and removed, the
// first item is one due earliest, and taking items off the front yields each once, in time order.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "web/due_queue.h"

TEST(DueQueue, TheFirstIsAlwaysDueEarliestAndTheRestFollowInOrder) {
    constexpr uint32_t items = 64;
    DueQueue queue(items);
    std::map<uint32_t, int64_t> reference;
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
        uint32_t item = random() % items;
        if (random() % 3 == 0) {
            queue.Remove(item);
            reference.erase(item);
        } else {
            // Few distinct moments, so that ties and moves both ways are common.
            int64_t at = random() % 50;
            queue.Set(item, at);
            reference[item] = at;
        }
        ASSERT_EQ(queue.Size(), reference.size());
        if (reference.empty()) continue;
        int64_t earliest = INT64_MAX;
        for (auto [_, at] : reference) earliest = std::min(earliest, at);
        ASSERT_EQ(queue.FirstAt(), earliest);
        ASSERT_EQ(reference.at(queue.First()), earliest);
    }
    int64_t last = INT64_MIN;
    while (!queue.Empty()) {
        uint32_t first = queue.First();
        ASSERT_GE(queue.FirstAt(), last);
        last = queue.FirstAt();
        ASSERT_EQ(reference.erase(first), 1u);
        queue.Remove(first);
        EXPECT_FALSE(queue.Contains(first));
    }
    EXPECT_TRUE(reference.empty());
}
