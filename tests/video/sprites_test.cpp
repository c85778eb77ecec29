#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/video/video_rig.h"

namespace wenlo::test {
namespace {

constexpr Color kWhite = 0xFFFFFF, kLight = 0xE7E3E7, kDark = 0x525552, kBlack = 0x000000;

// Background tile 0 stays empty (white under BGP 0xE4); sprite tiles from 1 on.
class SpriteTest : public ::testing::TestWithParam<uint8_t> {
protected:
    VideoRig rig{GetParam()};
    Machine& m = *rig.m;

    // Columns from..to-1 of line y that do not show `background`.
    std::vector<int> ColumnsNot(int y, Color background, int from = 0, int to = 160) {
        std::vector<int> out;
        for (int x = from; x < to; ++x)
            if (rig.Pixel(x, y) != background) out.push_back(x);
        return out;
    }
    static std::vector<int> Range(int from, int to) {
        std::vector<int> out;
        for (int x = from; x < to; ++x) out.push_back(x);
        return out;
    }
};

TEST_P(SpriteTest, DrawsRowZeroAtTheCornerPosition) {
    rig.SolidTile(1, 0xFF, 0x00);
    rig.Sprite(0, 16, 8, 1);
    rig.DrawLine(0);
    EXPECT_EQ(ColumnsNot(0, kWhite), Range(0, 8));
    EXPECT_EQ(rig.Pixel(0, 0), kLight);
}

// Tile 0x24 row r has one pixel of colour 1 at column r; tile 0x25 row r one
// pixel of colour 3 at column r. The single visible pixel tells which tile
// row landed on the screen row, and which way round.
TEST_P(SpriteTest, FlipsAndTallTilePairs) {
    for (int r = 0; r < 8; ++r) {
        rig.TileRow(0x24, r, uint8_t(0x80 >> r), 0x00);
        rig.TileRow(0x25, r, uint8_t(0x80 >> r), uint8_t(0x80 >> r));
    }
    struct Case {
        bool tall;
        uint8_t tile, attr;
        int row;  // screen row inside the sprite
        int column;
        Color colour;
    };
    const Case cases[] = {
        {false, 0x24, 0x00, 0, 0, kLight},
        {false, 0x24, 0x00, 5, 5, kLight},
        {false, 0x24, 0x40, 0, 7, kLight},  // vertical flip: row 7
        {false, 0x24, 0x20, 0, 7, kLight},  // horizontal flip: bit 0 at the left
        {false, 0x24, 0x60, 1, 1, kLight},  // both: row 6, pixel 6 mirrored
        {false, 0x25, 0x00, 2, 2, kBlack},  // a short sprite uses the odd tile itself
        {true, 0x25, 0x00, 0, 0, kLight},   // rows 0-7 from 0x24
        {true, 0x25, 0x00, 9, 1, kBlack},   // rows 8-15 from 0x25
        {true, 0x24, 0x00, 15, 7, kBlack},
        {true, 0x25, 0x40, 0, 7, kBlack},  // flipped: row 7 of the second tile
        {true, 0x25, 0x40, 15, 0, kLight},
        {true, 0x25, 0x60, 3, 3, kBlack},  // row 12 = 0x25 row 4, mirrored
    };
    for (const Case& c : cases) {
        m.LCDC = c.tall ? 0x95 : 0x91;
        rig.Sprite(0, 16 + 20, 8 + 40, c.tile, c.attr);  // top-left at (40, 20)
        rig.DrawLine(20 + c.row);
        const std::vector<int> drawn = ColumnsNot(20 + c.row, kWhite);
        ASSERT_EQ(drawn, std::vector<int>{40 + c.column})
            << "tall " << c.tall << " tile " << std::hex << int(c.tile) << " attr " << int(c.attr) << std::dec
            << " row " << c.row;
        EXPECT_EQ(rig.Pixel(40 + c.column, 20 + c.row), c.colour);
    }
}

TEST_P(SpriteTest, PositionDecidesWhatShows) {
    rig.SolidTile(1, 0xFF, 0xFF);
    struct Case {
        bool tall;
        uint8_t y, x;
        int ly;
        std::vector<int> columns;
    };
    const Case cases[] = {
        {false, 16, 4, 0, Range(0, 8)},  // moved right, not clipped
        {false, 16, 1, 0, Range(0, 8)},
        {false, 16, 0, 0, {}},
        {false, 16, 167, 0, {159}},
        {false, 16, 160, 0, Range(152, 160)},
        {false, 16, 8, 7, Range(0, 8)},  // last row
        {false, 16, 8, 8, {}},           // one below
        {true, 16, 8, 15, Range(0, 8)},
        {true, 16, 8, 16, {}},
        {true, 1, 8, 0, Range(0, 8)},  // only its last row is on the screen
        {false, 1, 8, 0, {}},
        {false, 0, 8, 0, {}},
        {true, 0, 8, 0, {}},
        {false, 159, 8, 143, Range(0, 8)},
        {false, 160, 8, 143, {}},
        {false, 20, 100, 4, Range(92, 100)},
        {false, 20, 100, 3, {}},  // one above
        {false, 16, 168, 0, {}},
        // X 161-166 run through the clipped path: every column left of 160.
        {false, 16, 161, 0, Range(153, 160)},
        {false, 16, 164, 0, Range(156, 160)},
        // The line window away from the screen's edges, for Y = 100: a tall
        // sprite covers rows 84-99 (its solid lower tile 92-99), a short one
        // rows 84-91.
        {true, 100, 50, 92, Range(42, 50)},
        {true, 100, 50, 99, Range(42, 50)},
        {true, 100, 50, 100, {}},
        {false, 100, 50, 91, Range(42, 50)},
        {false, 100, 50, 92, {}},
    };
    for (const Case& c : cases) {
        m.LCDC = c.tall ? 0x95 : 0x91;
        m.Oam.fill(0);
        rig.Sprite(7, c.y, c.x, 1);
        rig.DrawLine(c.ly);
        EXPECT_EQ(ColumnsNot(c.ly, kWhite), c.columns)
            << "tall " << c.tall << " Y " << int(c.y) << " X " << int(c.x) << " LY " << c.ly;
    }
}

TEST_P(SpriteTest, PaletteBitChoosesObp1AndColourZeroIsTransparent) {
    rig.TileRow(1, 0, 0x55, 0x33);  // colour numbers 0, 1, 2, 3, 0, 1, 2, 3
    m.BGP = 0x00;                   // white background shows through colour 0
    struct Case {
        uint8_t obp0, obp1, attr;
        Color expected[4];
    };
    const Case cases[] = {
        {0xE4, 0x1B, 0x00, {kWhite, kLight, kDark, kBlack}},
        {0xE4, 0x1B, 0x10, {kWhite, kDark, kLight, kWhite}},
        {0xE4, 0x1B, 0x0F, {kWhite, kLight, kDark, kBlack}},  // bits 0-3 mean nothing
        {0xFF, 0xE4, 0x00, {kWhite, kBlack, kBlack, kBlack}},
        {0x00, 0xFF, 0x10, {kWhite, kBlack, kBlack, kBlack}},
    };
    for (const Case& c : cases) {
        m.OBP0 = c.obp0;
        m.OBP1 = c.obp1;
        m.BGP = 0x00;
        rig.Sprite(0, 16, 8, 1, c.attr);
        rig.DrawLine(0);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(rig.Pixel(x, 0), c.expected[x % 4]) << "attr " << int(c.attr);
        // Colour 0 writes nothing: over a black background it stays black.
        m.BGP = 0xFF;
        rig.DrawLine(0);
        EXPECT_EQ(rig.Pixel(0, 0), kBlack);
        EXPECT_EQ(rig.Pixel(4, 0), kBlack);
    }
}

TEST_P(SpriteTest, BehindBackgroundShowsOnlyOverExactWhite) {
    rig.SolidTile(1, 0xFF, 0xFF);  // sprite: colour 3
    struct Case {
        uint8_t bgp, bgColour, obp0, attr;
        bool shown;
    };
    const Case cases[] = {
        {0xE4, 0, 0xE4, 0x80, true},   // white background
        {0xE4, 1, 0xE4, 0x80, false},  // shade 1
        {0xE4, 2, 0xE4, 0x80, false},  // shade 2
        {0xE4, 3, 0xA4, 0x80, false},  // shade 3, under a dark sprite
        {0x01, 0, 0xE4, 0x80, false},  // colour 0 given shade 1 by BGP
        {0x1B, 3, 0xE4, 0x80, true},   // colour 3 given white by BGP
        {0xE4, 2, 0xE4, 0x00, true},   // priority bit clear
        {0xE4, 0, 0xA4, 0x80, true},
    };
    for (const Case& c : cases) {
        rig.SolidTile(0, (c.bgColour & 1) ? 0xFF : 0x00, (c.bgColour & 2) ? 0xFF : 0x00);
        m.BGP = c.bgp;
        m.OBP0 = c.obp0;
        rig.Sprite(0, 16, 8, 1, c.attr);
        rig.DrawLine(0);
        const Color background = ShadeOf(c.bgp, c.bgColour), sprite = ShadeOf(c.obp0, 3);
        ASSERT_NE(background, sprite);
        EXPECT_EQ(rig.Pixel(3, 0), c.shown ? sprite : background)
            << "BGP " << std::hex << int(c.bgp) << " colour " << int(c.bgColour) << " attr " << int(c.attr);
    }
}

// Entry 0 (OBP0, black) and entry 1 (OBP1, dark) overlap on columns 4..7.
TEST_P(SpriteTest, LowerEntryWinsAndItsPriorityLooksAtHigherEntries) {
    rig.SolidTile(1, 0xFF, 0xFF);
    m.OBP1 = 0x9B;  // colour 3 -> shade 2
    struct Case {
        uint8_t attr0;
        Color overlap, ownColumns;
    };
    const Case cases[] = {
        {0x00, kBlack, kBlack}, {0x80, kDark, kBlack},  // hidden where entry 1 is not white, shown over white
    };
    for (const Case& c : cases) {
        rig.Sprite(0, 16, 8, 1, c.attr0);
        rig.Sprite(1, 16, 12, 1, 0x10);
        rig.DrawLine(0);
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(rig.Pixel(x, 0), x < 4   ? c.ownColumns
                                       : x < 8 ? c.overlap
                                               : kDark)
                << "attr0 " << int(c.attr0) << " column " << x;
    }
    // The order is by entry number, not by position in the loop over a line.
    m.Oam.fill(0);
    rig.Sprite(30, 16, 8, 1, 0x10);
    rig.Sprite(3, 16, 8, 1);
    rig.DrawLine(0);
    EXPECT_EQ(rig.Pixel(0, 0), kBlack);
}

TEST_P(SpriteTest, NoLimitOnSpritesPerLine) {
    rig.SolidTile(1, 0xFF, 0xFF);
    for (int k = 0; k < 20; ++k) rig.Sprite(k, 16, uint8_t(8 + 8 * k), 1);
    rig.DrawLine(0);
    EXPECT_EQ(ColumnsNot(0, kWhite), Range(0, 160));
    // Entries 20..39 on the same line are drawn as well.
    m.Oam.fill(0);
    rig.SolidTile(2, 0xFF, 0x00);
    for (int k = 20; k < 40; ++k) rig.Sprite(k, 16, uint8_t(8 + 8 * (k - 20)), 2);
    rig.DrawLine(0);
    for (int x = 0; x < 160; x += 13) EXPECT_EQ(rig.Pixel(x, 0), kLight) << x;
}

TEST_P(SpriteTest, DrawnWhateverLcdcSaysAboutSpritesDisplayAndTileArea) {
    rig.SolidTile(1, 0xFF, 0xFF);
    for (uint8_t lcdc : {0x91, 0x93, 0x81, 0x11, 0x00}) {
        rig.Fill(kMarker);
        m.LCDC = lcdc;
        rig.Sprite(0, 16, 8, 1);
        m.LY = 0;
        rig.DrawSprites();
        EXPECT_EQ(ColumnsNot(0, kMarker), Range(0, 8)) << "LCDC " << std::hex << int(lcdc);
        EXPECT_EQ(rig.Pixel(0, 0), kBlack);
    }
}

// The read-back looks at every pixel of the block the mode writes: one white
// pixel among them lets the sprite through. The interlaced mode never writes
// nor reads the lower right pixel, so its white grid dot does not count.
TEST_P(SpriteTest, PriorityReadsEveryPixelOfTheBlock) {
    rig.SolidTile(1, 0xFF, 0xFF);
    const uint8_t mode = GetParam();
    const int blockPixels = mode == Mode1x1 ? 1 : 4;
    for (int p = 0; p < blockPixels; ++p) {
        rig.Fill(kDark);
        const int px = mode == Mode1x1 ? 0 : p % 2, py = mode == Mode1x1 ? 0 : p / 2;
        rig.surface->SetPixel(px, py, kWhite);
        rig.Sprite(0, 16, 8, 1, 0x80);
        m.LY = 0;
        rig.DrawSprites();
        const bool readable = !(mode == Mode2x2Interlaced && p == 3);
        EXPECT_EQ(rig.surface->GetPixel(0, 0), readable ? kBlack : (px == 0 && py == 0 ? kWhite : kDark))
            << "white at block pixel " << p;
        EXPECT_EQ(rig.surface->GetPixel(mode == Mode1x1 ? 8 : 16, 0), kDark);  // right of the sprite
    }
}

TEST_P(SpriteTest, NoSurfaceIsHarmless) {
    rig.SolidTile(1, 0xFF, 0xFF);
    rig.Sprite(0, 16, 8, 1, 0x80);
    rig.Fill(kMarker);
    rig.host.Screen = nullptr;
    rig.DrawSprites();
    m.host = nullptr;
    rig.DrawSprites();
    EXPECT_EQ(ColumnsNot(0, kMarker), std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(AllModes, SpriteTest, ::testing::Values(Mode1x1, Mode2x2, Mode2x2Interlaced),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

}  // namespace
}  // namespace wenlo::test
