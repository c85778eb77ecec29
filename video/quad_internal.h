// Internal to video/: included only by the line renderers (background.cpp,
// sprites.cpp) and their unit tests.
//
// The 1x1 renderers' fast path: four neighbouring pixels of one surface row
// at a time, 16 bytes read from a table and written in one store.
//
// A tile row stores each pixel's colour number as two bit planes (first byte
// the low bits, second byte the high bits, bit 7 the leftmost pixel). Four
// pixels of a row are described by a quad index: bits 3-0 one plane's bits of
// the four pixels (bit 3 the leftmost), bits 7-4 the other plane's. Taken
// from the colour-number planes it is a colour quad; taken from the planes
// of the pixels' shades (after the palette) it is a shade quad, which the
// colour table turns into the four colour values.
#pragma once

#include <array>
#include <cstdint>

#include "video/surface.h"

namespace wenlo {

struct alignas(16) ColorQuad {
    std::array<Color, 4> pixels;
};

// The quad index of the left (pixels 0-3) and right (4-7) half of a row
// whose planes are `low` and `high`.
inline uint8_t LeftQuad(uint8_t low, uint8_t high) { return uint8_t(low >> 4 | (high & 0xF0)); }
inline uint8_t RightQuad(uint8_t low, uint8_t high) { return uint8_t((low & 0x0F) | high << 4); }

namespace quad_detail {

constexpr int QuadPixel(int quad, int i) { return (quad >> (3 - i) & 1) | (quad >> (7 - i) & 1) << 1; }

}  // namespace quad_detail

// The colour values of a shade quad (4 KiB).
inline constexpr std::array<ColorQuad, 256> kShadeQuads = [] {
    std::array<ColorQuad, 256> table{};
    for (int quad = 0; quad < 256; ++quad)
        for (int i = 0; i < 4; ++i) table[quad].pixels[i] = ShadeColors[quad_detail::QuadPixel(quad, i)];
    return table;
}();

// kPaletteShadeQuads[palette][colour quad]: the shade quad the palette
// register makes of it (64 KiB, of which a line reads the rows of the two
// sprite palettes).
inline constexpr std::array<std::array<uint8_t, 256>, 256> kPaletteShadeQuads = [] {
    std::array<std::array<uint8_t, 256>, 256> table{};
    for (int palette = 0; palette < 256; ++palette)
        for (int quad = 0; quad < 256; ++quad) {
            int shades = 0;
            for (int i = 0; i < 4; ++i) {
                const int shade = palette >> (2 * quad_detail::QuadPixel(quad, i)) & 3;
                shades |= (shade & 1) << (3 - i) | (shade >> 1) << (7 - i);
            }
            table[palette][quad] = uint8_t(shades);
        }
    return table;
}();

// For sprites, where colour 0 is transparent: by the four bits of (low |
// high), bit 3 the leftmost pixel, all ones in the lanes of opaque pixels.
inline constexpr std::array<ColorQuad, 16> kOpaqueQuads = [] {
    std::array<ColorQuad, 16> table{};
    for (int bits = 0; bits < 16; ++bits)
        for (int i = 0; i < 4; ++i) table[bits].pixels[i] = (bits >> (3 - i) & 1) ? 0xFFFFFFFFu : 0u;
    return table;
}();

// A plane byte read the other way round: a horizontally flipped sprite row.
inline constexpr std::array<uint8_t, 256> kMirroredBits = [] {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            if (b >> i & 1) table[b] |= uint8_t(0x80 >> i);
    return table;
}();

}  // namespace wenlo
