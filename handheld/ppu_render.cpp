// The handheld's line drawing. A line is built as bit planes, one bit a
// pixel in the tiles' own layout, so that a tile row goes in as two bytes, a
// palette is applied to 64 pixels in a handful of word operations, and a
// sprite is blended in with masks; the shades then go onto the surface four
// pixels at a time from a table of ready-made colours.
#include "handheld/ppu_render.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "video/surface.h"

namespace wenlo::hh {

namespace {

// Bit (x + 64) of a plane, counted from the top bit of word 0, is screen
// pixel x: word 0 takes what lies left of the screen (a scrolled first tile,
// a sprite at X < 8), words 1 and 2 and the upper half of word 3 the screen,
// the rest what lies right of it. Each byte of a word holds eight pixels as
// a tile row does, the leftmost in its top bit.
constexpr int kPlaneWords = 4;
constexpr int kScreenBit = 64;

struct Planes {
    std::array<uint64_t, kPlaneWords> lo{}, hi{};
};

// Tile row bytes as they are, and mirrored for a flipped sprite.
constexpr std::array<uint8_t, 256> kIdentity = [] {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = uint8_t(b);
    return table;
}();
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

// A palette register as a shade plane bit's function of the colour's bits
// (lo, hi), in the form d ^ (lo & a) ^ (hi & b) ^ (lo & hi & c), each mask
// all ones or all zeros: a few word operations give 64 pixels' shades.
struct PlaneForm {
    uint64_t a, b, c, d;
};
struct PaletteForm {
    PlaneForm lo, hi;
};

constexpr PlaneForm MakePlaneForm(int t0, int t1, int t2, int t3) {
    const auto all = [](int bit) { return bit & 1 ? ~uint64_t(0) : uint64_t(0); };
    return {all(t0 ^ t1), all(t0 ^ t2), all(t0 ^ t1 ^ t2 ^ t3), all(t0)};
}

constexpr std::array<PaletteForm, 256> kPaletteForms = [] {
    std::array<PaletteForm, 256> table{};
    for (int p = 0; p < 256; ++p) {
        table[p].lo = MakePlaneForm(p, p >> 2, p >> 4, p >> 6);
        table[p].hi = MakePlaneForm(p >> 1, p >> 3, p >> 5, p >> 7);
    }
    return table;
}();

inline void ApplyPalette(const PaletteForm& f, uint64_t lo, uint64_t hi, uint64_t& shadeLo,
                         uint64_t& shadeHi) {
    const uint64_t both = lo & hi;
    shadeLo = f.lo.d ^ (lo & f.lo.a) ^ (hi & f.lo.b) ^ (both & f.lo.c);
    shadeHi = f.hi.d ^ (lo & f.hi.a) ^ (hi & f.hi.b) ^ (both & f.hi.c);
}

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

// The sprites of a line, layered before any palette is applied: the colours
// of the pixels they show (never colour 0, so they also tell where sprites
// show), which of them use OBP1, and the pixels some sprite has taken from
// those below it (whether it then shows or lets the background through).
struct SpriteLayer {
    std::array<uint64_t, kPlaneWords> lo{}, hi{}, second{}, taken{};
};

// One word of a sprite's row into the layer; `under`: the pixels it may
// show on (all, or the background's colour 0 ones).
inline void LayerSprite(SpriteLayer& s, int w, uint64_t lo, uint64_t hi, uint64_t under, uint64_t second) {
    const uint64_t opaque = lo | hi;
    const uint64_t shows = opaque & ~s.taken[w] & under;
    s.taken[w] |= opaque;
    s.lo[w] |= lo & shows;
    s.hi[w] |= hi & shows;
    s.second[w] |= shows & second;
}

// The chosen sprites over the line, the highest priority first (the order
// the OAM search left them in), then their palettes, a word at a time.
void DrawSprites(const Handheld& h, const Planes& colour, Planes& shade) {
    const Ppu& p = h.ppu;
    const unsigned height = p.lcdc & 0x04 ? 16 : 8, tileMask = height == 16 ? 0xFE : 0xFF;
    SpriteLayer layer;
    for (int k = 0; k < p.spriteCount; ++k) {
        uint32_t entry;  // Y, X, tile, attributes
        std::memcpy(&entry, &h.oam[4 * (p.sprites[k] & 0xFF)], 4);
        const unsigned x = entry >> 8 & 0xFF, attr = entry >> 24;
        unsigned row = p.ly + 16u - (entry & 0xFF);
        // X 0 and X 168 on are wholly off the screen.
        if (row >= height || x - 1 >= 167) continue;
        if (attr & 0x40) row ^= height - 1;
        const uint8_t* data = &h.vram[16 * (entry >> 16 & tileMask) + 2 * row];
        const uint8_t* order = attr & 0x20 ? kReversed.data() : kIdentity.data();
        const uint64_t lo = order[data[0]], hi = order[data[1]];
        const uint64_t second = attr & 0x10 ? ~uint64_t(0) : 0;
        const bool behind = attr & 0x80;
        // Pixel x - 8 is plane bit x + 56; a row may run into the next word.
        const int at = int(x) + kScreenBit - 8, w = at >> 6, bit = at & 63;
        LayerSprite(layer, w, lo << 56 >> bit, hi << 56 >> bit,
                    behind ? ~(colour.lo[w] | colour.hi[w]) : ~uint64_t(0), second);
        if (bit > 56)
            LayerSprite(layer, w + 1, lo << (120 - bit), hi << (120 - bit),
                        behind ? ~(colour.lo[w + 1] | colour.hi[w + 1]) : ~uint64_t(0), second);
    }
    const PaletteForm& obp0 = kPaletteForms[p.obp0];
    const PaletteForm& obp1 = kPaletteForms[p.obp1];
    for (int w = 1; w < kPlaneWords; ++w) {
        const uint64_t shows = layer.lo[w] | layer.hi[w], second = layer.second[w];
        if (!shows) continue;
        uint64_t lo = 0, hi = 0;
        if (second != shows) ApplyPalette(obp0, layer.lo[w], layer.hi[w], lo, hi);
        if (second) {
            uint64_t lo1, hi1;
            ApplyPalette(obp1, layer.lo[w], layer.hi[w], lo1, hi1);
            if (second == shows) {
                lo = lo1;
                hi = hi1;
            } else {
                lo ^= (lo ^ lo1) & second;
                hi ^= (hi ^ hi1) & second;
            }
        }
        shade.lo[w] = (shade.lo[w] & ~shows) | (lo & shows);
        shade.hi[w] = (shade.hi[w] & ~shows) | (hi & shows);
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

// Bit i set: OAM entry i's rows cover the line, that is line - Y (line =
// LY + 16, both mod 256) is less than the sprite height. Sixteen bytes of
// OAM (four entries) at a time where the host has the vector instructions.
uint64_t SpritesOnLine(const uint8_t* oam, uint8_t line, uint8_t height) {
    uint64_t rows = 0;
#if defined(__SSE2__)
    // The forty Y bytes (every fourth) packed into 40 bytes of three
    // vectors, then compared sixteen at a time.
    const auto entries = [oam](int k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(oam + 16 * k));
        return _mm_and_si128(v, _mm_set1_epi32(0xFF));
    };
    const auto words = [&](int k) { return _mm_packs_epi32(entries(k), entries(k + 1)); };
    const __m128i lines = _mm_set1_epi8(char(line)), last = _mm_set1_epi8(char(height - 1));
    const auto covered = [&](__m128i y) {
        const __m128i into = _mm_sub_epi8(lines, y);
        return uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(into, last), into))));
    };
    rows = covered(_mm_packus_epi16(words(0), words(2)));
    rows |= covered(_mm_packus_epi16(words(4), words(6))) << 16;
    rows |= (covered(_mm_packus_epi16(words(8), _mm_setzero_si128())) & 0xFF) << 32;
