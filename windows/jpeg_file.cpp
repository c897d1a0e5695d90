// The captured bitmap as the JPEG file the web server hands out, through libjpeg.
#include "windows/jpeg_file.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "core/platform.h"

namespace {

// libjpeg reports a fault by calling error_exit, which must not return; jumping back out of the
// library is the documented way to turn that into a failed call.
struct JumpingErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf back;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JumpingErrorManager*>(info->err)->back, 1);
}

// Warnings (a quality below 25 makes tables too coarse for baseline decoders) are expected here.
void Silence(j_common_ptr) {}

// Collects the compressed bytes in a text owned by the caller, one chunk at a time.
struct TextDestination {
    jpeg_destination_mgr manager;
    std::string* out;
    JOCTET chunk[16384];
};

void StartChunk(j_compress_ptr info) {
    auto* d = reinterpret_cast<TextDestination*>(info->dest);
    d->manager.next_output_byte = d->chunk;
    d->manager.free_in_buffer = sizeof d->chunk;
}

boolean FlushChunk(j_compress_ptr info) {
    auto* d = reinterpret_cast<TextDestination*>(info->dest);
    d->out->append(reinterpret_cast<const char*>(d->chunk), sizeof d->chunk);
    StartChunk(info);
    return TRUE;
}

void FlushLastChunk(j_compress_ptr info) {
    auto* d = reinterpret_cast<TextDestination*>(info->dest);
    d->out->append(reinterpret_cast<const char*>(d->chunk), sizeof d->chunk - d->manager.free_in_buffer);
}

// Kept free of C++ objects with destructors: a jump from libjpeg passes over this frame.
bool Compress(const RgbImage& image, int quality, std::string* out) {
    jpeg_compress_struct info;
    JumpingErrorManager errors;
    TextDestination destination;
    destination.manager.init_destination = StartChunk;
    destination.manager.empty_output_buffer = FlushChunk;
    destination.manager.term_destination = FlushLastChunk;
    // Read by the chunk callbacks, through the manager libjpeg holds.
    // cppcheck-suppress unreadVariable
    destination.out = out;
    info.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = JumpBack;
    errors.standard.output_message = Silence;
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.dest = &destination.manager;
    info.image_width = JDIMENSION(image.width);
    info.image_height = JDIMENSION(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, FALSE);
    jpeg_start_compress(&info, TRUE);
    const size_t rowBytes = size_t(image.width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.pixels.data() + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

int JpegQualityForStep(int step) {
    if (step < 0) step = 0;
    if (step > 10) step = 10;
    return step * 10;
}

bool EncodeJpeg(const RgbImage& image, int quality, std::string& jpeg) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != size_t(image.width) * size_t(image.height) * 3)
        return false;
    std::string bytes;
    if (!Compress(image, quality, &bytes)) return false;
    jpeg.swap(bytes);
    return true;
}

bool ConvertBitmapToJpeg(const std::string& bitmapPath, const std::string& jpegPath, int qualityStep,
                         std::string* unreadFormat) {
    if (unreadFormat) unreadFormat->clear();
    std::string bytes;
    RgbImage image;
    std::string jpeg;
    if (!ReadFileBytes(bitmapPath, bytes) || !DecodeBitmap(bytes, image, unreadFormat) ||
        !EncodeJpeg(image, JpegQualityForStep(qualityStep), jpeg))
        return false;
    return ReplaceFileContent(jpegPath, jpeg, FileSync::Quick);
}
