// Test helpers for pictures: bitmap files made byte by byte, and JPEG bytes read back with libjpeg.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Rgb {
    uint8_t red, green, blue;
};
using Picture = std::function<Rgb(int x, int y)>;  // y = 0 is the top row

struct BitmapLayout {
    int bits = 24;            // 8 (palette of the picture's colours), 16, 24 or 32
    bool topDown = false;     // rows stored top row first (negative height)
    bool bitFields = false;   // explicit colour masks (16 and 32 bits)
    uint8_t padding = 0xEE;   // filler of the row padding, which must never show
    uint32_t headerSize = 40;
    bool green6 = false;      // 16 bits as 5-6-5 (masks needed) instead of 5-5-5
};

// A complete bitmap file holding the picture.
std::string MakeBitmap(int width, int height, const Picture& picture, const BitmapLayout& layout = {});

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    int dcQuantizer = 0;  // first value of the luminance quantisation table
    std::vector<uint8_t> pixels;  // RGB, top row first
    Rgb At(int x, int y) const;
};
// False when libjpeg cannot read the bytes.
bool DecodeJpeg(const std::string& bytes, DecodedJpeg& out);

// Whether two colours differ by at most `tolerance` in every channel.
bool Near(Rgb a, Rgb b, int tolerance);
