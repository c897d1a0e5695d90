// Decoding the bitmap files the capture window saves into RGB pixels, or naming their format.
#include "windows/bitmap_file.h"

namespace {

constexpr size_t fileHeaderSize = 14;
constexpr size_t infoHeaderSize = 40;  // the smallest header with 32-bit dimensions
constexpr uint32_t uncompressed = 0;   // BI_RGB
constexpr uint32_t bitFields = 3;      // BI_BITFIELDS
constexpr uint32_t paletteLimit = 256;
// Beyond this no JPEG can hold the picture.
constexpr int64_t largestSide = 65500;

enum class Pixels { Bgr24, Bgrx32, Rgb555, Rgb565, Palette8 };

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

// Explicit masks are read only when they name one of the usual arrangements.
bool MasksAre(const std::string& b, size_t at, uint32_t red, uint32_t green, uint32_t blue) {
    return at + 12 <= b.size() && Le32(b, at) == red && Le32(b, at + 4) == green &&
           Le32(b, at + 8) == blue;
}

std::string CompressionName(uint32_t compression) {
    // Drivers name their own formats by four printable characters.
    std::string code;
    for (int i = 0; i < 4; ++i) {
        char c = char((compression >> (8 * i)) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::to_string(compression);
        code += c;
    }
    return code;
}

bool ChoosePixels(const std::string& b, uint16_t bits, uint32_t compression, Pixels& pixels) {
    // The masks follow a 40-byte header and sit inside any larger one.
    const size_t masks = fileHeaderSize + infoHeaderSize;
    if (compression == uncompressed) {
        switch (bits) {
        case 8: pixels = Pixels::Palette8; return true;
        case 16: pixels = Pixels::Rgb555; return true;
        case 24: pixels = Pixels::Bgr24; return true;
        case 32: pixels = Pixels::Bgrx32; return true;
        default: return false;
        }
    }
    if (compression != bitFields) return false;
    if (bits == 32 && MasksAre(b, masks, 0x00FF0000, 0x0000FF00, 0x000000FF)) {
        pixels = Pixels::Bgrx32;
        return true;
    }
    if (bits == 16 && MasksAre(b, masks, 0xF800, 0x07E0, 0x001F)) {
        pixels = Pixels::Rgb565;
        return true;
    }
    if (bits == 16 && MasksAre(b, masks, 0x7C00, 0x03E0, 0x001F)) {
        pixels = Pixels::Rgb555;
        return true;
    }
    return false;
}

// Spreads a colour of five or six bits over the full eight, so that the brightest stays white.
uint8_t Widen(uint32_t value, int bits) {
    return uint8_t(value << (8 - bits) | value >> (2 * bits - 8));
}

void ReadRow(Pixels pixels, const char* in, int64_t width, const uint8_t* palette, uint8_t*& out) {
    for (int64_t x = 0; x < width; ++x) {
        uint8_t red, green, blue;
        switch (pixels) {
        case Pixels::Bgr24:
        case Pixels::Bgrx32:
            blue = uint8_t(in[0]);
            green = uint8_t(in[1]);
            red = uint8_t(in[2]);
            in += pixels == Pixels::Bgr24 ? 3 : 4;
            break;
        case Pixels::Rgb555:
        case Pixels::Rgb565: {
            uint32_t v = uint32_t(uint8_t(in[0]) | uint8_t(in[1]) << 8);
            in += 2;
            bool wideGreen = pixels == Pixels::Rgb565;
            red = Widen(v >> (wideGreen ? 11 : 10) & 31, 5);
            green = wideGreen ? Widen(v >> 5 & 63, 6) : Widen(v >> 5 & 31, 5);
            blue = Widen(v & 31, 5);
            break;
        }
        case Pixels::Palette8:
        default: {
            const uint8_t* entry = palette + 4 * uint8_t(*in++);
            blue = entry[0];
            green = entry[1];
            red = entry[2];
            break;
        }
        }
        *out++ = red;
        *out++ = green;
        *out++ = blue;
    }
}

}  // namespace

bool DecodeBitmap(const std::string& b, RgbImage& image, std::string* unreadFormat) {
    image = RgbImage();
    if (unreadFormat) unreadFormat->clear();
    if (b.size() < fileHeaderSize + infoHeaderSize || b[0] != 'B' || b[1] != 'M') return false;
    uint64_t pixelOffset = Le32(b, 10);
    uint32_t headerSize = Le32(b, fileHeaderSize);
    if (fileHeaderSize + uint64_t(headerSize) > b.size()) return false;
    if (headerSize < infoHeaderSize) {
        if (unreadFormat) *unreadFormat = "header of " + std::to_string(headerSize) + " bytes";
        return false;
    }

    int64_t width = int32_t(Le32(b, 18));
    int64_t height = int32_t(Le32(b, 22));
    uint16_t planes = Le16(b, 26);
    uint16_t bits = Le16(b, 28);
    uint32_t compression = Le32(b, 30);
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (planes != 1 || width <= 0 || height <= 0 || width > largestSide || height > largestSide)
        return false;
    Pixels pixels;
    if (!ChoosePixels(b, bits, compression, pixels)) {
        if (unreadFormat)
            *unreadFormat =
                std::to_string(bits) + " bits per pixel, compression " + CompressionName(compression);
        return false;
    }

    // Indices beyond the colours a palette lists show black.
    uint8_t palette[4 * paletteLimit] = {};
    if (pixels == Pixels::Palette8) {
        uint32_t colours = Le32(b, 46);
        if (colours == 0 || colours > paletteLimit) colours = paletteLimit;
        size_t at = fileHeaderSize + headerSize;
        if (4 * uint64_t(colours) > b.size() - at) return false;
        for (size_t i = 0; i < 4 * colours; ++i) palette[i] = uint8_t(b[at + i]);
    }

    uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if (pixelOffset > b.size() || stride * uint64_t(height) > b.size() - pixelOffset) return false;

    image.width = int(width);
    image.height = int(height);
    image.pixels.resize(size_t(width) * size_t(height) * 3);
    uint8_t* out = image.pixels.data();
    for (int64_t row = 0; row < height; ++row) {
        int64_t stored = topDown ? row : height - 1 - row;
        ReadRow(pixels, b.data() + pixelOffset + uint64_t(stored) * stride, width, palette, out);
    }
    return true;
}
