// Internal to video/: included only by the line renderers (background.cpp,
// through sprite_quad_internal.h sprites.cpp) and their unit tests.
//
// The 1x1 fast paths write four neighbouring pixels at a time. They describe
// them by a shade quad: bits 3-0 the low bits of the four pixels' shades
// (bit 3 the leftmost pixel), bits 7-4 their high bits; its colours lie at
// byte offset quad * 16 of kShadeQuads.
#pragma once

#include <array>
#include <cstdint>

#include "video/surface.h"

namespace wenlo {

struct alignas(16) ColorQuad {
    std::array<Color, 4> pixels;
};

// The four colour values of each shade quad (4 KiB).
inline constexpr std::array<ColorQuad, 256> kShadeQuads = [] {
    std::array<ColorQuad, 256> table{};
    for (int quad = 0; quad < 256; ++quad)
        for (int i = 0; i < 4; ++i)
            table[quad].pixels[i] = ShadeColors[(quad >> (3 - i) & 1) | (quad >> (7 - i) & 1) << 1];
    return table;
}();

}  // namespace wenlo
