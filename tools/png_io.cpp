#include "tools/png_io.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace wenlo::tools {

RgbImage SurfaceToRgb(const Surface& surface) {
    RgbImage image;
    image.width = surface.Width();
    image.height = surface.Height();
    image.rgb.resize(size_t(image.width) * size_t(image.height) * 3);
    uint8_t* out = image.rgb.data();
    for (int y = 0; y < image.height; ++y) {
        const Color* row = surface.Pixels() + size_t(y) * Surface::Stride();
        for (int x = 0; x < image.width; ++x) {
            const Color c = row[x];
            *out++ = uint8_t(c & 0xFF);          // red: low byte
            *out++ = uint8_t((c >> 8) & 0xFF);   // green
            *out++ = uint8_t((c >> 16) & 0xFF);  // blue
        }
    }
    return image;
}

bool WritePng(const std::string& path, const RgbImage& image, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != size_t(image.width) * size_t(image.height) * 3) {
        if (error) *error = "the picture is empty";
        return false;
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
    if (!ok && error) *error = png.message;
    png_image_free(&png);
    if (!ok) std::remove(path.c_str());  // no half-written picture left behind
    return ok;
}

bool ReadPng(const std::string& path, RgbImage& image, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        if (error) *error = png.message;
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
        if (error) *error = png.message;
        png_image_free(&png);
        return false;
    }
    image.width = int(png.width);
    image.height = int(png.height);
    image.rgb = std::move(rgb);
    png_image_free(&png);
    return true;
}

std::string PixelHash(const RgbImage& image) {
    uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](uint8_t b) {
        h ^= b;
        h *= 0x100000001b3ull;
    };
    for (int shift = 0; shift < 32; shift += 8) mix(uint8_t(uint32_t(image.width) >> shift));
    for (int shift = 0; shift < 32; shift += 8) mix(uint8_t(uint32_t(image.height) >> shift));
    for (uint8_t b : image.rgb) mix(b);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace wenlo::tools
