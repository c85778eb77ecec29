// The handheld's line drawing. A line is built as bit planes, one bit a
// pixel in the tiles' own layout, so that a tile row goes in as two bytes, a
// palette is applied to 64 pixels in a handful of word operations, and a
// sprite is blended in with masks (handheld/ppu_sprites.cpp); the shades
// then go onto the surface four pixels at a time from a table of ready-made
// colours.
#include "handheld/ppu_render.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "handheld/ppu_planes.h"
#include "video/surface.h"

namespace wenlo::hh {

namespace {

// The colours of four neighbouring pixels by their shade quad: bits 3-0 the
// low and bits 7-4 the high bits of their shades, the leftmost pixel in bits
// 3 and 7, as two plane nibbles give it. Quad2 holds each colour twice, for
// the 2x2 modes.
struct alignas(16) Quad1 {
    std::array<Color, 4> c;
};
struct alignas(32) Quad2 {
    std::array<Color, 8> c;
};

constexpr Color QuadColour(int quad, int i) {
    return ShadeColors[(quad >> (3 - i) & 1) | (quad >> (7 - i) & 1) << 1];
}

constexpr std::array<Quad1, 256> kQuads1 = [] {
    std::array<Quad1, 256> table{};
    for (int q = 0; q < 256; ++q)
        for (int i = 0; i < 4; ++i) table[q].c[i] = QuadColour(q, i);
    return table;
}();

constexpr std::array<Quad2, 256> kQuads2 = [] {
    std::array<Quad2, 256> table{};
    for (int q = 0; q < 256; ++q)
        for (int i = 0; i < 8; ++i) table[q].c[i] = QuadColour(q, i / 2);
    return table;
}();

// The tile numbers of one map row from `column` on, twice over so that a
// run of tiles past the row's end wraps to its start without a test, with
// LCDC bit 4 applied: clear, the numbers are signed from 0x9000, that is
// unsigned from 0x8800 with the top bit flipped.
struct MapRow {
    alignas(16) std::array<uint8_t, 64> twice;
};

inline const uint8_t* ReadMapRow(const Handheld& h, MapRow& row, unsigned mapRow, unsigned column) {
    const uint8_t* map = h.vram.data() + mapRow;
    const uint8_t flip = h.ppu.lcdc & 0x10 ? 0 : 0x80;
#if defined(__SSE2__)
    const __m128i f = _mm_set1_epi8(char(flip));
    const __m128i a = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(map)), f);
    const __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(map + 16)), f);
    auto* out = reinterpret_cast<__m128i*>(row.twice.data());
    _mm_store_si128(out, a);
    _mm_store_si128(out + 1, b);
    _mm_store_si128(out + 2, a);
    _mm_store_si128(out + 3, b);
#else
    for (int i = 0; i < 32; ++i) row.twice[size_t(i)] = row.twice[size_t(i) + 32] = uint8_t(map[i] ^ flip);
#endif
    return row.twice.data() + (column & 31);
}

// The rows of eight tiles as two plane words (the first tile in the top
// byte); `data`: the tile data's first row, offset to the line's row.
inline void GatherTiles(const uint8_t* numbers, const uint8_t* data, uint64_t& lo, uint64_t& hi) {
    const auto row = [&](int k) {
        uint16_t pair;  // the row's low bit plane byte, then its high
        std::memcpy(&pair, data + size_t(numbers[k]) * 16, 2);
        return pair;
    };
#if defined(__SSE2__) && defined(__x86_64__)
    // Each row goes into a vector lane with a single load; the lanes' low
    // and high bytes are then separated in three operations.
    __m128i v = _mm_cvtsi32_si128(row(0));
    v = _mm_insert_epi16(v, row(1), 1);
    v = _mm_insert_epi16(v, row(2), 2);
    v = _mm_insert_epi16(v, row(3), 3);
    v = _mm_insert_epi16(v, row(4), 4);
    v = _mm_insert_epi16(v, row(5), 5);
    v = _mm_insert_epi16(v, row(6), 6);
    v = _mm_insert_epi16(v, row(7), 7);
    const __m128i planes = _mm_packus_epi16(_mm_and_si128(v, _mm_set1_epi16(0xFF)), _mm_srli_epi16(v, 8));
    lo = __builtin_bswap64(uint64_t(_mm_cvtsi128_si64(planes)));
    hi = __builtin_bswap64(uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(planes, planes))));
