#include "video/sprites.h"

#include <array>

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

// The whole renderer, written once; Mode only changes the pixel block that is
// written and read back.
template <DisplayModes Mode>
void DrawSpriteLine(Machine& m) {
    Surface* const screen = m.host ? m.host->Screen : nullptr;
    if (screen == nullptr) return;

    const int y = m.LY;
    const int height = (m.LCDC & io::kLcdcTallSprites) ? 16 : 8;

    // First the entries whose rows cross line y, in drawing order: the
    // highest entry first, so entry 0 is drawn last and lies on top. There is
    // no per-line limit. An entry's top row is line Y - 16, so it crosses
    // line y when Y lies in y + 17 - height .. y + 16; Y = 0 never does.
    const int lowestY = y + kSpriteYOffset + 1 - height;
    std::array<uint8_t, kSpriteCount> crossing;
    int count = 0;
#pragma GCC unroll 40
    for (int k = kSpriteCount - 1; k >= 0; --k)
        if (unsigned(m.Oam[4 * k] - lowestY) < unsigned(height)) crossing[count++] = uint8_t(k);
    if (count == 0) return;

    const auto& pairs0 = PalettePairs<Mode>(m.OBP0);
    const auto& pairs1 = PalettePairs<Mode>(m.OBP1);
    const Color white = ShadeColors[0];
    const uint8_t* const vram = m.VideoRam.data();
    const BlockLine<Mode> line(*screen, y);
    // Tall sprites use the even/odd tile pair; rows 8-15 run on into the
    // second tile by the address arithmetic alone.
    const int tileMask = height == 16 ? 0xFE : 0xFF;

    for (int n = 0; n < count; ++n) {
        const uint8_t* const entry = &m.Oam[4 * crossing[n]];
        // X >= 168 would start right of the screen; X = 0 hides the entry
        // even where part of it would show.
        const int spriteX = entry[1];
        if (spriteX == 0 || spriteX - kSpriteXOffset >= kScreenWidth) continue;

        // Sprite tiles always come from 0x8000 upward, whatever LCDC bit 4 says.
        const uint8_t attr = entry[3];
        const int row = y + kSpriteYOffset - entry[0];
        const int tileRow = (attr & kAttrFlipY) ? height - 1 - row : row;
        const uint8_t* const rowBytes = vram + size_t(entry[2] & tileMask) * kTileBytes + size_t(tileRow) * 2;
        const uint32_t pattern = (attr & kAttrFlipX) ? TileRowPatternFlipped(rowBytes[0], rowBytes[1])
                                                     : TileRowPattern(rowBytes[0], rowBytes[1]);
        if (pattern == 0) continue;  // colour 0 is transparent: nothing to draw
        const PairTable<Mode>& pairs = (attr & kAttrPalette1) ? pairs1 : pairs0;

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
        if (left + 8 > line.Columns()) {
            // Partly beyond the drawing area: the clipped writer drops the rest.
            for (int j = 0; j < 8; ++j) {
                const int c = PatternColour(pattern, j);
                if (c == 0) continue;
                if (behind && !BlockHas<Mode>(*screen, left + j, y, white)) continue;
                PutBlock<Mode>(*screen, left + j, y, PairColour<Mode>(pairs, c));
            }
        } else if (behind) {
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j) {
                const int c = PatternColour(pattern, j);
                if (c != 0 && line.Has(left + j, white)) line.Put(left + j, PairColour<Mode>(pairs, c));
            }
        } else {
            // Two pixels at a time, the surface kept where they are colour 0.
            for (int k = 0; k < 4; ++k) {
                const int pair = PatternPair(pattern, k);
                line.BlendPair(left + 2 * k, pairs, pair);
            }
        }
    }
}

}  // namespace

void DrawSpriteLine1x1(Machine& m) { DrawSpriteLine<Mode1x1>(m); }
void DrawSpriteLine2x2(Machine& m) { DrawSpriteLine<Mode2x2>(m); }
void DrawSpriteLineInterlaced(Machine& m) { DrawSpriteLine<Mode2x2Interlaced>(m); }

}  // namespace wenlo
