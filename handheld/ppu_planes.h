// Internal to handheld/: the bit planes the picture unit builds a line in
// (handheld/ppu_render.cpp for background and window, ppu_sprites.cpp for
// sprites) and the palette applied to them.
#pragma once

#include <array>
#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

// Bit (x + 64) of a plane, counted from the top bit of word 0, is screen
// pixel x: word 0 takes what lies left of the screen (a scrolled first tile,
// a sprite at X < 8), words 1 and 2 and the upper half of word 3 the screen,
// the rest what lies right of it. Each byte of a word holds eight pixels as
// a tile row does, the leftmost in its top bit.
inline constexpr int kPlaneWords = 4;
inline constexpr int kScreenBit = 64;

struct Planes {
    std::array<uint64_t, kPlaneWords> lo{}, hi{};
};

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

inline constexpr std::array<PaletteForm, 256> kPaletteForms = [] {
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

// The sprites chosen by PpuSelectSprites (handheld/ppu_render.h) over a
// line: colour holds the background's colour numbers (for the
// behind-background flag), shade its shades, which the sprites' replace.
void PpuDrawSprites(const Handheld&, const Planes& colour, Planes& shade);

}  // namespace wenlo::hh
