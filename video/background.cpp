#include "video/background.h"

#include <algorithm>
#include <array>

#include "core/io_regs.h"
#include "core/timing.h"
#include "video/block_line_internal.h"
#include "video/surface.h"
#include "video/tile_row_internal.h"

namespace wenlo {

namespace {

constexpr int kMap9800 = 0x1800;         // VideoRam index of the map at 0x9800
constexpr int kMap9C00 = 0x1C00;         // VideoRam index of the map at 0x9C00
constexpr int kSignedTileBase = 0x0800;  // tiles -128..127 around 0x9000

// The whole renderer, written once; Mode only changes how blocks are written.
template <DisplayModes Mode>
void DrawBackgroundLine(Machine& m) {
    Surface* const screen = m.host ? m.host->Screen : nullptr;
    if (screen == nullptr) return;
    // A skipped line keeps what an earlier frame drew there.
    if (!(m.LCDC & io::kLcdcDisplayOn) || !m.Running || m.Paused || m.LY > kLastVisibleLine) return;

    const int y = m.LY;
    const int bgLine = (m.SCY + y) & 0xFF;
    const uint8_t* const vram = m.VideoRam.data();
    const uint8_t* const mapRow =
        vram + ((m.LCDC & io::kLcdcBgMap9C00) ? kMap9C00 : kMap9800) + (bgLine >> 3) * 32;
    const bool signedTiles = !(m.LCDC & io::kLcdcTileData8000);
    const uint8_t* const tileRows = vram + (signedTiles ? kSignedTileBase : 0x0000) + (bgLine & 7) * 2;
    const auto& pairs = PalettePairs<Mode>(m.BGP);

    // The map row twice over, so that the up to 21 tiles of the line read
    // straight on from column SCX / 8 across the wrap from 31 to 0. In the
    // signed area tile 0 sits at 0x9000 and tile -128 at 0x8800: flipping
    // the top bit turns the signed number into an index from 0x8800.
    const uint8_t tileFlip = signedTiles ? 0x80 : 0x00;
    std::array<uint8_t, 64> tileNumbers;
    for (int i = 0; i < 32; ++i) tileNumbers[i] = tileNumbers[i + 32] = mapRow[i] ^ tileFlip;
    const uint8_t* nextTile = tileNumbers.data() + (m.SCX >> 3);
    const auto nextPattern = [&]() {
        const uint8_t* const row = tileRows + size_t{*nextTile++} * 16;
        return TileRowPattern(row[0], row[1]);
    };

    // The first tile starts fineX columns left of the screen; with a fine
    // scroll the line takes 21 tiles, the last one partly off the right edge.
    const int fineX = m.SCX & 7;
    const BlockLine<Mode> line(*screen, y);
    if (line.Columns() < kScreenWidth) {
        // The drawing area is smaller than the mode's picture: every block
        // goes through the clipped writer.
        for (int tx = -fineX; tx < kScreenWidth; tx += 8) {
            const uint32_t pattern = nextPattern();
            const int last = std::min(8, kScreenWidth - tx);
            for (int i = std::max(0, -tx); i < last; ++i)
                PutBlock<Mode>(*screen, tx + i, y, PairColour<Mode>(pairs, PatternColour(pattern, i)));
        }
        return;
    }

    // Whole pairs where they fit; with an odd fineX the pixel pairs straddle
    // both screen edges, and the two edge columns take a single pixel each.
    int x = 0;
    if (fineX != 0) {
        const uint32_t pattern = nextPattern();
        if (fineX & 1) line.Put(0, PairColour<Mode>(pairs, PatternColour(pattern, fineX)));
        for (int k = (fineX + 1) / 2; k < 4; ++k) line.PutPair(2 * k - fineX, pairs[PatternPair(pattern, k)]);
        x = 8 - fineX;
    }
    // Two tiles per turn of the loop: the loop's own cost is a fair part of a tile's.
#pragma GCC unroll 2
    for (; x <= kScreenWidth - 8; x += 8) {
        const uint32_t pattern = nextPattern();
        line.PutTwoPairs(x, pairs[PatternPair(pattern, 0)], pairs[PatternPair(pattern, 1)]);
        line.PutTwoPairs(x + 4, pairs[PatternPair(pattern, 2)], pairs[PatternPair(pattern, 3)]);
    }
    if (fineX != 0) {
        const uint32_t pattern = nextPattern();
        for (int k = 0; 2 * k + 1 < fineX; ++k) line.PutPair(x + 2 * k, pairs[PatternPair(pattern, k)]);
        if (fineX & 1) line.Put(kScreenWidth - 1, PairColour<Mode>(pairs, PatternColour(pattern, fineX - 1)));
    }
}

}  // namespace

void DrawBackgroundLine1x1(Machine& m) { DrawBackgroundLine<Mode1x1>(m); }
void DrawBackgroundLine2x2(Machine& m) { DrawBackgroundLine<Mode2x2>(m); }
void DrawBackgroundLineInterlaced(Machine& m) { DrawBackgroundLine<Mode2x2Interlaced>(m); }

}  // namespace wenlo
