// The picture unit's drawing: background and window, the window's line
// counter, sprites (the ten-sprite limit, priority, the behind-background
// flag, tall sprites, flips), the LCDC switches, and the display modes.
#include <gtest/gtest.h>

#include <vector>

#include "tests/handheld/ppu_rig.h"

namespace wenlo::hh::test {
namespace {

constexpr uint16_t kMap0 = 0x9800, kMap1 = 0x9C00;

// Tiles 1-3 solid in colours 1-3; palettes 0xE4 (shade = colour), OBP1
// 0x1B (reversed).
class PpuPicture : public ::testing::TestWithParam<uint8_t> {
protected:
    PpuRig rig{GetParam()};

    PpuPicture() {
        for (int c = 1; c < 4; ++c) rig.SolidTile(c, c);
    }
    int Pixel(int x, int y) const { return rig.Pixel(x, y); }
    // Columns of line y that show shade s.
    std::vector<int> Columns(int y, int s) const {
        std::vector<int> out;
        for (int x = 0; x < kScreenWidth; ++x)
            if (Pixel(x, y) == s) out.push_back(x);
        return out;
    }
    static std::vector<int> Range(int from, int to) {
        std::vector<int> out;
        for (int x = from; x < to; ++x) out.push_back(x);
        return out;
    }
};

TEST_P(PpuPicture, BackgroundScrollMapsAndTileData) {
    struct Case {
        const char* what;
        uint8_t lcdc, scx, scy;
        int x, y, shade;
    };
    const Case cases[] = {
        {"scrolled tile, inside", 0x91, 3, 2, 4, 5, 3},
        {"scrolled tile, right of it", 0x91, 3, 2, 5, 5, 0},
        {"scrolled tile, below it", 0x91, 3, 2, 4, 6, 0},
        {"wraps at 256", 0x91, 0, 0, 0, 0, 3},
        {"the map row wraps to its start", 0x91, 250, 0, 6, 0, 3},
        {"the map row wraps: left of it", 0x91, 250, 0, 5, 0, 0},
        {"the map row wraps: right of it", 0x91, 250, 0, 14, 0, 0},
        {"map 0x9C00", 0x99, 0, 0, 0, 0, 1},
        {"tile data from 0x8800, signed", 0x81, 0, 0, 8, 0, 2},
    };
    rig.h->vram[kMap0 - 0x8000] = 3;  // map 0 entry (0, 0)
    rig.FillMap(kMap1, 1);
    rig.SolidTile(256, 2);  // 0x9000: tile 0 of the signed numbering
    for (const Case& c : cases) {
        rig.Write(kLcdc, c.lcdc);
        rig.Write(kScx, c.scx);
        rig.Write(kScy, c.scy);
        rig.DrawFrame(int(rig.h->now / kFrameCycles) + 1);
        EXPECT_EQ(Pixel(c.x, c.y), c.shade) << c.what;
    }
}

TEST_P(PpuPicture, WindowPlacement) {
    struct Case {
        const char* what;
        uint8_t lcdc, wx, wy;
        int x, y, shade;
    };
    const Case cases[] = {
        {"WX 7 is the left edge", 0xF1, 7, 0, 0, 0, 3},
        {"left of WX", 0xF1, 47, 30, 39, 30, 0},
        {"at WX", 0xF1, 47, 30, 40, 30, 3},
        {"above WY", 0xF1, 47, 30, 40, 29, 0},
        {"WX 166: the last column", 0xF1, 166, 0, 159, 0, 3},
        {"WX 166: the column before", 0xF1, 166, 0, 158, 0, 0},
        {"WX 167 hides it", 0xF1, 167, 0, 159, 0, 0},
        {"WY beyond the screen", 0xF1, 7, 144, 0, 143, 0},
        {"LCDC bit 5 clear", 0xD1, 7, 0, 0, 0, 0},
        {"map 0x9800 with LCDC bit 6 clear", 0xB9, 7, 0, 0, 0, 2},
        {"LCDC bit 0 clear hides it too", 0xF0, 7, 0, 0, 0, 0},
    };
    rig.FillMap(kMap1, 3);  // window (bit 6 set) black
    rig.FillMap(kMap0, 2);  // window with bit 6 clear
    for (const Case& c : cases) {
        // The background: map 0 where bit 3 is clear, else map 1 with tile 0.
        rig.Write(kLcdc, c.lcdc);
        if (!(c.lcdc & 0x40))
            rig.FillMap(kMap1, 0);
        else
            rig.FillMap(kMap0, 0);
        rig.Write(kWx, c.wx);
        rig.Write(kWy, c.wy);
        rig.DrawFrame(int(rig.h->now / kFrameCycles) + 1);
        EXPECT_EQ(Pixel(c.x, c.y), c.shade) << c.what;
        rig.FillMap(kMap1, 3);
        rig.FillMap(kMap0, 2);
    }
}

// The window's rows count only the lines it was drawn on: hidden for lines
// 2-9, it goes on with its row 2 at line 10.
TEST_P(PpuPicture, WindowLineCounter) {
    rig.FillMap(kMap1, 3);                                                 // window rows 0-7: black
    for (int i = 32; i < 0x400; ++i) rig.h->vram[kMap1 - 0x8000 + i] = 1;  // rows 8 on: light
    rig.Write(kWx, 7);
    rig.Write(kWy, 0);
    rig.Write(kLcdc, 0xF1);
    rig.RunTo(PpuRig::At(2));
    rig.Write(kLcdc, 0xD1);
    rig.RunTo(PpuRig::At(10));
    rig.Write(kLcdc, 0xF1);
    rig.DrawFrame(0);
    EXPECT_EQ(Pixel(0, 1), 3);
    EXPECT_EQ(Pixel(0, 2), 0) << "hidden";
    EXPECT_EQ(Pixel(0, 9), 0) << "hidden";
    EXPECT_EQ(Pixel(0, 10), 3) << "window row 2";
    EXPECT_EQ(Pixel(0, 15), 3) << "window row 7";
    EXPECT_EQ(Pixel(0, 16), 1) << "window row 8";
    // WX moved off the screen stops the counter the same way.
    rig.RunTo(PpuRig::At(20, 300, 1));
    rig.Write(kWx, 200);
    rig.RunTo(PpuRig::At(22, 300, 1));
    rig.Write(kWx, 7);
    rig.DrawFrame(1);
    EXPECT_EQ(Pixel(0, 20), 1);
    EXPECT_EQ(Pixel(0, 21), 0);
    EXPECT_EQ(Pixel(0, 23), 1);
    // The counter starts again each frame.
    rig.DrawFrame(2);
    EXPECT_EQ(Pixel(0, 7), 3);
    EXPECT_EQ(Pixel(0, 8), 1);
}

TEST_P(PpuPicture, TenSpritesALineInOamOrder) {
    rig.Write(kLcdc, 0x93);
    for (int i = 0; i < 11; ++i) rig.Sprite(i, 16 + 40, uint8_t(8 + 12 * i), 3);
    rig.DrawFrame(0);
    std::vector<int> expected;
    for (int i = 0; i < 10; ++i)
        for (int x = 12 * i; x < 12 * i + 8; ++x) expected.push_back(x);
    EXPECT_EQ(Columns(40, 3), expected) << "the eleventh is left out";
    // Sprites off the screen to the left or right still count.
    for (int i = 0; i < 10; ++i) rig.Sprite(i, 16 + 40, i % 2 ? 0 : 200, 3);
    rig.DrawFrame(1);
    EXPECT_EQ(Columns(40, 3), std::vector<int>{});
    // Another line has its own ten.
    rig.Sprite(10, 16 + 48, 8, 3);
    rig.DrawFrame(2);
    EXPECT_EQ(Columns(48, 3), Range(0, 8));
}

TEST_P(PpuPicture, SpritePriority) {
    // Tile 4: colour 3 in its left four pixels only.
    for (int row = 0; row < 8; ++row) rig.TileRow(4, row, 0xF0, 0xF0);
    struct Case {
        const char* what;
        uint8_t x0, tile0, x1, tile1, attr1;
        int column, shade;
    };
    const Case cases[] = {
        // Entry 0 shade 3 (OBP0), entry 1 shade 2 (colour 1 through OBP1).
        {"lower X wins over the lower entry", 20, 3, 16, 1, 0x10, 13, 2},
        {"same X: the lower entry wins", 16, 3, 16, 1, 0x10, 10, 3},
        {"outside the overlap each shows", 20, 3, 16, 1, 0x10, 9, 2},
        {"outside the overlap each shows", 20, 3, 16, 1, 0x10, 17, 3},
        {"transparent pixels let the one below show", 16, 4, 16, 1, 0x10, 13, 2},
        {"opaque pixels of the winner", 16, 4, 16, 1, 0x10, 9, 3},
    };
    rig.Write(kLcdc, 0x93);
    int frame = 0;
    for (const Case& c : cases) {
        rig.Sprite(0, 16 + 30, c.x0, c.tile0);
        rig.Sprite(1, 16 + 30, c.x1, c.tile1, c.attr1);
        rig.DrawFrame(frame++);
        EXPECT_EQ(Pixel(c.column, 30), c.shade) << c.what << " at " << c.column;
    }
}

// The flag puts a sprite behind background colours 1-3 (the colour number,
// whatever the palette makes of it); its opaque pixels still win over the
// sprites below it.
TEST_P(PpuPicture, BehindBackground) {
    struct Case {
        const char* what;
        uint8_t lcdc, bgTile, bgp, attr;
        bool second;  // entry 1 at the same place without the flag
        int shade;
    };
    const Case cases[] = {
        {"over colour 0", 0x93, 0, 0xE4, 0x80, false, 3},
        {"behind colour 2", 0x93, 2, 0xE4, 0x80, false, 2},
        {"behind colour 1 shown white", 0x93, 1, 0xE0, 0x80, false, 0},
        {"without the flag", 0x93, 2, 0xE4, 0x00, false, 3},
        {"hides the sprite below it", 0x93, 2, 0xE4, 0x80, true, 2},
        {"LCDC bit 0 clear: the background is white colour 0", 0x92, 2, 0xFF, 0x80, false, 3},
        {"LCDC bit 1 clear: no sprites", 0x91, 0, 0xE4, 0x00, false, 0},
    };
    int frame = 0;
    for (const Case& c : cases) {
        rig.FillMap(kMap0, c.bgTile);
        rig.Write(kBgp, c.bgp);
        rig.Write(kLcdc, c.lcdc);
        rig.Sprite(0, 16 + 30, 8 + 50, 3, c.attr);
        rig.Sprite(1, c.second ? 16 + 30 : 0, 8 + 50, 3, 0x10);  // white through OBP1
        rig.DrawFrame(frame++);
        EXPECT_EQ(Pixel(52, 33), c.shade) << c.what;
    }
}

// Tile 0x24 row r has one pixel of colour 3 at column r, tile 0x25 the same
// in colour 1: the pixel drawn tells the tile, the row and the way round.
TEST_P(PpuPicture, FlipsAndTallSprites) {
    for (int r = 0; r < 8; ++r) {
        rig.TileRow(0x24, r, uint8_t(0x80 >> r), uint8_t(0x80 >> r));
        rig.TileRow(0x25, r, uint8_t(0x80 >> r), 0);
    }
    struct Case {
        bool tall;
        uint8_t tile, attr;
        int row, column, shade;
    };
    const Case cases[] = {
        {false, 0x24, 0x00, 2, 2, 3}, {false, 0x24, 0x20, 2, 5, 3}, {false, 0x24, 0x40, 2, 5, 3},
        {false, 0x24, 0x60, 1, 1, 3}, {false, 0x25, 0x00, 3, 3, 1}, {true, 0x25, 0x00, 3, 3, 3},
        {true, 0x25, 0x00, 11, 3, 1}, {true, 0x24, 0x40, 15, 0, 3}, {true, 0x25, 0x40, 2, 5, 1},
        {true, 0x25, 0x60, 12, 4, 3},
    };
    int frame = 0;
    for (const Case& c : cases) {
        rig.Write(kLcdc, c.tall ? 0x97 : 0x93);
        rig.Sprite(0, 16 + 20, 8 + 40, c.tile, c.attr);
        rig.DrawFrame(frame++);
        std::vector<int> drawn;
        for (int x = 40; x < 48; ++x)
            if (Pixel(x, 20 + c.row) != 0) drawn.push_back(x);
        EXPECT_EQ(drawn, std::vector<int>{40 + c.column})
            << "tall " << c.tall << " tile " << std::hex << int(c.tile) << " attr " << int(c.attr);
        EXPECT_EQ(Pixel(40 + c.column, 20 + c.row), c.shade);
    }
}

// OAM written between the lines of tall sprites: the next line draws and
// layers them as OAM holds them then.
TEST_P(PpuPicture, SpritesMovedBetweenTheirLines) {
    rig.Write(kLcdc, 0x97);                   // 8x16: rows 0-7 from tile 2, solid colour 2
    rig.Sprite(0, 16 + 20, 8 + 40, 2);        // shade 2
    rig.Sprite(1, 16 + 20, 8 + 44, 2, 0x10);  // shade 1
    rig.RunTo(PpuRig::At(21, 300));
    rig.OamWrite(1, 8 + 48);  // entry 0 to the right of entry 1
    rig.RunTo(PpuRig::At(23, 300));
    rig.OamWrite(7, 0x00);  // entry 1 through OBP0
    rig.DrawFrame(0);
    EXPECT_EQ(Columns(21, 2), Range(40, 48));
    EXPECT_EQ(Columns(21, 1), Range(48, 52));
    EXPECT_EQ(Columns(22, 1), Range(44, 52)) << "entry 1 now has the lower X";
    EXPECT_EQ(Columns(22, 2), Range(52, 56));
    EXPECT_EQ(Columns(23, 1), Range(44, 52));
    EXPECT_EQ(Columns(24, 2), Range(44, 56));
}

TEST_P(PpuPicture, SpritesAtTheEdges) {
    rig.Write(kLcdc, 0x93);
    rig.Sprite(0, 16 + 5, 4, 3);     // half off the left
    rig.Sprite(1, 16 + 20, 164, 3);  // half off the right
    rig.Sprite(2, 12, 60, 3);        // half above: rows 4-7 at lines 0-3
    rig.DrawFrame(0);
    EXPECT_EQ(Columns(5, 3), Range(0, 4));
    EXPECT_EQ(Columns(20, 3), Range(156, 160));
    EXPECT_EQ(Columns(3, 3), Range(52, 60));
    EXPECT_EQ(Columns(4, 3), std::vector<int>{});
}

// A register written mid-frame shows from the line drawn after it: lines
// are drawn at the end of their mode 3.
TEST_P(PpuPicture, RegistersTakeEffectPerLine) {
    rig.FillMap(kMap0, 1);
    rig.RunTo(PpuRig::At(72, 300));
    rig.Write(kBgp, 0xEC);  // colour 1 black
    rig.RunTo(PpuRig::At(100, 40));
    rig.Write(kBgp, 0xE4);  // colour 1 light again, written in mode 2
    rig.DrawFrame(0);
    EXPECT_EQ(Pixel(10, 72), 1);
    EXPECT_EQ(Pixel(10, 73), 3);
    EXPECT_EQ(Pixel(10, 99), 3);
    EXPECT_EQ(Pixel(10, 100), 1);
}

TEST_P(PpuPicture, BlocksOfTheDisplayMode) {
    rig.FillMap(kMap0, 3);
    rig.DrawFrame(0);
    const uint8_t mode = GetParam();
    const int scale = mode == Mode1x1 ? 1 : 2;
    for (int y : {0, 77, 143})
        for (int x : {0, 93, 159})
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx) {
                    const bool gridDot = mode == Mode2x2Interlaced && dx == 1 && dy == 1;
                    EXPECT_EQ(rig.surface->GetPixel(scale * x + dx, scale * y + dy),
                              gridDot ? kMarker : ShadeColors[3])
                        << x << "," << y << " +" << dx << "," << dy;
                }
    // Turned off, the picture is white, the grid dots still untouched.
    rig.Write(kLcdc, 0x11);
    PpuPresent(*rig.h);
    EXPECT_EQ(rig.surface->GetPixel(0, 0), ShadeColors[0]);
    EXPECT_EQ(rig.surface->GetPixel(scale * 160 - 1, scale * 144 - 2), ShadeColors[0]);
    if (mode == Mode2x2Interlaced) {
        EXPECT_EQ(rig.surface->GetPixel(1, 1), kMarker);
    }
}

TEST(PpuPictureNoHost, RunsWithoutASurface) {
    PpuRig rig;
    rig.host.Screen = nullptr;
    rig.DrawFrame(0);
    rig.h->host = nullptr;
    rig.DrawFrame(1);
    PpuPresent(*rig.h);
    EXPECT_TRUE(rig.h->ppu.frameReady);
}

TEST(PpuPictureSmallSurface, ClipsToTheSurface) {
    PpuRig rig(Mode2x2);
    rig.surface->Resize(100, 50);
    for (int c = 1; c < 4; ++c) rig.SolidTile(c, c);
    rig.FillMap(kMap0, 2);
    rig.DrawFrame(0);
    EXPECT_EQ(rig.ShadeAt(99, 49), 2);
}

std::string ModeName(const ::testing::TestParamInfo<uint8_t>& info) {
    return info.param == Mode1x1 ? "Mode1x1" : info.param == Mode2x2 ? "Mode2x2" : "Interlaced";
}

INSTANTIATE_TEST_SUITE_P(Modes, PpuPicture, ::testing::Values(Mode1x1, Mode2x2, Mode2x2Interlaced), ModeName);

}  // namespace
}  // namespace wenlo::hh::test
