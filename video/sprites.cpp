#include "video/sprites.h"

#include <array>

#include "core/io_regs.h"
#include "video/surface.h"

namespace wenlo {

namespace {

constexpr int kSpriteCount = 40;
constexpr int kScreenWidth = 160;

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
    const std::array<Color, 4> palettes[2] = {PaletteColors(m.OBP0), PaletteColors(m.OBP1)};
    const Color white = ShadeColors[0];
    const uint8_t* const vram = m.VideoRam.data();

    // The highest entry first, so entry 0 is drawn last and lies on top. There
    // is no per-line limit: every visible entry is drawn.
    for (int k = kSpriteCount - 1; k >= 0; --k) {
        const uint8_t* const entry = &m.Oam[4 * k];
        const int spriteY = entry[0];
        const int spriteX = entry[1];
        int tile = entry[2];
        const uint8_t attr = entry[3];

        // X >= 168 would start right of the screen; X = 0 and Y = 0 hide the
        // entry even where part of it would show.
        if (spriteX == 0 || spriteY == 0 || spriteX - 8 >= kScreenWidth) continue;
        const int row = y - spriteY + 16;
        if (row < 0 || row >= height) continue;

        // Tall sprites use the even/odd tile pair; rows 8-15 run on into the
        // second tile by the address arithmetic alone. Sprite tiles always come
        // from 0x8000 upward, whatever LCDC bit 4 says.
        if (height == 16) tile &= 0xFE;
        const int tileRow = (attr & kAttrFlipY) ? height - 1 - row : row;
        const int rowStart = tile * 16 + tileRow * 2;
        const uint8_t low = vram[rowStart];
        const uint8_t high = vram[rowStart + 1];
        const std::array<Color, 4>& shades = palettes[(attr & kAttrPalette1) ? 1 : 0];
        const bool flipX = attr & kAttrFlipX;
        const bool behind = attr & kAttrBehindBackground;

        // A sprite that starts left of the screen (X 1..7) is moved right to
        // column 0 and drawn whole, not clipped. Nothing is clipped on the
        // right: the surface drops what falls beyond it.
        const int left = spriteX < 8 ? 0 : spriteX - 8;
        for (int j = 7; j >= 0; --j) {
            const int bit = flipX ? j : 7 - j;
            const int c = ((high >> bit) & 1) << 1 | ((low >> bit) & 1);
            if (c == 0) continue;  // transparent
            const int x = left + j;
            // Behind-background priority looks at the surface as it is now:
            // the background of this line plus the higher entries already
            // drawn. Only exact white (shade 0) lets the sprite through, so a
            // background colour 0 mapped to another shade hides it as well.
            if (behind && !BlockHas<Mode>(*screen, x, y, white)) continue;
            PutBlock<Mode>(*screen, x, y, shades[c]);
        }
    }
}

}  // namespace

void DrawSpriteLine1x1(Machine& m) { DrawSpriteLine<Mode1x1>(m); }
void DrawSpriteLine2x2(Machine& m) { DrawSpriteLine<Mode2x2>(m); }
void DrawSpriteLineInterlaced(Machine& m) { DrawSpriteLine<Mode2x2Interlaced>(m); }

}  // namespace wenlo
