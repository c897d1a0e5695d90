// Bitmap files made byte by byte, and JPEG bytes read back with libjpeg.
#include "tests/windows/jpeg_test_support.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

void PutLe(std::string& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

struct TestErrors {
    jpeg_error_mgr standard;
    std::jmp_buf back;
};

[[noreturn]] void Fail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TestErrors*>(info->err)->back, 1);
}

bool Decompress(const std::string& bytes, DecodedJpeg* out) {
    jpeg_decompress_struct info;
    TestErrors errors;
    info.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = Fail;
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), (unsigned long)bytes.size());
    jpeg_read_header(&info, TRUE);
    out->dcQuantizer = info.quant_tbl_ptrs[0] ? info.quant_tbl_ptrs[0]->quantval[0] : 0;
    out->components = info.num_components;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out->width = int(info.output_width);
    out->height = int(info.output_height);
    out->pixels.resize(size_t(out->width) * size_t(out->height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->pixels.data() + size_t(info.output_scanline) * size_t(out->width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

std::string MakeBitmap(int width, int height, const Picture& picture, const BitmapLayout& layout) {
    const size_t bytesPerPixel = size_t(layout.bits / 8);
    const size_t stride = (size_t(width) * size_t(layout.bits) + 31) / 32 * 4;
    const size_t masks = layout.bitFields && layout.headerSize == 40 ? 12 : 0;
    std::vector<Rgb> palette;
    auto paletteIndex = [&](Rgb c) {
        for (size_t i = 0; i < palette.size(); ++i)
            if (palette[i].red == c.red && palette[i].green == c.green && palette[i].blue == c.blue)
                return i;
        palette.push_back(c);
        return palette.size() - 1;
    };
    if (layout.bits == 8)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) paletteIndex(picture(x, y));
    const size_t offset = 14 + layout.headerSize + masks + 4 * palette.size();
    std::string b(offset + stride * size_t(height), '\0');
    b[0] = 'B';
    b[1] = 'M';
    PutLe(b, 2, uint32_t(b.size()), 4);
    PutLe(b, 10, uint32_t(offset), 4);
    PutLe(b, 14, layout.headerSize, 4);
    PutLe(b, 18, uint32_t(width), 4);
    PutLe(b, 22, uint32_t(layout.topDown ? -height : height), 4);
    PutLe(b, 26, 1, 2);
    PutLe(b, 28, uint32_t(layout.bits), 2);
    PutLe(b, 30, layout.bitFields ? 3 : 0, 4);
    PutLe(b, 34, uint32_t(stride * size_t(height)), 4);
    if (layout.bitFields && layout.bits == 32) {
        PutLe(b, 54, 0x00FF0000, 4);
        PutLe(b, 58, 0x0000FF00, 4);
        PutLe(b, 62, 0x000000FF, 4);
    } else if (layout.bitFields) {
        PutLe(b, 54, layout.green6 ? 0xF800 : 0x7C00, 4);
        PutLe(b, 58, layout.green6 ? 0x07E0 : 0x03E0, 4);
        PutLe(b, 62, 0x001F, 4);
    }
    PutLe(b, 46, uint32_t(palette.size()), 4);
    for (size_t i = 0, at = 14 + layout.headerSize + masks; i < palette.size(); ++i, at += 4) {
        b[at] = char(palette[i].blue);
        b[at + 1] = char(palette[i].green);
        b[at + 2] = char(palette[i].red);
    }
    for (int y = 0; y < height; ++y) {
        size_t row = offset + size_t(layout.topDown ? y : height - 1 - y) * stride;
        for (size_t i = size_t(width) * bytesPerPixel; i < stride; ++i) b[row + i] = char(layout.padding);
        for (int x = 0; x < width; ++x) {
            Rgb c = picture(x, y);
            size_t at = row + size_t(x) * bytesPerPixel;
            if (layout.bits == 8) {
                b[at] = char(paletteIndex(c));
                continue;
            }
            if (layout.bits == 16) {
                uint32_t v = layout.green6 ? uint32_t(c.red >> 3) << 11 | uint32_t(c.green >> 2) << 5
                                           : uint32_t(c.red >> 3) << 10 | uint32_t(c.green >> 3) << 5;
                PutLe(b, at, v | uint32_t(c.blue >> 3), 2);
                continue;
            }
            b[at] = char(c.blue);
            b[at + 1] = char(c.green);
            b[at + 2] = char(c.red);
            if (bytesPerPixel == 4) b[at + 3] = char(0x5A);
        }
    }
    return b;
}

Rgb DecodedJpeg::At(int x, int y) const {
    size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

bool DecodeJpeg(const std::string& bytes, DecodedJpeg& out) {
    out = DecodedJpeg();
    return Decompress(bytes, &out);
}

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}