#else
    lo = hi = 0;
    for (int k = 0; k < 8; ++k) {
        const uint16_t pair = row(k);
        lo = lo << 8 | (pair & 0xFF);
        hi = hi << 8 | pair >> 8;
    }
#endif
}

// Twenty-four tiles of a map row as a run of plane bits: words 1 to 3, the
// first tile's leftmost pixel in the top bit of word 1. Words 0 and 4 stay
// zero, so that any 64 bits of the run from bit -64 on take two words.
struct TileRun {
    std::array<uint64_t, 5> lo{}, hi{};
};

void FetchRun(const Handheld& h, TileRun& run, unsigned mapRow, unsigned column, int fineY) {
    MapRow row;
    const uint8_t* numbers = ReadMapRow(h, row, mapRow, column);
    const uint8_t* data = h.vram.data() + (h.ppu.lcdc & 0x10 ? 0 : 0x800) + 2 * fineY;
    for (int w = 1; w <= 3; ++w)
        GatherTiles(numbers + 8 * (w - 1), data, run.lo[size_t(w)], run.hi[size_t(w)]);
}

// 64 bits of a run from its bit `from` on (-64 <= from < 192).
inline uint64_t RunBits(const std::array<uint64_t, 5>& words, int from) {
    const int p = from + 64, q = p >> 6, r = p & 63;
    return words[size_t(q)] << r | (words[size_t(q) + 1] >> 1) >> (63 - r);
}

// The background's run into plane words 1 to 3, its first pixel at screen
// pixel -fine.
void PlaceBackground(Planes& planes, const TileRun& run, int fine) {
    for (int w = 1; w < kPlaneWords; ++w) {
        planes.lo[size_t(w)] = run.lo[size_t(w)] << fine | (run.lo[size_t(w) + 1] >> 1) >> (63 - fine);
        planes.hi[size_t(w)] = run.hi[size_t(w)] << fine | (run.hi[size_t(w) + 1] >> 1) >> (63 - fine);
    }
}

// The window's run into plane words 1 to 3 from plane bit `at` on; the
// bits before `at` keep the background.
void PlaceWindow(Planes& planes, const TileRun& run, int at) {
    for (int w = 1; w < kPlaneWords; ++w) {
        const int from = 64 * w - at;
        if (from <= -64) continue;
        const uint64_t lo = RunBits(run.lo, from), hi = RunBits(run.hi, from);
        const uint64_t mask = from >= 0 ? ~uint64_t(0) : ~uint64_t(0) >> -from;
        planes.lo[size_t(w)] = (planes.lo[size_t(w)] & ~mask) | (lo & mask);
        planes.hi[size_t(w)] = (planes.hi[size_t(w)] & ~mask) | (hi & mask);
    }
}

// The shade quads of a word's eight bytes: of their left four pixels, and
// of their right four, a byte each.
inline uint64_t LeftQuads(uint64_t lo, uint64_t hi) {
    return (lo >> 4 & 0x0F0F0F0F0F0F0F0Full) | (hi & 0xF0F0F0F0F0F0F0F0ull);
}
inline uint64_t RightQuads(uint64_t lo, uint64_t hi) {
    return (lo & 0x0F0F0F0F0F0F0F0Full) | (hi << 4 & 0xF0F0F0F0F0F0F0F0ull);
}

// The table offsets of a word's sixteen quads (each quad times the size of
// a table entry): byte m of the word (m = 0 its rightmost, as it lies in
// memory) gives offsets 2m (its left quad) and 2m + 1 (its right).
template <int kEntryBytes>
struct QuadOffsets {
    alignas(16) std::array<uint16_t, 16> at;

