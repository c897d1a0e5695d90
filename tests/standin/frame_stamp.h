// The moment a stand-in camera took a picture, drawn into the picture itself so that it survives
// JPEG on the way to a browser: 16 wide bars carry the milliseconds of the wall clock modulo 2^16,
// white for a one in the upper half and the opposite in the lower half, so that reading a bar
// compares its two halves instead of trusting an absolute grey level.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <ctime>

inline constexpr int stampBits = 16;
inline constexpr uint32_t stampMask = (1u << stampBits) - 1;

inline uint32_t WallClockMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

// Milliseconds from the stamp to `nowMs`, both on the wall clock, within about 32 s either way.
// A file's time comes from the kernel's coarse clock, up to a tick behind the stamp's: a frame
// written at once may look a millisecond younger than zero, which must not read as 65 s.
inline int StampAge(uint32_t stamp, uint32_t nowMs) {
    return static_cast<int16_t>(static_cast<uint16_t>((nowMs - stamp) & stampMask));
}

inline void DrawStamp(uint8_t* grey, int width, int height, int stride, uint32_t ms) {
    for (int y = 0; y < height; ++y) {
        bool lower = y >= height / 2;
        for (int x = 0; x < width; ++x) {
            int bit = stampBits - 1 - x * stampBits / width;
            bool one = ((ms >> bit) & 1) != lower;
            grey[y * stride + x] = one ? 235 : 16;
        }
    }
}

// False when some bar's halves are too alike: not a stamped picture, or a torn one.
inline bool ReadStamp(const uint8_t* grey, int width, int height, int stride, uint32_t& ms) {
    ms = 0;
    for (int bit = stampBits - 1; bit >= 0; --bit) {
        int bar = stampBits - 1 - bit;
        // The middle half of the bar and of each half picture, away from edges that JPEG blurs.
        int x0 = bar * width / stampBits, x1 = (bar + 1) * width / stampBits;
        int inset = (x1 - x0) / 4;
        long upper = 0, lower = 0, count = 0;
        for (int y = height / 8; y < height * 3 / 8; ++y)
            for (int x = x0 + inset; x < x1 - inset; ++x) {
                upper += grey[y * stride + x];
                lower += grey[(y + height / 2) * stride + x];
                ++count;
            }
        if (count == 0 || std::labs(upper - lower) < 100 * count) return false;
        if (upper > lower) ms |= 1u << bit;
    }
    return true;
}
