#include "video/sprites.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/io_regs.h"
#include "video/block_line_internal.h"
#include "video/sprite_quad_internal.h"
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

// An entry's row on line y: its attributes and the planes (low, high) of
// its tile row.
struct EntryRow {
    uint8_t attr, low, high;
};

template <int Height>
inline EntryRow ReadEntryRow(const Machine& m, const uint8_t* entry, size_t rowFromY) {
    // Sprite tiles always come from 0x8000 upward, whatever LCDC bit 4 says.
    // Tall sprites use the even/odd tile pair; rows 8-15 run on into the
    // second tile by the address arithmetic alone.
    const uint8_t attr = entry[3];
    const size_t row = (rowFromY - entry[0]) ^ kSpriteQuads.flipRows[Height == 16][attr];
    const size_t rowIndex = (entry[2] & (Height == 16 ? 0xFE : 0xFF)) * size_t{kTileBytes} + row * 2;
    return {attr, m.VideoRam[rowIndex], m.VideoRam[rowIndex + 1]};
}

// The highest crossing entry first, so that entry 0 ends up on top.
inline const uint8_t* NextEntry(const Machine& m, uint64_t& crossing) {
    const unsigned k = 63 ^ unsigned(std::countl_zero(crossing));
    crossing &= ~(uint64_t{1} << k);
    return &m.Oam[4 * k];
}

// One entry the general way. Behind-background priority looks at the
// surface as it is now: the background of this line plus the higher entries
// already drawn. Only exact white (shade 0) lets the sprite through, so a
// background colour 0 mapped to another shade hides it as well. The eight
// blocks of a row are distinct, so the order they are drawn in does not
// matter.
template <DisplayModes Mode, int Height>
inline void DrawEntry(const Machine& m, Surface& screen, const BlockLine<Mode>& line, const uint8_t* entry) {
    // X >= 168 would start right of the screen; X = 0 hides the entry even
    // where part of it would show.
    const int spriteX = entry[1];
    if (unsigned(spriteX - 1) >= unsigned(kScreenWidth + kSpriteXOffset - 1)) return;
    const EntryRow r = ReadEntryRow<Height>(m, entry, size_t(m.LY) + kSpriteYOffset);
    if ((r.low | r.high) == 0) return;  // colour 0 is transparent: nothing to draw
    // A sprite that starts left of the screen (X 1..7) is moved right to
    // column 0 and drawn whole, not clipped. Nothing is clipped on the
    // right: the surface drops what falls beyond it.
    const int left = std::max(spriteX, kSpriteXOffset) - kSpriteXOffset;
    DrawBlockRow<Mode>(screen, line, m.LY, left, r.low, r.high, r.attr & kAttrFlipX,
                       (r.attr & kAttrPalette1) ? m.OBP1 : m.OBP0, r.attr & kAttrBehindBackground);
}

// The whole renderer, written once; Mode only changes the pixel block that is
// written and read back. Kept out of line: a line without sprites costs
// only the scan.
template <DisplayModes Mode, int Height>
[[gnu::noinline]] void DrawCrossingEntries(Machine& m, Surface& screen, uint64_t crossing) {
    const BlockLine<Mode> line(screen, m.LY);
    do DrawEntry<Mode, Height>(m, screen, line, NextEntry(m, crossing));
    while (crossing != 0);
}

#if defined(__SSE2__)
// An entry at or past a screen edge, or hidden: rare enough to be kept out
// of the fast loop below, which need not keep the surface at hand for it.
template <int Height>
[[gnu::noinline]] void DrawEntryAtEdge(const Machine& m, const uint8_t* entry) {
    Surface& screen = *m.host->Screen;
    DrawEntry<Mode1x1, Height>(m, screen, BlockLine<Mode1x1>(screen, m.LY), entry);
}

// Mode1x1's fast path onto surface row `row`, at least a screen wide: each
// row of eight pixels as two quads, each blended with one colour read and
// one read of the pixels that are opaque (colour 1..3), under the same
// behind-background rule as DrawEntry.
template <int Height>
[[gnu::noinline]] void DrawCrossingQuads(const Machine& m, Color* row, uint64_t crossing) {
    const size_t rowFromY = size_t(m.LY) + kSpriteYOffset;
    const char* const tables = reinterpret_cast<const char*>(&kSpriteQuads);
    constexpr size_t kShades = offsetof(SpriteQuadTables, shades),
                     kOpaque = offsetof(SpriteQuadTables, opaque),
                     kPlanes = offsetof(SpriteQuadTables, planes);
    // One quad onto the four pixels at `to`; `behind` is a constant, so that
    // each row tests its attribute once.
    const auto blend = [&](Color* to, size_t shades, size_t opaque, auto behind) {
        const auto quad = [&](size_t offset) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(tables + offset));
        };
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to));
        __m128i mask = quad(kOpaque + opaque);
        if constexpr (decltype(behind)::value)
            mask = _mm_and_si128(mask, _mm_cmpeq_epi32(old, _mm_set1_epi32(int(ShadeColors[0]))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                         _mm_xor_si128(old, _mm_and_si128(_mm_xor_si128(old, quad(kShades + shades)), mask)));
    };
    const auto& palette0 = SpritePalette(m.OBP0);
    const auto& palette1 = SpritePalette(m.OBP1);
    while (crossing != 0) {
        const uint8_t* const entry = NextEntry(m, crossing);
        // X 8..160: the whole row lies on the screen.
        const size_t left = size_t{entry[1]} - kSpriteXOffset;
        if (left > kScreenWidth - 8) {
            DrawEntryAtEdge<Height>(m, entry);
            continue;
        }
        const EntryRow r = ReadEntryRow<Height>(m, entry, rowFromY);
        if ((r.low | r.high) == 0) continue;  // colour 0 is transparent: nothing to draw
        const auto* const planes =
            reinterpret_cast<const uint32_t*>(tables + kPlanes + kSpriteQuads.planesFrom[r.attr]);
        const RowQuads quads =
            SpriteRowQuads(r.low, r.high, planes, (r.attr & kAttrPalette1) ? palette1 : palette0);
        const size_t shades = quads.shades, opaque = quads.opaque;
        if (r.attr & kAttrBehindBackground) {
            blend(row + left, shades & 0xFFFF, opaque & 0xFFFF, std::true_type{});
            blend(row + left + 4, shades >> 16, opaque >> 16, std::true_type{});
        } else {
            blend(row + left, shades & 0xFFFF, opaque & 0xFFFF, std::false_type{});
            blend(row + left + 4, shades >> 16, opaque >> 16, std::false_type{});
        }
    }
}
#endif

// The renderer for the entries crossing this line, by mode and sprite height.
template <DisplayModes Mode>
void DrawCrossingEntries(Machine& m, Surface& screen, uint64_t crossing, int height) {
#if defined(__SSE2__)
    if constexpr (Mode == Mode1x1) {
        if (m.LY < screen.Height() && screen.Width() >= kScreenWidth) {
            if (height == 16)
                DrawCrossingQuads<16>(m, screen.Row(m.LY), crossing);
            else
                DrawCrossingQuads<8>(m, screen.Row(m.LY), crossing);
            return;
        }
    }
#endif
    if (height == 16)
        DrawCrossingEntries<Mode, 16>(m, screen, crossing);
    else
        DrawCrossingEntries<Mode, 8>(m, screen, crossing);
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