    QuadOffsets(uint64_t left, uint64_t right) {
        constexpr int kShift = std::countr_zero(unsigned(kEntryBytes));
#if defined(__SSE2__) && defined(__x86_64__)
        const __m128i pairs =
            _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(left)), _mm_cvtsi64_si128(int64_t(right)));
        const __m128i zero = _mm_setzero_si128();
        auto* out = reinterpret_cast<__m128i*>(at.data());
        _mm_store_si128(out, _mm_slli_epi16(_mm_unpacklo_epi8(pairs, zero), kShift));
        _mm_store_si128(out + 1, _mm_slli_epi16(_mm_unpackhi_epi8(pairs, zero), kShift));
#else
        for (int m = 0; m < 8; ++m) {
            at[size_t(2 * m)] = uint16_t((left >> 8 * m & 0xFF) << kShift);
            at[size_t(2 * m + 1)] = uint16_t((right >> 8 * m & 0xFF) << kShift);
        }
#endif
    }
    // Of plane byte b, counted from the word's top (its leftmost pixels).
    size_t Left(int b) const { return at[size_t(2 * (7 - b))]; }
    size_t Right(int b) const { return at[size_t(2 * (7 - b) + 1)]; }
};

// Eight pixels (plane byte b of one word) onto the surface.
template <DisplayModes Mode, int b, typename Offsets>
inline void PutByte(Color* top, Color* bottom, const Offsets& offsets) {
    if constexpr (Mode == Mode1x1) {
        const char* quads = reinterpret_cast<const char*>(kQuads1.data());
        std::memcpy(top + 8 * b, quads + offsets.Left(b), sizeof(Quad1));
        std::memcpy(top + 8 * b + 4, quads + offsets.Right(b), sizeof(Quad1));
    } else {
        const char* quads = reinterpret_cast<const char*>(kQuads2.data());
        const char* l = quads + offsets.Left(b);
        const char* r = quads + offsets.Right(b);
        std::memcpy(top + 16 * b, l, sizeof(Quad2));
        std::memcpy(top + 16 * b + 8, r, sizeof(Quad2));
        if constexpr (Mode == Mode2x2) {
            std::memcpy(bottom + 16 * b, l, sizeof(Quad2));
            std::memcpy(bottom + 16 * b + 8, r, sizeof(Quad2));
        } else {
            // The lower right pixel of each block is never written.
            const Color* left4 = reinterpret_cast<const Quad2*>(l)->c.data();
            const Color* right4 = reinterpret_cast<const Quad2*>(r)->c.data();
            for (int i = 0; i < 4; ++i) {
                bottom[16 * b + 2 * i] = left4[2 * i];
                bottom[16 * b + 8 + 2 * i] = right4[2 * i];
            }
        }
    }
}

// The first `bytes` bytes (of 8 pixels each) of a shade word.
template <DisplayModes Mode, int bytes>
inline void PutWord(Color* top, Color* bottom, uint64_t lo, uint64_t hi) {
    const QuadOffsets<Mode == Mode1x1 ? sizeof(Quad1) : sizeof(Quad2)> offsets(LeftQuads(lo, hi),
                                                                               RightQuads(lo, hi));
    [&]<int... b>(std::integer_sequence<int, b...>) { (PutByte<Mode, b>(top, bottom, offsets), ...); }
    (std::make_integer_sequence<int, bytes>());
}

// The 160 screen pixels: plane words 1 and 2 and the upper half of word 3.
template <DisplayModes Mode>
void PutLine(Surface& s, int y, const Planes& shade) {
    constexpr int kScale = Mode == Mode1x1 ? 1 : 2;
    Color* top = s.Row(kScale * y);
    Color* bottom = s.Row(kScale * y + kScale - 1);
    PutWord<Mode, 8>(top, bottom, shade.lo[1], shade.hi[1]);
    PutWord<Mode, 8>(top + 64 * kScale, bottom + 64 * kScale, shade.lo[2], shade.hi[2]);
    PutWord<Mode, 4>(top + 128 * kScale, bottom + 128 * kScale, shade.lo[3], shade.hi[3]);
}

