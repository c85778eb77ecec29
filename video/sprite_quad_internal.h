// Internal to video/: included only by the sprite renderer and its unit
// tests.
//
// The 1x1 sprite fast path draws a row of eight pixels as two quads of four
// neighbouring pixels, each one 16-byte table read for the colours and one
// for the pixels that are opaque. A quad is described by eight bits: bits
// 3-0 the low bits of the four pixels' shades (bit 3 the leftmost pixel),
// bits 7-4 their high bits. Its table entries lie at byte offset quad * 16.
//
// The palette is applied to all eight pixels of a row at once, bitwise, on
// a 32-bit word that holds both quad offsets: bits 0-15 the left quad's,
// bits 16-31 the right one's.
#pragma once

#include <array>
#include <cstdint>

#include "video/shade_quad_internal.h"
#include "video/surface.h"

namespace wenlo {

// All ones in each pixel of a quad where either of its bits is set, zero
// elsewhere (4 KiB). Indexed with the colour numbers in place of the shades
// it marks the opaque pixels: colour 0 is transparent whatever the palette
// makes of it.
inline constexpr std::array<ColorQuad, 256> kOpaqueQuads = [] {
    std::array<ColorQuad, 256> table{};
    for (int quad = 0; quad < 256; ++quad)
        for (int i = 0; i < 4; ++i)
            table[quad].pixels[i] = (quad >> (3 - i) & 1) | (quad >> (7 - i) & 1) ? 0xFFFFFFFFu : 0u;
    return table;
}();

namespace sprite_quad_detail {

// Where pixel p (0 = leftmost) keeps bit 0 and bit 1 of its value in the
// word of two quad offsets.
constexpr uint32_t LowBitOfPixel(int p) { return uint32_t(1) << (16 * (p / 4) + 7 - p % 4); }
constexpr uint32_t HighBitOfPixel(int p) { return LowBitOfPixel(p) << 4; }
inline constexpr uint32_t kLowBits = 0x00F000F0, kHighBits = 0x0F000F00;

// kPlaneBits[flipped][b]: plane byte b of a tile row with each of its
// pixels' bits put in both places, bit 7 the leftmost pixel (bit 0 if
// flipped). The same table serves both planes: the palette picks out which
// plane ends up where.
inline constexpr std::array<std::array<uint32_t, 256>, 2> kPlaneBits = [] {
    std::array<std::array<uint32_t, 256>, 2> table{};
    for (int flipped = 0; flipped < 2; ++flipped)
        for (int b = 0; b < 256; ++b)
            for (int p = 0; p < 8; ++p)
                if (b >> (flipped ? p : 7 - p) & 1) table[flipped][b] |= LowBitOfPixel(p) | HighBitOfPixel(p);
    return table;
}();

// A palette register as four masks over the word (4 KiB): for colour
// number c, mask(c) has the low-bit places set where shade bit 0 of c is,
// the high-bit places where shade bit 1 is. Held as what the high plane and
// then the low plane change: colour 0, the change from 0 to 2, the change
// from 0 to 1, and the change from 2 to 3 on top of it.
struct alignas(16) PaletteMasks {
    uint32_t colour0, highOf0, lowOf0, highOfLow;
};
inline constexpr std::array<PaletteMasks, 256> kPaletteMasks = [] {
    std::array<PaletteMasks, 256> table{};
    for (int palette = 0; palette < 256; ++palette) {
        const auto mask = [palette](int c) {
            const int shade = palette >> (2 * c) & 3;
            return (shade & 1 ? kLowBits : 0) | (shade & 2 ? kHighBits : 0);
        };
        table[palette] = {mask(0), mask(0) ^ mask(2), mask(0) ^ mask(1),
                          mask(0) ^ mask(1) ^ mask(2) ^ mask(3)};
    }
    return table;
}();

}  // namespace sprite_quad_detail

// Attribute bits of a sprite entry (bits 0-3 are ignored).
inline constexpr uint8_t kAttrBehindBackground = 0x80;
inline constexpr uint8_t kAttrFlipY = 0x40;
inline constexpr uint8_t kAttrFlipX = 0x20;
inline constexpr uint8_t kAttrPalette1 = 0x10;

// All the fast path's tables in one object, so that a single base register
// reaches every one of them. By attribute byte: flipRows, what turns the
// row of an 8- or 16-line entry into its row counted from the bottom when
// it is flipped vertically (a row of 0..height-1 flips by its bits); and
// planesFrom, the byte offset in `planes` of its row direction's bits.
struct SpriteQuadTables {
    std::array<ColorQuad, 256> shades = kShadeQuads;
    std::array<ColorQuad, 256> opaque = kOpaqueQuads;
    std::array<sprite_quad_detail::PaletteMasks, 256> palettes = sprite_quad_detail::kPaletteMasks;
    std::array<std::array<uint32_t, 256>, 2> planes = sprite_quad_detail::kPlaneBits;
    std::array<std::array<uint8_t, 256>, 2> flipRows = [] {
        std::array<std::array<uint8_t, 256>, 2> table{};
        for (int attr = 0; attr < 256; ++attr) {
            table[0][attr] = attr & kAttrFlipY ? 7 : 0;
            table[1][attr] = attr & kAttrFlipY ? 15 : 0;
        }
        return table;
    }();
    std::array<uint16_t, 256> planesFrom = [] {
        std::array<uint16_t, 256> table{};
        for (int attr = 0; attr < 256; ++attr)
            table[attr] = attr & kAttrFlipX ? uint16_t(sizeof(std::array<uint32_t, 256>)) : 0;
        return table;
    }();
};
inline constexpr SpriteQuadTables kSpriteQuads{};

// The two quads of a sprite row: byte offsets into kShadeQuads (colours)
// and kOpaqueQuads (pixels drawn), each word as described above.
struct RowQuads {
    uint32_t shades;
    uint32_t opaque;
};

// The masks of a palette register and the plane bits of a row direction.
inline const sprite_quad_detail::PaletteMasks& SpritePalette(uint8_t palette) {
    return kSpriteQuads.palettes[palette];
}
inline const uint32_t* SpritePlanes(bool flipped) { return kSpriteQuads.planes[flipped].data(); }

// The row stored as (low, high) with those masks and plane bits.
inline RowQuads SpriteRowQuads(uint8_t low, uint8_t high, const uint32_t* planes,
                               const sprite_quad_detail::PaletteMasks& m) {
    const uint32_t lowPlane = planes[low], highPlane = planes[high];
    // The high plane turns colour 0 into 2 and colour 1 into 3; the low
    // plane then turns 0 into 1 and 2 into 3.
    const uint32_t withHigh = m.colour0 ^ (highPlane & m.highOf0);
    const uint32_t lowChange = m.lowOf0 ^ (highPlane & m.highOfLow);
    return {withHigh ^ (lowPlane & lowChange), lowPlane | highPlane};
}

}  // namespace wenlo
