#include "windows/bitmap_file.h"

namespace {

constexpr size_t fileHeaderSize = 14;
constexpr size_t infoHeaderSize = 40;  // the smallest header with 32-bit dimensions
constexpr uint32_t uncompressed = 0;   // BI_RGB
constexpr uint32_t bitFields = 3;      // BI_BITFIELDS
// Beyond this no JPEG can hold the picture.
constexpr int64_t largestSide = 65500;

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

// 32-bit pixels with explicit masks are read only when the masks name the usual byte places.
bool UsualMasks(const std::string& b, size_t at) {
    return at + 12 <= b.size() && Le32(b, at) == 0x00FF0000 && Le32(b, at + 4) == 0x0000FF00 &&
           Le32(b, at + 8) == 0x000000FF;
}

}  // namespace

bool DecodeBitmap(const std::string& b, RgbImage& image) {
    image = RgbImage();
    if (b.size() < fileHeaderSize + infoHeaderSize || b[0] != 'B' || b[1] != 'M') return false;
    uint64_t pixelOffset = Le32(b, 10);
    uint32_t headerSize = Le32(b, fileHeaderSize);
    if (headerSize < infoHeaderSize || fileHeaderSize + uint64_t(headerSize) > b.size()) return false;

    int64_t width = int32_t(Le32(b, 18));
    int64_t height = int32_t(Le32(b, 22));
    uint16_t planes = Le16(b, 26);
    uint16_t bits = Le16(b, 28);
    uint32_t compression = Le32(b, 30);
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (planes != 1 || width <= 0 || height <= 0 || width > largestSide || height > largestSide)
        return false;
    if (bits != 24 && bits != 32) return false;
    if (compression == bitFields) {
        // The masks follow a 40-byte header and sit inside any larger one.
        if (bits != 32 || !UsualMasks(b, fileHeaderSize + infoHeaderSize)) return false;
    } else if (compression != uncompressed) {
        return false;
    }

    uint64_t bytesPerPixel = bits / 8;
    uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if (pixelOffset > b.size() || stride * uint64_t(height) > b.size() - pixelOffset) return false;

    image.width = int(width);
    image.height = int(height);
    image.pixels.resize(size_t(width) * size_t(height) * 3);
    uint8_t* out = image.pixels.data();
    for (int64_t row = 0; row < height; ++row) {
        int64_t stored = topDown ? row : height - 1 - row;
        const char* in = b.data() + pixelOffset + uint64_t(stored) * stride;
        for (int64_t x = 0; x < width; ++x, in += bytesPerPixel) {
            *out++ = uint8_t(in[2]);
            *out++ = uint8_t(in[1]);
            *out++ = uint8_t(in[0]);
        }
    }
    return true;
}
