// The captured bitmap becomes the served JPEG: every bitmap layout the capture window writes reads
// as the same picture, the quality follows the step, and a bitmap that cannot be read changes
// nothing but, when its format is the reason, names that format. Runs in the Linux build and, under
// Wine, in the Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "core/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/jpeg_test_support.h"
#include "windows/bitmap_file.h"
#include "windows/jpeg_file.h"

namespace {

// Every pixel distinct, so that a swapped channel, a flipped row or a leaked padding byte shows.
Rgb Gradient(int x, int y) { return {uint8_t(10 + 40 * x), uint8_t(200 - 30 * y), uint8_t(x * 16 + y)}; }

// Four flat quarters survive JPEG compression nearly unchanged away from their edges.
Rgb Quarters(int x, int y) {
    bool right = x >= 32, bottom = y >= 24;
    if (!right && !bottom) return {255, 0, 0};
    if (right && !bottom) return {0, 255, 0};
    if (!right && bottom) return {0, 0, 255};
    return {255, 255, 255};
}

std::string Patched(std::string b, size_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t v : bytes) b[at++] = char(v);
    return b;
}

void ExpectGradient(const RgbImage& image, int width, int height, int tolerance) {
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    ASSERT_EQ(image.pixels.size(), size_t(width * height * 3));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgb want = Gradient(x, y);
            const uint8_t* got = &image.pixels[size_t((y * width + x) * 3)];
            EXPECT_NEAR(got[0], want.red, tolerance) << x << "," << y;
            EXPECT_NEAR(got[1], want.green, tolerance) << x << "," << y;
            EXPECT_NEAR(got[2], want.blue, tolerance) << x << "," << y;
        }
}

TEST(DecodeBitmap, EveryLayoutGivesTheSamePictureTopRowFirst) {
    // Widths 1, 3 and 5 need row padding at 8, 16 and 24 bits; 4 needs none. Five bits a colour
    // keep each channel within 7 of the picture.
    const std::pair<BitmapLayout, int> layouts[] = {
        {{24, false}, 0}, {{24, true}, 0}, {{32, false}, 0}, {{32, true}, 0}, {{32, false, true}, 0},
        {{24, false, false, 0xEE, 124}, 0}, {{16}, 7}, {{16, true, true}, 7},
        {{16, false, true, 0xEE, 40, true}, 7}, {{8}, 0}, {{8, true}, 0}};
    for (int width : {1, 3, 4, 5}) {
        for (auto [layout, tolerance] : layouts) {
            SCOPED_TRACE(testing::Message() << "width " << width << " bits " << layout.bits
                                            << (layout.topDown ? " top-down" : " bottom-up"));
            RgbImage image;
            ASSERT_TRUE(DecodeBitmap(MakeBitmap(width, 3, Gradient, layout), image));
            ExpectGradient(image, width, 3, tolerance);
        }
    }
    // The brightest of five or six bits is full brightness, not 248 or 252.
    auto whiteThenBlack = [](int x, int) { return x == 0 ? Rgb{255, 255, 255} : Rgb{0, 0, 0}; };
    for (BitmapLayout layout : {BitmapLayout{16}, BitmapLayout{16, false, true, 0xEE, 40, true}}) {
        RgbImage image;
        ASSERT_TRUE(DecodeBitmap(MakeBitmap(2, 1, whiteThenBlack, layout), image));
        EXPECT_EQ(image.pixels, (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));
    }
    // Two colours listed: the palette ends at byte 62, where the row begins; a greater index is black.
    RgbImage image;
    ASSERT_TRUE(DecodeBitmap(Patched(MakeBitmap(2, 1, Gradient, BitmapLayout{8}), 63, {7}), image));
    EXPECT_EQ(std::vector<uint8_t>(image.pixels.begin() + 3, image.pixels.end()), (std::vector<uint8_t>{0, 0, 0}));
}

