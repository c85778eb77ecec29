// The handheld's line drawing. A line is built as bit planes, one bit a
// pixel in the tiles' own layout, so that a tile row goes in as two bytes, a
// palette is applied to 64 pixels in a handful of word operations, and a
// sprite is blended in with masks; the shades then go onto the surface four
// pixels at a time from a table of ready-made colours.
#include "handheld/ppu_render.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "video/surface.h"

namespace wenlo::hh {

namespace {

// Bit (x + 8) of a plane, counted from bit 7 of byte 0, is screen pixel x:
// byte 0 takes what lies left of the screen (a scrolled first tile, a sprite
// at X < 8), bytes 21-23 what lies right of it.
constexpr int kPlaneBytes = 24;
constexpr int kFirstScreenByte = 1, kLastScreenByte = 20;

struct alignas(8) Planes {
    std::array<uint8_t, kPlaneBytes> lo{}, hi{};
};

constexpr std::array<uint8_t, 256> kReversed = [] {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) table[b] |= uint8_t(0x80 >> i);
    return table;
}();

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

// The shade planes of colour planes (lo, hi) under a palette register, for as
// many pixels as T has bits.
template <class T>
inline void ApplyPalette(uint8_t palette, T lo, T hi, T& shadeLo, T& shadeHi) {
    const T c0 = T(~(lo | hi)), c1 = T(lo & ~hi), c2 = T(hi & ~lo), c3 = T(lo & hi);
    const auto all = [palette](int bit) { return T(T(0) - T((palette >> bit) & 1)); };
    shadeLo = T((c0 & all(0)) | (c1 & all(2)) | (c2 & all(4)) | (c3 & all(6)));
    shadeHi = T((c0 & all(1)) | (c1 & all(3)) | (c2 & all(5)) | (c3 & all(7)));
}

// One map row's tiles into the colour planes from bit `at` to the screen's
// right edge; the bits before `at` keep what they hold (the background left
// of the window).
void FetchTiles(const Handheld& h, Planes& planes, int at, unsigned mapRow, unsigned column, int fineY) {
    const uint8_t lcdc = h.ppu.lcdc;
    // LCDC bit 4 clear: tile numbers are signed from 0x9000, that is
    // unsigned from 0x8800 with the top bit flipped.
    const unsigned flip = lcdc & 0x10 ? 0 : 0x80;
    const uint8_t* map = h.vram.data() + mapRow;
    const uint8_t* data = h.vram.data() + (lcdc & 0x10 ? 0 : 0x800) + 2 * fineY;
    const int first = at >> 3, shift = at & 7;
    const uint8_t keep = uint8_t(0xFF00 >> shift);
    uint8_t carryLo = planes.lo[first] & keep, carryHi = planes.hi[first] & keep;
    for (int b = first; b <= kLastScreenByte; ++b) {
        const uint8_t* row = data + 16 * (map[column++ & 31] ^ flip);
        const uint8_t lo = row[0], hi = row[1];
        planes.lo[b] = uint8_t(carryLo | lo >> shift);
        planes.hi[b] = uint8_t(carryHi | hi >> shift);
        carryLo = uint8_t(lo << (8 - shift));
        carryHi = uint8_t(hi << (8 - shift));
    }
}

inline uint32_t Read16(const std::array<uint8_t, kPlaneBytes>& a, int b) {
    return uint32_t(a[b]) << 8 | a[b + 1];
}
inline void Write16(std::array<uint8_t, kPlaneBytes>& a, int b, uint32_t v) {
    a[b] = uint8_t(v >> 8);
    a[b + 1] = uint8_t(v);
}

// The chosen sprites over the line, the highest priority first (lowest X,
// then lowest OAM entry): a sprite's opaque pixel takes its place from those
// below it even where the behind-background flag then lets the background
// show through.
void DrawSprites(const Handheld& h, const Planes& colour, Planes& shade) {
    const Ppu& p = h.ppu;
    const unsigned height = p.lcdc & 0x04 ? 16 : 8;
    std::array<uint16_t, 10> order;
    const int n = p.spriteCount;
    for (int k = 0; k < n; ++k) {
        const uint16_t key = uint16_t(h.oam[4 * p.sprites[k] + 1] << 8 | p.sprites[k]);
        int i = k;
        for (; i > 0 && order[i - 1] > key; --i) order[i] = order[i - 1];
        order[i] = key;
    }
    std::array<uint8_t, kPlaneBytes> taken{};
    for (int k = 0; k < n; ++k) {
        const uint8_t* entry = &h.oam[4 * (order[k] & 0xFF)];
        const unsigned x = entry[1];
        unsigned row = p.ly + 16u - entry[0];
        if (x == 0 || x >= 168 || row >= height) continue;
        const uint8_t attr = entry[3];
        if (attr & 0x40) row = height - 1 - row;
        const unsigned tile = height == 16 ? entry[2] & 0xFE : entry[2];
        const uint8_t* data = &h.vram[16 * tile + 2 * row];
        uint8_t lo = data[0], hi = data[1];
        if (attr & 0x20) {
            lo = kReversed[lo];
            hi = kReversed[hi];
        }
        if (!(lo | hi)) continue;
        // Pixel x - 8 is plane bit x: bytes x / 8 and the next.
        const int b = int(x >> 3), up = 8 - int(x & 7);
        const uint32_t spriteLo = uint32_t(lo) << up, spriteHi = uint32_t(hi) << up;
        const uint32_t opaque = spriteLo | spriteHi;
        const uint32_t before = Read16(taken, b);
        uint32_t shows = opaque & ~before;
        if (attr & 0x80) shows &= ~(Read16(colour.lo, b) | Read16(colour.hi, b));
        Write16(taken, b, before | opaque);
        uint32_t shadeLo, shadeHi;
        ApplyPalette(attr & 0x10 ? p.obp1 : p.obp0, spriteLo, spriteHi, shadeLo, shadeHi);
        Write16(shade.lo, b, (Read16(shade.lo, b) & ~shows) | (shadeLo & shows));
        Write16(shade.hi, b, (Read16(shade.hi, b) & ~shows) | (shadeHi & shows));
    }
}

// The quads of plane byte b: its left four pixels, then its right four.
inline unsigned LeftQuad(const Planes& s, int b) { return unsigned(s.lo[b] >> 4 | (s.hi[b] & 0xF0)); }
inline unsigned RightQuad(const Planes& s, int b) {
    return unsigned((s.lo[b] & 0x0F) | (s.hi[b] << 4 & 0xF0));
}

template <DisplayModes Mode>
void PutLine(Surface& s, int y, const Planes& shade) {
    if constexpr (Mode == Mode1x1) {
        Color* to = s.Row(y);
        for (int b = kFirstScreenByte; b <= kLastScreenByte; ++b, to += 8) {
            std::memcpy(to, kQuads1[LeftQuad(shade, b)].c.data(), sizeof(Quad1));
            std::memcpy(to + 4, kQuads1[RightQuad(shade, b)].c.data(), sizeof(Quad1));
        }
    } else {
        Color* top = s.Row(2 * y);
        Color* bottom = s.Row(2 * y + 1);
        for (int b = kFirstScreenByte; b <= kLastScreenByte; ++b, top += 16, bottom += 16) {
            const unsigned left = LeftQuad(shade, b), right = RightQuad(shade, b);
            std::memcpy(top, kQuads2[left].c.data(), sizeof(Quad2));
            std::memcpy(top + 8, kQuads2[right].c.data(), sizeof(Quad2));
            if constexpr (Mode == Mode2x2) {
                std::memcpy(bottom, kQuads2[left].c.data(), sizeof(Quad2));
                std::memcpy(bottom + 8, kQuads2[right].c.data(), sizeof(Quad2));
            } else {
                // The lower right pixel of each block is never written.
                for (int i = 0; i < 4; ++i) {
                    bottom[2 * i] = kQuads1[left].c[i];
                    bottom[8 + 2 * i] = kQuads1[right].c[i];
                }
            }
        }
    }
}

// A surface smaller than the display mode wants: block by block, clipped.
template <DisplayModes Mode>
void PutLineClipped(Surface& s, int y, const Planes& shade) {
    for (int x = 0; x < kScreenWidth; ++x) {
        const int b = kFirstScreenByte + x / 8, bit = 7 - x % 8;
        const int c = (shade.lo[b] >> bit & 1) | (shade.hi[b] >> bit & 1) << 1;
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

int PpuSelectSprites(Handheld& h) {
    Ppu& p = h.ppu;
    p.spriteCount = 0;
    if (!(p.lcdc & 0x02)) return 0;
    const unsigned height = p.lcdc & 0x04 ? 16 : 8, line = p.ly + 16u;
    int n = 0;
    for (int i = 0; i < 40 && n < 10; ++i)
        if (line - h.oam[4 * i] < height) p.sprites[n++] = uint8_t(i);
    p.spriteCount = uint8_t(n);
    if (n == 0) return 0;
    // The wait for the background fetch, once per background tile: the
    // largest of its sprites' waits (that of the leftmost).
    std::array<uint8_t, 22> wait{};
    int dots = 0;
    for (int k = 0; k < n; ++k) {
        const unsigned x = h.oam[4 * p.sprites[k] + 1];
        if (x >= 168) continue;
        const unsigned at = x + (p.scx & 7u);
        const int w = x == 0 ? 5 : 5 - std::min(5, int(at & 7));
        uint8_t& tileWait = wait[at >> 3];
        tileWait = uint8_t(std::max(int(tileWait), w));
        dots += 6;
    }
    for (uint8_t w : wait) dots += w;
    return dots;
}

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
            FetchTiles(h, colour, 8 - (p.scx & 7), bgMap + 32 * (y >> 3), p.scx >> 3, int(y & 7));
            if (window) {
                const unsigned windowMap = p.lcdc & 0x40 ? 0x1C00 : 0x1800;
                // WX 7 puts the window's first pixel at the left edge.
                FetchTiles(h, colour, p.wx + 1, windowMap + 32 * (p.windowLine >> 3), 0, p.windowLine & 7);
            }
        }
        for (int w = 0; w < kPlaneBytes; w += 8) {
            uint64_t lo, hi, shadeLo, shadeHi;
            std::memcpy(&lo, colour.lo.data() + w, 8);
            std::memcpy(&hi, colour.hi.data() + w, 8);
            ApplyPalette(bgp, lo, hi, shadeLo, shadeHi);
            std::memcpy(shade.lo.data() + w, &shadeLo, 8);
            std::memcpy(shade.hi.data() + w, &shadeHi, 8);
        }
        if ((p.lcdc & 0x02) && p.spriteCount) DrawSprites(h, colour, shade);
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
