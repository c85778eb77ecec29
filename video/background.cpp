#include "video/background.h"

#include <algorithm>
#include <array>

#include "core/io_regs.h"
#include "video/surface.h"

namespace wenlo {

namespace {

constexpr int kScreenWidth = 160;
constexpr int kMap9800 = 0x1800;         // VideoRam index of the map at 0x9800
constexpr int kMap9C00 = 0x1C00;         // VideoRam index of the map at 0x9C00
constexpr int kSignedTileBase = 0x0800;  // tiles -128..127 around 0x9000

// The whole renderer, written once; Mode only changes how a pixel is written.
template <DisplayModes Mode>
void DrawBackgroundLine(Machine& m) {
    Surface* const screen = m.host ? m.host->Screen : nullptr;
    if (screen == nullptr) return;
    // A skipped line keeps what an earlier frame drew there.
    if (!(m.LCDC & io::kLcdcDisplayOn) || !m.Running || m.Paused || m.LY > io::kLastVisibleLine) return;

    const int y = m.LY;
    const int bgLine = (m.SCY + y) & 0xFF;
    const int mapRowStart = ((m.LCDC & io::kLcdcBgMap9C00) ? kMap9C00 : kMap9800) + (bgLine >> 3) * 32;
    const bool signedTiles = !(m.LCDC & io::kLcdcTileData8000);
    const int tileDataBase = signedTiles ? kSignedTileBase : 0x0000;
    const int rowOffset = (bgLine & 7) * 2;
    const std::array<Color, 4> shades = PaletteColors(m.BGP);
    const uint8_t* const vram = m.VideoRam.data();

    int col = m.SCX >> 3;
    // The first tile starts up to 7 columns left of the screen; with a fine
    // scroll the loop draws 21 tiles, the last one partly off the right edge.
    for (int tx = -(m.SCX & 7); tx < kScreenWidth; tx += 8) {
        int tileNumber = vram[mapRowStart + (col & 31)];
        ++col;
        // In the signed area tile 0 sits at 0x9000 and tile -128 at 0x8800;
        // flipping the top bit turns the signed number into an index from 0x8800.
        if (signedTiles) tileNumber ^= 0x80;
        const int rowStart = tileDataBase + tileNumber * 16 + rowOffset;
        const uint8_t low = vram[rowStart];
        const uint8_t high = vram[rowStart + 1];
        const int first = std::max(0, -tx);
        const int last = std::min(8, kScreenWidth - tx);
        for (int i = first; i < last; ++i) {
            const int bit = 7 - i;  // bit 7 is the leftmost pixel
            const int c = ((high >> bit) & 1) << 1 | ((low >> bit) & 1);
            PutBlock<Mode>(*screen, tx + i, y, shades[c]);
        }
    }
}

}  // namespace

void DrawBackgroundLine1x1(Machine& m) { DrawBackgroundLine<Mode1x1>(m); }
void DrawBackgroundLine2x2(Machine& m) { DrawBackgroundLine<Mode2x2>(m); }
void DrawBackgroundLineInterlaced(Machine& m) { DrawBackgroundLine<Mode2x2Interlaced>(m); }

}  // namespace wenlo
