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

// One map row's tiles into the colour planes from bit `at` on, enough to
// reach bit `end` (the screen's right edge, or where the window begins); the
// bits before `at` keep what they hold (the background left of the window).
// Eight tiles' rows are gathered into a word, which goes in shifted right by
// `at` bits, its low bits spilling into the next word.
void FetchTiles(const Handheld& h, Planes& planes, int at, int end, unsigned mapRow, unsigned column,
                int fineY) {
    const uint8_t lcdc = h.ppu.lcdc;
    // LCDC bit 4 clear: tile numbers are signed from 0x9000, that is
    // unsigned from 0x8800 with the top bit flipped.
    const unsigned flip = lcdc & 0x10 ? 0 : 0x80;
    const uint8_t* data = h.vram.data() + (lcdc & 0x10 ? 0 : 0x800) + 2 * fineY;
    if (end <= at) return;
    unsigned tiles = unsigned(end - at + 7) / 8;
    // The map row read straight from video RAM, or, where the tiles run
    // past its end and wrap to its start, from a copy of it twice over.
    column &= 31;
    const uint8_t* map = h.vram.data() + mapRow;
    std::array<uint8_t, 64> twice;
    if (column + tiles > 32) {
        std::memcpy(twice.data(), map, 32);
        std::memcpy(twice.data() + 32, map, 32);
        map = twice.data();
    }
    map += column;
    int w = at >> 6;
    const int bits = at & 63;
    const uint64_t keep = bits ? ~uint64_t(0) << (64 - bits) : 0;
    uint64_t spillLo = planes.lo[w] & keep, spillHi = planes.hi[w] & keep;
    const auto put = [&](uint64_t lo, uint64_t hi) {
        planes.lo[w] = spillLo | lo >> bits;
        planes.hi[w] = spillHi | hi >> bits;
        spillLo = (lo << 1) << (63 - bits);
        spillHi = (hi << 1) << (63 - bits);
        ++w;
    };
    const auto fetch = [&](uint64_t& lo, uint64_t& hi) {
        const uint8_t* row = data + 16 * (*map++ ^ flip);
        lo = lo << 8 | row[0];
        hi = hi << 8 | row[1];
    };
    for (; tiles >= 8; tiles -= 8) {
        uint64_t lo = 0, hi = 0;
        for (int k = 0; k < 8; ++k) fetch(lo, hi);
        put(lo, hi);
    }
    if (tiles) {
        uint64_t lo = 0, hi = 0;
        for (unsigned k = 0; k < tiles; ++k) fetch(lo, hi);
        put(lo << (64 - 8 * tiles), hi << (64 - 8 * tiles));
    }
    if (w < kPlaneWords) {
        planes.lo[w] = spillLo;
        planes.hi[w] = spillHi;
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

// Byte b of a quads word times the size of a table entry (a power of two):
// the entry's offset, taken out in one shift and mask.
template <int b, int kEntryBytes>
inline size_t QuadOffset(uint64_t quads) {
    constexpr int kShift = 56 - 8 * b - std::countr_zero(unsigned(kEntryBytes));
    constexpr uint64_t kMask = uint64_t(0xFF) * kEntryBytes;
    if constexpr (kShift >= 0)
        return size_t(quads >> kShift & kMask);
    else
        return size_t(quads << -kShift & kMask);
}

// Eight pixels (plane byte b of one word) onto the surface.
template <DisplayModes Mode, int b>
inline void PutByte(Color* top, Color* bottom, uint64_t left, uint64_t right) {
    if constexpr (Mode == Mode1x1) {
        const char* quads = reinterpret_cast<const char*>(kQuads1.data());
        std::memcpy(top + 8 * b, quads + QuadOffset<b, sizeof(Quad1)>(left), sizeof(Quad1));
        std::memcpy(top + 8 * b + 4, quads + QuadOffset<b, sizeof(Quad1)>(right), sizeof(Quad1));
    } else {
        const char* quads = reinterpret_cast<const char*>(kQuads2.data());
        const char* l = quads + QuadOffset<b, sizeof(Quad2)>(left);
        const char* r = quads + QuadOffset<b, sizeof(Quad2)>(right);
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
    const uint64_t left = LeftQuads(lo, hi), right = RightQuads(lo, hi);
    [&]<int... b>(std::integer_sequence<int, b...>) { (PutByte<Mode, b>(top, bottom, left, right), ...); }
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

void PpuDrawLine(Handheld& h, bool window) {
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
            FetchTiles(h, colour, kScreenBit - (p.scx & 7), windowAt, bgMap + 32 * (y >> 3), p.scx >> 3,
                       int(y & 7));
            if (window) {
                const unsigned windowMap = p.lcdc & 0x40 ? 0x1C00 : 0x1800;
                FetchTiles(h, colour, windowAt, kScreenBit + kScreenWidth,
                           windowMap + 32 * (p.windowLine >> 3), 0, p.windowLine & 7);
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