// A surface smaller than the display mode wants: block by block, clipped.
template <DisplayModes Mode>
void PutLineClipped(Surface& s, int y, const Planes& shade) {
    for (int x = 0; x < kScreenWidth; ++x) {
        const int bit = kScreenBit + x, w = bit >> 6, at = 63 - (bit & 63);
        const int c = int(shade.lo[w] >> at & 1) | int(shade.hi[w] >> at & 1) << 1;
        PutBlock<Mode>(s, x, y, ShadeColors[c]);
    }
}

template <DisplayModes Mode>
void Put(Surface& s, int y, const Planes& shade) {
    if (s.Width() >= ModeWidth(Mode) && s.Height() >= ModeHeight(Mode))
        PutLine<Mode>(s, y, shade);
    else
        PutLineClipped<Mode>(s, y, shade);
}

Surface* Screen(const Handheld& h) {
    return h.host && h.DisplayMode <= Mode2x2Interlaced ? h.host->Screen : nullptr;
}

}  // namespace

// Kept out of the unit's clock: its frame of locals would otherwise be set
// up on every catch-up, drawing or not.
[[gnu::noinline]] void PpuDrawLine(Handheld& h, bool window) {
    Surface* s = Screen(h);
    if (!s) return;
    const Ppu& p = h.ppu;
    Planes shade;
    if (!p.skipFrame) {
        Planes colour;
        uint8_t bgp = 0;  // LCDC bit 0 clear: background and window white
        if (p.lcdc & 0x01) {
            bgp = p.bgp;
            const unsigned y = (p.scy + p.ly) & 255u;
            const unsigned bgMap = p.lcdc & 0x08 ? 0x1C00 : 0x1800;
            // WX 7 puts the window's first pixel at the left edge.
            const int windowAt = window ? kScreenBit + p.wx - 7 : kScreenBit + kScreenWidth;
            TileRun run;
            if (windowAt > kScreenBit) {
                FetchRun(h, run, bgMap + 32 * (y >> 3), p.scx >> 3, int(y & 7));
                PlaceBackground(colour, run, p.scx & 7);
            }
            if (window) {
                const unsigned windowMap = p.lcdc & 0x40 ? 0x1C00 : 0x1800;
                FetchRun(h, run, windowMap + 32 * (p.windowLine >> 3), 0, p.windowLine & 7);
                PlaceWindow(colour, run, windowAt);
            }
        }
        for (int w = 1; w < kPlaneWords; ++w)
            ApplyPalette(kPaletteForms[bgp], colour.lo[w], colour.hi[w], shade.lo[w], shade.hi[w]);
        if ((p.lcdc & 0x02) && p.spriteCount) PpuDrawSprites(h, colour, shade);
    }
    switch (h.DisplayMode) {
        case Mode1x1: Put<Mode1x1>(*s, p.ly, shade); break;
        case Mode2x2: Put<Mode2x2>(*s, p.ly, shade); break;
        default: Put<Mode2x2Interlaced>(*s, p.ly, shade); break;
    }
}

void PpuFillWhite(Handheld& h) {
    Surface* s = Screen(h);
    if (!s) return;
    const int width = std::min(s->Width(), int(ModeWidth(h.DisplayMode)));
    const int height = std::min(s->Height(), int(ModeHeight(h.DisplayMode)));
    const bool interlaced = h.DisplayMode == Mode2x2Interlaced;
    for (int y = 0; y < height; ++y) {
        Color* row = s->Row(y);
        if (interlaced && y % 2 == 1)
            for (int x = 0; x < width; x += 2) row[x] = ShadeColors[0];
        else
            std::fill(row, row + width, ShadeColors[0]);
    }
}

}  // namespace wenlo::hh
