// Internal to video/: included only by the line renderers (background.cpp,
// sprites.cpp) and their unit tests.
//
// Decoding one 8-pixel tile row for the line renderers, all eight pixels at
// once instead of two bit tests per pixel.
//
// A tile row is two bytes: the first holds the low bit, the second the high
// bit of each pixel's colour number, bit 7 being the leftmost pixel. The
// decoded form is a 32-bit pattern of four pair bytes: byte k (k = 0 in the
// low byte) describes pixels 2k and 2k+1, its bits 3-2 the colour number of
// the left pixel and bits 1-0 that of the right one. A pair byte is thus an
// index 0..15 into a table of two ready-made pixels (video/block_line_internal.h),
// and the whole pattern is zero exactly when the row is all colour 0.
#pragma once

#include <array>
#include <cstdint>

namespace wenlo {

namespace tile_row_detail {

// Where bit (7 - i) of a byte, pixel i from the left, lands in the pattern:
// the low bit of pixel i's colour number.
constexpr uint32_t PatternBitOfPixel(int i) { return uint32_t(1) << (8 * (i / 2) + (i % 2 == 0 ? 2 : 0)); }

// kLowBits[b]: the contribution of b as a row's first byte, the low bits of
// all eight colour numbers; kHighBits[b] the same as the second byte, one
// place higher. The Flipped tables read the byte mirrored, bit 0 as the
// leftmost pixel.
template <bool Flipped, int Plane>
constexpr std::array<uint32_t, 256> MakePairBits() {
    std::array<uint32_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i) {
            const int bit = Flipped ? i : 7 - i;
            if (b & (1 << bit)) table[b] |= PatternBitOfPixel(i) << Plane;
        }
    return table;
}

inline constexpr std::array<uint32_t, 256> kLowBits = MakePairBits<false, 0>();
inline constexpr std::array<uint32_t, 256> kHighBits = MakePairBits<false, 1>();
inline constexpr std::array<uint32_t, 256> kLowBitsFlipped = MakePairBits<true, 0>();
inline constexpr std::array<uint32_t, 256> kHighBitsFlipped = MakePairBits<true, 1>();

}  // namespace tile_row_detail

// The pattern of the row stored as (low, high), leftmost pixel bit 7.
inline uint32_t TileRowPattern(uint8_t low, uint8_t high) {
    return tile_row_detail::kLowBits[low] | tile_row_detail::kHighBits[high];
}

// The same row mirrored (a horizontally flipped sprite): pixel 0 is bit 0.
inline uint32_t TileRowPatternFlipped(uint8_t low, uint8_t high) {
    return tile_row_detail::kLowBitsFlipped[low] | tile_row_detail::kHighBitsFlipped[high];
}

// Colour number 0..3 of pixel i (0 = leftmost) of a pattern.
inline int PatternColour(uint32_t pattern, int i) {
    return int(pattern >> (8 * (i / 2) + (i % 2 == 0 ? 2 : 0))) & 3;
}

// Pair byte k (0..3) of a pattern: pixels 2k and 2k+1 as an index 0..15.
inline int PatternPair(uint32_t pattern, int k) { return int(uint8_t(pattern >> (8 * k))); }

}  // namespace wenlo
