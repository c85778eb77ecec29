#include "video/background.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/io_regs.h"
#include "core/timing.h"
#include "video/block_line_internal.h"
#include "video/shade_quad_internal.h"
#include "video/surface.h"
#include "video/tile_row_internal.h"

namespace wenlo {

namespace {

constexpr int kMap9800 = 0x1800;         // VideoRam index of the map at 0x9800
constexpr int kMap9C00 = 0x1C00;         // VideoRam index of the map at 0x9C00
constexpr int kSignedTileBase = 0x0800;  // tiles -128..127 around 0x9000

#if defined(__SSE2__)
// The 1x1 fast path writes four neighbouring pixels at a time, by shade
// quads (video/shade_quad_internal.h).

// The palette register as four lane masks for QuadLine::Shade, made at
// compile time (16 KiB; a line reads the 64 bytes of BGP's): by colour
// number c, the low byte of each 16-bit lane is all ones where shade bit 0
// of c is set, the high byte where shade bit 1 is. Held as colours 0 and 1
// and the changes from 0 to 2 and from 1 to 3.
struct alignas(16) LaneMask {
    std::array<uint16_t, 8> lanes;
};
inline constexpr std::array<std::array<LaneMask, 4>, 256> kPaletteMasks = [] {
    std::array<std::array<LaneMask, 4>, 256> table{};
    for (int palette = 0; palette < 256; ++palette) {
        const auto mask = [palette](int c) {
            const int shade = palette >> (2 * c) & 3;
            return (shade & 1 ? 0x00FF : 0) | (shade & 2 ? 0xFF00 : 0);
        };
        const int masks[4] = {mask(0), mask(1), mask(0) ^ mask(2), mask(1) ^ mask(3)};
        for (int k = 0; k < 4; ++k) table[palette][k].lanes.fill(uint16_t(masks[k]));
    }
    return table;
}();

// The fast path of a whole 1x1 line onto surface row `out`: four pixels per
// table read and store, the per-pixel work done bitwise for eight tiles at a
// time in 16-bit lanes.
class QuadLine {
public:
    explicit QuadLine(uint8_t palette) : masks_(kPaletteMasks[palette]) {}

    // nextTile: the tile numbers of the line, the first one under column 0.
    void Draw(Color* out, const uint8_t* nextTile, const uint8_t* tileRows, int fineX) const {
        // The row of each of the 21 tiles the line touches as one 16-bit
        // number (low plane in the low byte), and one spare so that lane i
        // can read tile i + 1.
        alignas(16) std::array<uint16_t, 3 * 8 + 1> rows{};
        for (int i = 0; i <= kScreenWidth / 8; ++i)
            std::memcpy(&rows[i], tileRows + size_t{nextTile[i]} * 16, 2);

        // Per screen tile, the byte offsets of its left and right quad in
        // kShadeQuads.
        alignas(16) std::array<uint16_t, 3 * 16> offsets;
        const __m128i count = _mm_cvtsi32_si128(fineX);
        const __m128i lowByte = _mm_set1_epi16(0x00FF);
        const __m128i bits4To7 = _mm_set1_epi16(0x00F0), bits8To11 = _mm_set1_epi16(0x0F00);
        for (int v = 0; v < 3; ++v) {
            const __m128i here = _mm_load_si128(reinterpret_cast<const __m128i*>(rows.data() + 8 * v));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows.data() + 8 * v + 1));
            // Each plane of tiles i and i + 1 as one 16-bit number, tile i
            // on top; shifted left by the fine scroll, its top byte holds
            // the eight pixels of screen tile i. That byte goes to both
            // halves of the lane: one for each shade bit.
            const __m128i low =
                _mm_sll_epi16(_mm_or_si128(_mm_slli_epi16(here, 8), _mm_and_si128(next, lowByte)), count);
            const __m128i high =
                _mm_sll_epi16(_mm_or_si128(_mm_andnot_si128(lowByte, here), _mm_srli_epi16(next, 8)), count);
            const __m128i shades = Shade(BothHalves(low), BothHalves(high));
            // Quad index times 16: the left quad (pixels 0-3) from the top
            // nibbles, the right quad from the bottom ones.
            const __m128i left = _mm_or_si128(_mm_and_si128(shades, bits4To7),
                                              _mm_and_si128(_mm_srli_epi16(shades, 4), bits8To11));
            const __m128i right = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(shades, 4), bits4To7),
                                               _mm_and_si128(shades, bits8To11));
            _mm_store_si128(reinterpret_cast<__m128i*>(offsets.data() + 16 * v),
                            _mm_unpacklo_epi16(left, right));
            _mm_store_si128(reinterpret_cast<__m128i*>(offsets.data() + 16 * v + 8),
                            _mm_unpackhi_epi16(left, right));
        }

        const char* const quads = reinterpret_cast<const char*>(kShadeQuads.data());
#pragma GCC unroll 40
        for (int q = 0; q < kScreenWidth / 4; ++q)
            std::memcpy(out + 4 * q, quads + offsets[q], sizeof(ColorQuad));
    }

