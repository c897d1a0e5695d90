// Reading the device-independent bitmap files that the capture window saves: uncompressed 24- and
// 32-bit pixels, 16-bit pixels of five or six bits a colour, and 8-bit pixels through a palette;
// rows stored bottom-up or top-down, each row padded to four bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // red, green, blue for each pixel; the top row first
};

// False, leaving `image` empty, when the bytes are not a bitmap of a layout read here or do not
// hold every row they declare. When they are a sound bitmap whose pixel format is not read here,
// `unreadFormat` (if given) receives a short English description of that format ("4 bits per
// pixel, compression 0"); otherwise it is emptied.
bool DecodeBitmap(const std::string& bytes, RgbImage& image, std::string* unreadFormat = nullptr);
