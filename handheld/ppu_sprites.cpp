// The handheld's sprites on a line: the OAM search (ten at most, put in
// the order they are layered, their fetches' cost to mode 3) and their
// pixels over the background's, in the bit planes of handheld/ppu_planes.h.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "handheld/ppu_planes.h"
#include "handheld/ppu_render.h"

namespace wenlo::hh {

namespace {

// Tile row bytes mirrored, for a flipped sprite.
constexpr std::array<uint8_t, 256> kReversed = [] {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i)) table[b] |= uint8_t(0x80 >> i);
    return table;
}();

// The sprites of a line, layered before any palette is applied: the colours
// of the pixels they show (never colour 0, so they also tell where sprites
// show), which of them use OBP1, and the pixels some sprite has taken from
// those below it (whether it then shows or lets the background through).
struct SpriteLayer {
    std::array<uint64_t, kPlaneWords> lo{}, hi{}, second{}, taken{};
};

// One word of a sprite's row into the layer; `under`: the pixels it may
// show on (all, or the background's colour 0 ones).
inline void LayerSprite(SpriteLayer& s, int w, uint64_t lo, uint64_t hi, uint64_t under, bool second) {
    const uint64_t opaque = lo | hi;
    const uint64_t shows = opaque & ~s.taken[w] & under;
    s.taken[w] |= opaque;
    s.lo[w] |= lo & shows;
    s.hi[w] |= hi & shows;
    if (second) s.second[w] |= shows;
}

// The chosen sprites over the line, the highest priority first (the order
// the OAM search left them in), then their palettes, a word at a time.
}  // namespace

void PpuDrawSprites(const Handheld& h, const Planes& colour, Planes& shade) {
    const Ppu& p = h.ppu;
    const unsigned height = p.lcdc & 0x04 ? 16 : 8, tileMask = height == 16 ? 0xFE : 0xFF;
    SpriteLayer layer;
    for (int k = 0; k < p.spriteCount; ++k) {
        // OAM as it is now: Y, X, tile, attributes.
        const uint8_t* entry = &h.oam[4 * (p.sprites[k] & 0xFF)];
        unsigned row = p.ly + 16u - entry[0];
        const unsigned x = entry[1];
        // X 0 and X 168 on are wholly off the screen.
        if (row >= height || x - 1 >= 167) continue;
        const unsigned attr = entry[3];
        if (attr & 0x40) row ^= height - 1;
        const uint8_t* data = &h.vram[16 * (entry[2] & tileMask) + 2 * row];
        uint64_t lo = data[0], hi = data[1];
        if (attr & 0x20) {
            lo = kReversed[lo];
            hi = kReversed[hi];
        }
        const bool second = attr & 0x10, behind = attr & 0x80;
        // Pixel x - 8 is plane bit x + 56; a row may run into the next word.
        const int at = int(x) + kScreenBit - 8, w = at >> 6, bit = at & 63;
        const auto under = [&](int word) {
            return behind ? ~(colour.lo[size_t(word)] | colour.hi[size_t(word)]) : ~uint64_t(0);
        };
        LayerSprite(layer, w, lo << 56 >> bit, hi << 56 >> bit, under(w), second);
        if (bit > 56) LayerSprite(layer, w + 1, lo << (120 - bit), hi << (120 - bit), under(w + 1), second);
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

namespace {

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

// Handheld::spriteLines for sprites `height` tall, from the Y bytes.
void MarkSpriteLines(Handheld& h, unsigned height) {
    std::array<uint64_t, 4>& lines = h.spriteLines;
    lines.fill(0);
    const uint64_t run = (uint64_t(1) << height) - 1;
    for (int i = 0; i < 40; ++i) {
        const unsigned y = h.oam[size_t(4 * i)], w = y >> 6, bit = y & 63;
        lines[w] |= run << bit;
        if (bit + height > 64) lines[(w + 1) & 3] |= run >> (64 - bit);
    }
    h.spriteLinesHeight = uint8_t(height);
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
    if (h.spriteLinesHeight != height) MarkSpriteLines(h, height);
    const unsigned line = (p.ly + 16u) & 255;
    uint64_t rows = 0;
    if (h.spriteLines[line >> 6] >> (line & 63) & 1)
        rows = SpritesOnLine(h.oam.data(), uint8_t(line), uint8_t(height));
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

}  // namespace wenlo::hh
