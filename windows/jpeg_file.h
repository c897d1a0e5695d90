// Turning the captured bitmap into the JPEG file the web server hands out, through libjpeg's
// classic compression interface, at a quality chosen in steps of ten.
#pragma once
#include <string>

#include "windows/bitmap_file.h"

// libjpeg quality for a quality step: 10 x the step, the step first held within 0..10.
int JpegQualityForStep(int step);

// The JPEG bytes of the image: RGB, baseline not forced, otherwise libjpeg's defaults.
// False when the image is empty or libjpeg refuses it.
bool EncodeJpeg(const RgbImage& image, int quality, std::string& jpeg);

// Reads the bitmap file and replaces the JPEG file with its picture at the step's quality, whole
// for every reader but not waited onto the disk. When the bitmap cannot be read nothing is written
// and an existing JPEG file stays as it was; `unreadFormat` as for DecodeBitmap.
bool ConvertBitmapToJpeg(const std::string& bitmapPath, const std::string& jpegPath, int qualityStep,
                         std::string* unreadFormat = nullptr);