TEST(DecodeBitmap, MalformedOrUnreadFormatsAreRefusedAndOnlyAFormatIsNamed) {
    std::string good = MakeBitmap(4, 2, Gradient);
    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) { return Patched(good, at, bytes); };
    // A red mask of 0x000F0000 or 0x000F7C00: arrangements not read here.
    std::string masked32 = Patched(MakeBitmap(2, 2, Gradient, BitmapLayout{32, false, true}), 56, {0x0F});
    std::string masked16 = Patched(MakeBitmap(2, 2, Gradient, BitmapLayout{16, false, true}), 56, {0x0F});
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"empty", "", ""},
        {"headers cut short", good.substr(0, 40), ""},
        {"last row one byte short", good.substr(0, good.size() - 1), ""},
        {"not a bitmap", patched(0, {'P', 'K'}), ""},
        {"two planes", patched(26, {2, 0}), ""},
        {"4 bits per pixel", patched(28, {4, 0}), "4 bits per pixel, compression 0"},
        {"8 bits, no room for 256 colours", patched(28, {8, 0}), ""},
        {"8 bits, more colours than room", Patched(MakeBitmap(2, 1, Gradient, BitmapLayout{8}), 46, {200}), ""},
        {"run-length compressed", patched(30, {1, 0, 0, 0}), "24 bits per pixel, compression 1"},
        {"8 bits run-length compressed", patched(28, {8, 0, 1, 0, 0, 0}), "8 bits per pixel, compression 1"},
        {"a driver's own code", patched(28, {16, 0, 'Y', 'U', 'Y', '2'}), "16 bits per pixel, compression YUY2"},
        {"24 bits with masks", patched(30, {3, 0, 0, 0}), "24 bits per pixel, compression 3"},
        {"32 bits with unusual masks", masked32, "32 bits per pixel, compression 3"},
        {"16 bits with unusual masks", masked16, "16 bits per pixel, compression 3"},
        {"zero width", patched(18, {0, 0, 0, 0}), ""},
        {"negative width", patched(18, {0xFC, 0xFF, 0xFF, 0xFF}), ""},
        {"zero height", patched(22, {0, 0, 0, 0}), ""},
        {"more rows than bytes", patched(22, {0x60, 0xEA, 0, 0}), ""},
        {"wider than a JPEG can be", patched(18, {0xFF, 0xFF, 0, 0}), ""},
        {"most negative height", patched(22, {0, 0, 0, 0x80}), ""},
        {"pixels beyond the end", patched(10, {0xFF, 0xFF, 0, 0}), ""},
        {"core header", patched(14, {12, 0, 0, 0}), "header of 12 bytes"},
        {"header larger than the file", patched(14, {0, 1, 0, 0}), ""},
    };
    for (const auto& [what, bytes, format] : cases) {
        RgbImage image;
        std::string named = "stale";
        EXPECT_FALSE(DecodeBitmap(bytes, image, &named)) << what;
        EXPECT_TRUE(image.pixels.empty()) << what;
        EXPECT_EQ(named, format) << what;
    }
}

TEST(DecodeBitmap, EveryTruncatedFileIsRefusedAndNamesNoFormatOnceItsMasksHaveCome) {
    const BitmapLayout layouts[] = {{24}, {32, true}, {32, false, true}, {16, false, true, 0xEE, 40, true},
                                    {8}, {24, false, false, 0xEE, 124}};
    for (const BitmapLayout& layout : layouts) {
        std::string whole = MakeBitmap(3, 2, Gradient, layout);
        // The masks of a bitmap with explicit ones end 12 bytes after the 40-byte header.
        size_t formatKnown = layout.bitFields ? 66 : 0;
        for (size_t n = 0; n < whole.size(); ++n) {
            RgbImage image;
            std::string named = "stale";
            ASSERT_FALSE(DecodeBitmap(whole.substr(0, n), image, &named)) << layout.bits << " bits, " << n << " bytes";
            EXPECT_TRUE(image.pixels.empty());
            EXPECT_EQ(image.width, 0);
            if (n >= formatKnown) {
                EXPECT_EQ(named, "") << layout.bits << " bits, " << n << " bytes";
            }
        }
        RgbImage image;
        ASSERT_TRUE(DecodeBitmap(whole, image));
        ExpectGradient(image, 3, 2, layout.bits == 16 ? 7 : 0);
    }
}

class ConvertTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string bitmap = dir.File("webcam.bmp");
    std::string jpeg = dir.File("webcam.jpg");
};

