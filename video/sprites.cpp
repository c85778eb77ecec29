#include "video/sprites.h"

#include <algorithm>
#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/io_regs.h"
#include "video/block_line_internal.h"
#include "video/surface.h"
#include "video/tile_row_internal.h"

namespace wenlo {

namespace {

constexpr int kSpriteCount = 40;
// An entry's X and Y are the screen position plus 8 and 16, so that 0 lies
// fully off the screen; a tile is 16 bytes, two per row.
constexpr int kSpriteXOffset = 8;
constexpr int kSpriteYOffset = 16;
constexpr int kTileBytes = 16;

// Attribute bits of an OAM entry (bits 0-3 are ignored).
constexpr uint8_t kAttrBehindBackground = 0x80;
constexpr uint8_t kAttrFlipY = 0x40;
constexpr uint8_t kAttrFlipX = 0x20;
constexpr uint8_t kAttrPalette1 = 0x10;

// Bit k set for each entry k whose rows cross line y: its Y lies in
// lowestY .. lowestY + height - 1, with lowestY = y + 17 - height (an
// entry's top row is line Y - 16). Y = 0 never crosses a line.
inline uint64_t CrossingEntries(const std::array<uint8_t, kSpriteCount * 4>& oam, int y, int height) {
    const int lowestY = y + kSpriteYOffset + 1 - height;
    if (lowestY > 0xFF) return 0;
    // As bytes: Y - lowestY wraps past the span whenever Y < lowestY.
    const int span = std::min(lowestY + height - 1, 0xFF) - lowestY;
#if defined(__SSE2__)
    // The Y bytes of all 40 entries packed into three vectors and compared
    // all at once. The eight unused lanes hold Y = 0, which never crosses.
    const __m128i yByte = _mm_set1_epi32(0xFF);
    const auto ys = [&](int first) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(oam.data() + 4 * first));
        return _mm_and_si128(four, yByte);
    };
    const __m128i bytes[3] = {
        _mm_packus_epi16(_mm_packs_epi32(ys(0), ys(4)), _mm_packs_epi32(ys(8), ys(12))),
        _mm_packus_epi16(_mm_packs_epi32(ys(16), ys(20)), _mm_packs_epi32(ys(24), ys(28))),
        _mm_packus_epi16(_mm_packs_epi32(ys(32), ys(36)), _mm_setzero_si128())};
    const __m128i lowest = _mm_set1_epi8(char(lowestY)), spans = _mm_set1_epi8(char(span));
    uint64_t crossing = 0;
    for (int v = 0; v < 3; ++v) {
        const __m128i over = _mm_subs_epu8(_mm_sub_epi8(bytes[v], lowest), spans);
        crossing |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(over, _mm_setzero_si128()))))
                    << (16 * v);
    }
    return crossing;
#else
    uint64_t crossing = 0;
    for (int k = 0; k < kSpriteCount; ++k) crossing |= uint64_t(uint8_t(oam[4 * k] - lowestY) <= span) << k;
    return crossing;
#endif
}

// One sprite row of eight pixels from its planes (low, high), leftmost pixel
// bit 7 (bit 0 if flipped), at block `left` of line y; the general path.
template <DisplayModes Mode>
void DrawBlockRow(Surface& screen, const BlockLine<Mode>& line, int y, int left, uint8_t low, uint8_t high,
                  bool flipped, uint8_t palette, bool behind) {
    const Color white = ShadeColors[0];
    const uint32_t pattern = flipped ? TileRowPatternFlipped(low, high) : TileRowPattern(low, high);
    const auto& pairs = PalettePairs<Mode>(palette);
    if (left + 8 > line.Columns()) {
        // Partly beyond the drawing area: the clipped writer drops the rest.
        for (int j = 0; j < 8; ++j) {
            const int c = PatternColour(pattern, j);
            if (c == 0) continue;
            if (behind && !BlockHas<Mode>(screen, left + j, y, white)) continue;
            PutBlock<Mode>(screen, left + j, y, PairColour<Mode>(pairs, c));
        }
    } else if (behind) {
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j) {
            const int c = PatternColour(pattern, j);
            if (c != 0 && line.Has(left + j, white)) line.Put(left + j, PairColour<Mode>(pairs, c));
        }
    } else {
        // Two pixels at a time, the surface kept where they are colour 0.
        for (int k = 0; k < 4; ++k) line.BlendPair(left + 2 * k, pairs, PatternPair(pattern, k));
    }
}

