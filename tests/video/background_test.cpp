#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "tests/video/video_rig.h"

namespace wenlo::test {
namespace {

class BackgroundTest : public ::testing::TestWithParam<uint8_t> {
protected:
    VideoRig rig{GetParam()};
    Machine& m = *rig.m;

    // Colour numbers of columns 0..count-1 of line y, decoded back through BGP 0xE4.
    std::vector<int> ColourNumbers(int y, int from, int count) {
        std::vector<int> out;
        for (int x = from; x < from + count; ++x) {
            const Color c = rig.Pixel(x, y);
            int n = -1;
            for (int i = 0; i < 4; ++i)
                if (ShadeColors[i] == c) n = i;
            out.push_back(n);
        }
        return out;
    }
};

// The pixel of the background as a reader of the hardware manual would pick
// it, one pixel at a time: the map entry under the scrolled position, the tile
// from 0x8000 or signed around 0x9000, the row and the bit.
int ReferenceColourNumber(const Machine& m, int x) {
    const int bx = (x + m.SCX) % 256, by = (m.LY + m.SCY) % 256;
    const int map = ((m.LCDC & 0x08) ? 0x1C00 : 0x1800) + (by / 8) * 32 + bx / 8;
    const int tile = m.VideoRam[map];
    const int base = (m.LCDC & 0x10) ? tile * 16 : 0x1000 + int8_t(tile) * 16;
    const int row = base + (by % 8) * 2;
    const int bit = 7 - bx % 8;
    return ((m.VideoRam[row + 1] >> bit) & 1) * 2 + ((m.VideoRam[row] >> bit) & 1);
}

TEST_P(BackgroundTest, MatchesPixelByPixelModelOverRandomVideoRam) {
    std::mt19937 random(1234);
    for (auto& b : m.VideoRam) b = uint8_t(random());
    // LCDC 0x81/0x89: signed tiles; 0x89/0x99: the map at 0x9C00.
    struct Case {
        uint8_t lcdc, scx, scy, ly;
    };
    const Case cases[] = {
        {0x91, 0, 0, 0}, {0x91, 3, 0, 0},     {0x91, 8, 0, 5},     {0x91, 250, 0, 77}, {0x91, 255, 255, 143},
        {0x81, 0, 0, 0}, {0x81, 13, 200, 60}, {0x99, 100, 3, 143}, {0x89, 7, 250, 10}, {0x91, 0, 113, 143},
    };
    for (const Case& c : cases) {
        m.LCDC = c.lcdc;
        m.SCX = c.scx;
        m.SCY = c.scy;
        rig.Fill(kMarker);
        rig.DrawLine(c.ly);
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(rig.Pixel(x, c.ly), ShadeColors[ReferenceColourNumber(m, x)])
                << "LCDC " << std::hex << int(c.lcdc) << std::dec << " SCX " << int(c.scx) << " SCY "
                << int(c.scy) << " LY " << int(c.ly) << " column " << x;
    }
}

TEST_P(BackgroundTest, DecodesTileRowLowByteFirstLeftmostBitSeven) {
    rig.TileRow(0, 0, 0x0F, 0x33);
    rig.DrawLine(0);
    EXPECT_EQ(ColourNumbers(0, 0, 8), (std::vector<int>{0, 0, 2, 2, 1, 1, 3, 3}));
}

TEST_P(BackgroundTest, MapsColourNumbersThroughBgp) {
    rig.TileRow(0, 0, 0x55, 0x33);  // colour numbers 0, 1, 2, 3, 0, 1, 2, 3
    struct Case {
        uint8_t bgp;
        Color expected[4];
    };
    const Case cases[] = {
        {0xE4, {0xFFFFFF, 0xE7E3E7, 0x525552, 0x000000}},
        {0x1B, {0x000000, 0x525552, 0xE7E3E7, 0xFFFFFF}},
        {0xFF, {0x000000, 0x000000, 0x000000, 0x000000}},
    };
    for (const Case& c : cases) {
        m.BGP = c.bgp;
        rig.DrawLine(0);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(rig.Pixel(x, 0), c.expected[x % 4]) << "BGP " << int(c.bgp);
    }
}

// One tile number in the whole first map row, its row 0 stored only where the
// LCDC setting must look for it: the whole line must show colour 1.
TEST_P(BackgroundTest, AddressesTileDataInBothAreas) {
    struct Case {
        uint8_t lcdc, tile;
        int rowIndex;
    };
    const Case cases[] = {
        {0x91, 0x00, 0x0000}, {0x91, 0x80, 0x0800}, {0x91, 0xFF, 0x0FF0}, {0x81, 0x00, 0x1000},
        {0x81, 0x7F, 0x17F0}, {0x81, 0x80, 0x0800}, {0x81, 0xFF, 0x0FF0},
    };
    for (const Case& c : cases) {
        m.VideoRam.fill(0);
        for (int col = 0; col < 32; ++col) m.VideoRam[0x1800 + col] = c.tile;
        m.VideoRam[c.rowIndex] = 0xFF;  // low bits set, high clear: colour 1
        m.LCDC = c.lcdc;
        rig.DrawLine(0);
        EXPECT_EQ(ColourNumbers(0, 0, 160), std::vector<int>(160, 1))
            << "LCDC " << std::hex << int(c.lcdc) << " tile " << int(c.tile);
    }
}

TEST_P(BackgroundTest, FineScrollShiftsTheFirstAndLastTile) {
    rig.TileRow(1, 0, 0x10, 0x00);  // only pixel 3 set
    rig.TileRow(2, 0, 0x20, 0x00);  // only pixel 2 set
    m.VideoRam[0x1800 + 0] = 1;
    m.VideoRam[0x1800 + 20] = 2;  // background column 162 = map column 20, pixel 2
    m.SCX = 3;
    rig.DrawLine(0);
    const std::vector<int> line = ColourNumbers(0, 0, 160);
    for (int x = 0; x < 160; ++x) EXPECT_EQ(line[x], (x == 0 || x == 159) ? 1 : 0) << "column " << x;
}

TEST_P(BackgroundTest, HorizontalScrollWrapsAroundTheMap) {
    rig.SolidTile(1, 0xFF, 0xFF);  // colour 3
    rig.SolidTile(2, 0xFF, 0x00);  // colour 1
    rig.SolidTile(3, 0x00, 0xFF);  // colour 2
    m.VideoRam[0x1800 + 31] = 1;
    m.VideoRam[0x1800 + 0] = 2;
    m.VideoRam[0x1800 + 1] = 3;
    m.SCX = 250;  // map column 31 from pixel 2 on, then 0, 1, ...
    rig.DrawLine(0);
    const std::vector<int> line = ColourNumbers(0, 0, 24);
    const std::vector<int> expected = {3, 3, 3, 3, 3, 3, 1, 1, 1, 1, 1, 1,
                                       1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0};
    EXPECT_EQ(line, expected);
}

TEST_P(BackgroundTest, VerticalScrollPicksMapRowAndTileRowAndWraps) {
    struct Case {
        uint8_t scy, ly;
        int mapRow, tileRow;
    };
    const Case cases[] = {
        {250, 10, 0, 4},    // background line 4
        {3, 0, 0, 3},       // background line 3
        {3, 143, 18, 2},    // background line 146
        {255, 1, 0, 0},     // background line 0 after the wrap
        {200, 143, 10, 7},  // background line 343 - 256 = 87
    };
    for (const Case& c : cases) {
        m.VideoRam.fill(0);
        for (int col = 0; col < 32; ++col) m.VideoRam[0x1800 + c.mapRow * 32 + col] = 1;
        rig.TileRow(1, c.tileRow, 0x00, 0xFF);  // colour 2 only in the expected row
        m.SCY = c.scy;
        rig.DrawLine(c.ly);
        EXPECT_EQ(ColourNumbers(c.ly, 0, 160), std::vector<int>(160, 2))
            << "SCY " << int(c.scy) << " LY " << int(c.ly);
    }
}

TEST_P(BackgroundTest, WritesEveryColumnOfItsLineAndNothingElse) {
    rig.Fill(kMarker);
    rig.DrawLine(5);
    for (int y = 0; y < 144; ++y)
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(rig.Pixel(x, y), y == 5 ? ShadeColors[0] : kMarker) << x << ", " << y;
}

TEST_P(BackgroundTest, GuardsLeaveTheLineAlone) {
    struct Case {
        const char* name;
        void (*setup)(Machine&);
        bool draws;
    };
    const Case cases[] = {
        {"display off", [](Machine& m) { m.LCDC = 0x11; }, false},
        {"paused", [](Machine& m) { m.Paused = true; }, false},
        {"not running", [](Machine& m) { m.Running = false; }, false},
        {"LY 144", [](Machine& m) { m.LY = 144; }, false},
        {"LY 255", [](Machine& m) { m.LY = 255; }, false},
        {"LCDC bit 0 clear", [](Machine& m) { m.LCDC = 0x90; }, true},
        {"LY 143", [](Machine& m) { m.LY = 143; }, true},
    };
    for (const Case& c : cases) {
        VideoRig fresh(GetParam());
        fresh.Fill(kMarker);
        fresh.m->LY = 0;
        c.setup(*fresh.m);
        fresh.DrawBackground();
        const int y = fresh.m->LY < 144 ? fresh.m->LY : 0;
        int written = 0;
        for (int x = 0; x < 160; ++x) written += fresh.Pixel(x, y) != kMarker;
        EXPECT_EQ(written, c.draws ? 160 : 0) << c.name;
    }
}

TEST_P(BackgroundTest, NoSurfaceDrawsNothingAndChangesNothing) {
    rig.Fill(kMarker);
    m.LY = 7;
    rig.host.Screen = nullptr;  // a host without a picture
    rig.DrawBackground();
    m.host = nullptr;  // headless
    rig.DrawBackground();
    EXPECT_EQ(m.LY, 7);
    EXPECT_EQ(rig.Pixel(0, 7), kMarker);
}

INSTANTIATE_TEST_SUITE_P(AllModes, BackgroundTest, ::testing::Values(Mode1x1, Mode2x2, Mode2x2Interlaced),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

}  // namespace
}  // namespace wenlo::test
