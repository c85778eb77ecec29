// PNG files of the picture surface, through libpng: written by the headless
// runner, read back by the tests that compare pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "video/surface.h"

namespace wenlo::tools {

// An 8-bit RGB image, rows top to bottom, 3 bytes per pixel, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// The drawing area of the surface (Width() x Height()) as RGB; the surface's
// 0x00BBGGRR values are split into their red, green and blue bytes.
RgbImage SurfaceToRgb(const Surface&);

// Writes image as an 8-bit RGB PNG at path (replacing it). On failure returns
// false and, if error is given, libpng's reason.
bool WritePng(const std::string& path, const RgbImage& image, std::string* error = nullptr);

// Reads any PNG libpng understands, converted to 8-bit RGB.
bool ReadPng(const std::string& path, RgbImage& image, std::string* error = nullptr);

// A 64-bit FNV-1a hash of width, height and the RGB bytes, as 16 lower-case
// hexadecimal digits: what picture baselines record.
std::string PixelHash(const RgbImage&);

}  // namespace wenlo::tools