#if defined(__SSE2__)
// Mode1x1's fast path: four pixels of a sprite row at a time, from pairs
// `first` and `first + 1` of its pattern, onto `to`. Opaque pixels (colour
// 1..3) take their colour, the others keep the surface; behind the
// background only pixels that show exact white now take part.
void BlendQuad(Color* to, const PairTable<Mode1x1>& pairs, uint32_t pattern, int first, bool behind) {
    const auto two = [](const PairRow<Mode1x1>& left, const PairRow<Mode1x1>& right) {
        return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(left.data())),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(right.data())));
    };
    const int left = PatternPair(pattern, first), right = PatternPair(pattern, first + 1);
    const __m128i colour = two(pairs[left], pairs[right]);
    __m128i mask = two(kOpaquePixels<Mode1x1>[left], kOpaquePixels<Mode1x1>[right]);
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to));
    if (behind) mask = _mm_and_si128(mask, _mm_cmpeq_epi32(old, _mm_set1_epi32(int(ShadeColors[0]))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm_xor_si128(old, _mm_and_si128(_mm_xor_si128(old, colour), mask)));
}
#endif

// The whole renderer, written once; Mode only changes the pixel block that is
// written and read back. Kept out of line: a line without sprites costs
// only the scan.
template <DisplayModes Mode>
[[gnu::noinline]] void DrawCrossingEntries(Machine& m, Surface& screen, uint64_t crossing, int height) {
    const int y = m.LY;
    const BlockLine<Mode> line(screen, y);
    // Tall sprites use the even/odd tile pair; rows 8-15 run on into the
    // second tile by the address arithmetic alone.
    const size_t tileMask = height == 16 ? 0xFE : 0xFF;
    // The row of an entry is line y - (Y - 16), counted from the bottom when
    // it is flipped vertically (0..height-1 for an entry that crosses).
    const size_t rowFromY = size_t(y) + kSpriteYOffset, flippedRowFromY = size_t(height) - 1 - rowFromY;
#if defined(__SSE2__)
    Color* const row1x1 = Mode == Mode1x1 && line.Columns() > 0 ? screen.Row(y) : nullptr;
    const int lastLeft1x1 = line.Columns() - 8;  // the last column a whole row fits from
#endif

    // The highest entry first, so that entry 0 ends up on top.
    do {
        const unsigned k = 63 ^ unsigned(std::countl_zero(crossing));
        crossing ^= uint64_t{1} << k;
        const uint8_t* const entry = &m.Oam[4 * k];
        // X >= 168 would start right of the screen; X = 0 hides the entry
        // even where part of it would show.
        const int spriteX = entry[1];
        if (unsigned(spriteX - 1) >= unsigned(kScreenWidth + kSpriteXOffset - 1)) continue;

        // Sprite tiles always come from 0x8000 upward, whatever LCDC bit 4 says.
        const uint8_t attr = entry[3];
        const size_t tileRow = (attr & kAttrFlipY) ? flippedRowFromY + entry[0] : rowFromY - entry[0];
        const size_t rowIndex = (entry[2] & tileMask) * kTileBytes + tileRow * 2;
        const uint8_t low = m.VideoRam[rowIndex], high = m.VideoRam[rowIndex + 1];
        if ((low | high) == 0) continue;  // colour 0 is transparent: nothing to draw
        const bool flipped = attr & kAttrFlipX;
        const uint8_t palette = (attr & kAttrPalette1) ? m.OBP1 : m.OBP0;

        // A sprite that starts left of the screen (X 1..7) is moved right to
        // column 0 and drawn whole, not clipped. Nothing is clipped on the
        // right: the surface drops what falls beyond it.
        const int left = spriteX < kSpriteXOffset ? 0 : spriteX - kSpriteXOffset;
        // Behind-background priority looks at the surface as it is now: the
        // background of this line plus the higher entries already drawn.
        // Only exact white (shade 0) lets the sprite through, so a background
        // colour 0 mapped to another shade hides it as well. The eight blocks
        // are distinct, so the order they are drawn in does not matter.
        const bool behind = attr & kAttrBehindBackground;
#if defined(__SSE2__)
        if (Mode == Mode1x1 && left <= lastLeft1x1) {
            const uint32_t pattern = flipped ? TileRowPatternFlipped(low, high) : TileRowPattern(low, high);
            Color* const to = row1x1 + left;
            BlendQuad(to, kPalettePairs1x1[palette], pattern, 0, behind);
            BlendQuad(to + 4, kPalettePairs1x1[palette], pattern, 2, behind);
            continue;
        }
#endif
        DrawBlockRow<Mode>(screen, line, y, left, low, high, flipped, palette, behind);
    } while (crossing != 0);
}

// There is no per-line limit.
template <DisplayModes Mode>
void DrawSpriteLine(Machine& m) {
    const int height = (m.LCDC & io::kLcdcTallSprites) ? 16 : 8;
    const uint64_t crossing = CrossingEntries(m.Oam, m.LY, height);
    Surface* const screen = m.host ? m.host->Screen : nullptr;
    if (crossing != 0 && screen != nullptr) DrawCrossingEntries<Mode>(m, *screen, crossing, height);
}

}  // namespace

void DrawSpriteLine1x1(Machine& m) { DrawSpriteLine<Mode1x1>(m); }
void DrawSpriteLine2x2(Machine& m) { DrawSpriteLine<Mode2x2>(m); }
void DrawSpriteLineInterlaced(Machine& m) { DrawSpriteLine<Mode2x2Interlaced>(m); }

}  // namespace wenlo