TEST_F(ConvertTest, PictureArrivesUprightInRgbAtTheRequestedQuality) {
    // The luminance table's first entry as libjpeg scales its standard table (16) for a quality;
    // quality 0 counts as 1, and with baseline not forced the entry may exceed 255.
    const std::pair<int, int> stepToDc[] = {{10, 1}, {12, 1}, {7, 10}, {5, 16}, {1, 80}, {0, 800}, {-3, 800}};
    for (auto [step, dc] : stepToDc) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        WriteFileText(bitmap, MakeBitmap(64, 48, Quarters));
        ASSERT_TRUE(ConvertBitmapToJpeg(bitmap, jpeg, step));
        DecodedJpeg decoded;
        ASSERT_TRUE(DecodeJpeg(ReadFileText(jpeg), decoded));
        EXPECT_EQ(decoded.dcQuantizer, dc);
        EXPECT_EQ(decoded.width, 64);
        EXPECT_EQ(decoded.height, 48);
        EXPECT_EQ(decoded.components, 3);
        if (step >= 5) {
            EXPECT_TRUE(Near(decoded.At(8, 8), {255, 0, 0}, 24));
            EXPECT_TRUE(Near(decoded.At(56, 8), {0, 255, 0}, 24));
            EXPECT_TRUE(Near(decoded.At(8, 40), {0, 0, 255}, 24));
            EXPECT_TRUE(Near(decoded.At(56, 40), {255, 255, 255}, 24));
        }
    }
}

TEST_F(ConvertTest, TopDownAnd32BitBitmapsGiveTheSameJpeg) {
    WriteFileText(bitmap, MakeBitmap(64, 48, Quarters));
    ASSERT_TRUE(ConvertBitmapToJpeg(bitmap, jpeg, 8));
    std::string reference = ReadFileText(jpeg);
    // The picture's flat colours survive 16 bits and a palette exactly.
    for (BitmapLayout layout : {BitmapLayout{24, true}, BitmapLayout{32, false}, BitmapLayout{32, true, true},
                                BitmapLayout{16}, BitmapLayout{16, true, true, 0xEE, 40, true}, BitmapLayout{8}}) {
        WriteFileText(bitmap, MakeBitmap(64, 48, Quarters, layout));
        ASSERT_TRUE(ConvertBitmapToJpeg(bitmap, jpeg, 8));
        EXPECT_EQ(ReadFileText(jpeg), reference) << layout.bits << (layout.topDown ? " top-down" : "");
    }
}

TEST_F(ConvertTest, UnreadableBitmapLeavesThePreviousJpeg) {
    EXPECT_FALSE(ConvertBitmapToJpeg(bitmap, jpeg, 5));
    EXPECT_FALSE(PathExists(jpeg)) << "no bitmap must not make a JPEG";

    WriteFileText(jpeg, "previous frame");
    std::string cut = MakeBitmap(64, 48, Quarters);
    WriteFileText(bitmap, cut.substr(0, cut.size() / 2));
    EXPECT_FALSE(ConvertBitmapToJpeg(bitmap, jpeg, 5));
    EXPECT_EQ(ReadFileText(jpeg), "previous frame");

    std::string format;
    WriteFileText(bitmap, Patched(MakeBitmap(64, 48, Quarters), 28, {4, 0}));
    EXPECT_FALSE(ConvertBitmapToJpeg(bitmap, jpeg, 5, &format));
    EXPECT_EQ(format, "4 bits per pixel, compression 0");
    EXPECT_EQ(ReadFileText(jpeg), "previous frame");
    WriteFileText(bitmap, MakeBitmap(64, 48, Quarters));
    EXPECT_TRUE(ConvertBitmapToJpeg(bitmap, jpeg, 5, &format));
    EXPECT_EQ(format, "");
}

TEST_F(ConvertTest, ReplacesAnExistingJpegAndLeavesNoSpareFileBeside) {
    WriteFileText(jpeg, std::string(100000, 'x'));
    WriteFileText(bitmap, MakeBitmap(16, 16, Gradient));
    ASSERT_TRUE(ConvertBitmapToJpeg(bitmap, jpeg, 5));
    DecodedJpeg decoded;
    EXPECT_TRUE(DecodeJpeg(ReadFileText(jpeg), decoded));
    EXPECT_EQ(decoded.width, 16);
    int files = 0;
    std::string folder = dir.path();
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(std::u8string(folder.begin(), folder.end())))) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2) << "only the bitmap and the JPEG";
}

TEST_F(ConvertTest, PathsWithCharactersBeyondAscii) {
    std::string folder = dir.File("Kamera-\xC3\xA4\xE2\x82\xAC");  // UTF-8: a-umlaut, euro sign
    ASSERT_EQ(MakeDirectory(folder), MakeDirectoryResult::Created);
    std::string from = folder + "/webcam.bmp";
    std::string to = folder + "/webcam.jpg";
    WriteFileText(from, MakeBitmap(8, 8, Gradient));
    ASSERT_TRUE(ConvertBitmapToJpeg(from, to, 5));
    DecodedJpeg decoded;
    EXPECT_TRUE(DecodeJpeg(ReadFileText(to), decoded));
    EXPECT_EQ(decoded.height, 8);
}

}  // namespace