#else
    for (int i = 0; i < 40; ++i)
        if (uint8_t(line - oam[4 * i]) < height) rows |= uint64_t(1) << i;
#endif
    return rows;
}

Surface* Screen(const Handheld& h) {
    return h.host && h.DisplayMode <= Mode2x2Interlaced ? h.host->Screen : nullptr;
}

}  // namespace

int PpuSelectSprites(Handheld& h) {
    Ppu& p = h.ppu;
    if (!(p.lcdc & 0x02)) {
        p.spriteCount = 0;
        p.spriteRows = 0;
        p.spriteDots = 0;
        return 0;
    }
    const unsigned height = p.lcdc & 0x04 ? 16 : 8, fine = p.scx & 7u;
    uint64_t rows = SpritesOnLine(h.oam.data(), uint8_t(p.ly + 16), uint8_t(height));
    // Sprites are taller than a line: mostly the line before chose the same
    // ones, already in order and their fetches counted.
    if (rows == p.spriteRows && fine == p.spriteFine) {
        int k = 0;
        while (k < p.spriteCount && h.oam[4 * (p.sprites[k] & 0xFF) + 1] == p.sprites[k] >> 8) ++k;
        if (k == p.spriteCount) return p.spriteDots;
    }
    p.spriteRows = rows;
    p.spriteFine = uint8_t(fine);
    // Ten at most, in OAM order, then put in priority order: by X, then by
    // OAM entry.
    int n = 0;
    std::array<uint16_t, 10>& keys = p.sprites;
    while (rows) {
        const unsigned entry = unsigned(std::countr_zero(rows));
        rows &= rows - 1;
        const uint16_t key = uint16_t(h.oam[4 * entry + 1] << 8 | entry);
        int i = n;
        for (; i > 0 && keys[i - 1] > key; --i) keys[i] = keys[i - 1];
        keys[i] = key;
        if (++n == 10) break;
    }
    p.spriteCount = uint8_t(n);
    // Each fetch waits for the background fetch: up to five dots more for
    // the first sprite in a background tile (the leftmost, so the largest
    // wait), by how far into the tile it starts; five at X 0.
    static constexpr uint8_t kWait[8] = {5, 4, 3, 2, 1, 0, 0, 0};
    int dots = 0;
    unsigned lastTile = ~0u;
    for (int k = 0; k < n; ++k) {
        const unsigned x = keys[k] >> 8, at = x + fine, tile = at >> 3;
        if (x >= 168) break;
        dots += 6 + (tile == lastTile ? 0 : x == 0 ? 5 : kWait[at & 7]);
        lastTile = tile;
    }
    p.spriteDots = uint8_t(dots);
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