private:
    static __m128i BothHalves(__m128i top) {
        return _mm_or_si128(_mm_andnot_si128(_mm_set1_epi16(0x00FF), top), _mm_srli_epi16(top, 8));
    }

    // The palette as a function of the two colour-number bits, applied
    // bitwise: shade bit 0 of eight pixels in the low byte of each lane,
    // shade bit 1 in the high byte.
    __m128i Shade(__m128i low, __m128i high) const {
        const __m128i lowClear = _mm_xor_si128(Mask(0), _mm_and_si128(high, Mask(2)));  // colour 0 or 2
        const __m128i lowSet = _mm_xor_si128(Mask(1), _mm_and_si128(high, Mask(3)));    // colour 1 or 3
        return _mm_xor_si128(lowClear, _mm_and_si128(low, _mm_xor_si128(lowClear, lowSet)));
    }
    __m128i Mask(int k) const {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(masks_[k].lanes.data()));
    }

    const std::array<LaneMask, 4>& masks_;
};
#endif

// The whole renderer, written once; Mode only changes how blocks are written.
template <DisplayModes Mode>
void DrawBackgroundLine(Machine& m) {
    Surface* const screen = m.host ? m.host->Screen : nullptr;
    if (screen == nullptr) return;
    // A skipped line keeps what an earlier frame drew there.
    if (!(m.LCDC & io::kLcdcDisplayOn) || !m.Running || m.Paused || m.LY > kLastVisibleLine) return;

    const int y = m.LY;
    const int bgLine = (m.SCY + y) & 0xFF;
    const uint8_t* const vram = m.VideoRam.data();
    const uint8_t* const mapRow =
        vram + ((m.LCDC & io::kLcdcBgMap9C00) ? kMap9C00 : kMap9800) + (bgLine >> 3) * 32;
    const bool signedTiles = !(m.LCDC & io::kLcdcTileData8000);
    const uint8_t* const tileRows = vram + (signedTiles ? kSignedTileBase : 0x0000) + (bgLine & 7) * 2;
    const auto& pairs = PalettePairs<Mode>(m.BGP);

    // The map row twice over, so that the up to 21 tiles of the line read
    // straight on from column SCX / 8 across the wrap from 31 to 0. In the
    // signed area tile 0 sits at 0x9000 and tile -128 at 0x8800: flipping
    // the top bit turns the signed number into an index from 0x8800.
    const uint8_t tileFlip = signedTiles ? 0x80 : 0x00;
    std::array<uint8_t, 64> tileNumbers;
    for (int i = 0; i < 32; ++i) tileNumbers[i] = tileNumbers[i + 32] = mapRow[i] ^ tileFlip;
    const uint8_t* nextTile = tileNumbers.data() + (m.SCX >> 3);
    const auto nextPattern = [&]() {
        const uint8_t* const row = tileRows + size_t{*nextTile++} * 16;
        return TileRowPattern(row[0], row[1]);
    };

    // The first tile starts fineX columns left of the screen; with a fine
    // scroll the line takes 21 tiles, the last one partly off the right edge.
    const int fineX = m.SCX & 7;
#if defined(__SSE2__)
    if constexpr (Mode == Mode1x1) {
        if (screen->Width() >= kScreenWidth && y < screen->Height()) {
            QuadLine(m.BGP).Draw(screen->Row(y), nextTile, tileRows, fineX);
            return;
        }
    }
#endif
    const BlockLine<Mode> line(*screen, y);
    if (line.Columns() < kScreenWidth) {
        // The drawing area is smaller than the mode's picture: every block
        // goes through the clipped writer.
        for (int tx = -fineX; tx < kScreenWidth; tx += 8) {
            const uint32_t pattern = nextPattern();
            const int last = std::min(8, kScreenWidth - tx);
            for (int i = std::max(0, -tx); i < last; ++i)
                PutBlock<Mode>(*screen, tx + i, y, PairColour<Mode>(pairs, PatternColour(pattern, i)));
        }
        return;
    }

    // Whole pairs where they fit; with an odd fineX the pixel pairs straddle
    // both screen edges, and the two edge columns take a single pixel each.
    int x = 0;
    if (fineX != 0) {
        const uint32_t pattern = nextPattern();
        if (fineX & 1) line.Put(0, PairColour<Mode>(pairs, PatternColour(pattern, fineX)));
        for (int k = (fineX + 1) / 2; k < 4; ++k) line.PutPair(2 * k - fineX, pairs[PatternPair(pattern, k)]);
        x = 8 - fineX;
    }
    // Two tiles per turn of the loop: the loop's own cost is a fair part of a tile's.
#pragma GCC unroll 2
    for (; x <= kScreenWidth - 8; x += 8) {
        const uint32_t pattern = nextPattern();
        line.PutTwoPairs(x, pairs[PatternPair(pattern, 0)], pairs[PatternPair(pattern, 1)]);
        line.PutTwoPairs(x + 4, pairs[PatternPair(pattern, 2)], pairs[PatternPair(pattern, 3)]);
    }
    if (fineX != 0) {
        const uint32_t pattern = nextPattern();
        for (int k = 0; 2 * k + 1 < fineX; ++k) line.PutPair(x + 2 * k, pairs[PatternPair(pattern, k)]);
        if (fineX & 1) line.Put(kScreenWidth - 1, PairColour<Mode>(pairs, PatternColour(pattern, fineX - 1)));
    }
}

}  // namespace

void DrawBackgroundLine1x1(Machine& m) { DrawBackgroundLine<Mode1x1>(m); }
void DrawBackgroundLine2x2(Machine& m) { DrawBackgroundLine<Mode2x2>(m); }
void DrawBackgroundLineInterlaced(Machine& m) { DrawBackgroundLine<Mode2x2Interlaced>(m); }

}  // namespace wenlo
