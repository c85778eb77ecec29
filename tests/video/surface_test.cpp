#include "video/surface.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace wenlo {
namespace {

constexpr Color kMarker = 0x123456;

TEST(SurfaceTest, ShadesFollowThePaletteRegister) {
    struct Case {
        uint8_t palette;
        Color expected[4];
    };
    const Case cases[] = {
        {0xE4, {0xFFFFFF, 0xE7E3E7, 0x525552, 0x000000}}, {0x1B, {0x000000, 0x525552, 0xE7E3E7, 0xFFFFFF}},
        {0xFF, {0x000000, 0x000000, 0x000000, 0x000000}}, {0x00, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
        {0xFC, {0xFFFFFF, 0x000000, 0x000000, 0x000000}},
    };
    for (const Case& c : cases) {
        const std::array<Color, 4> table = PaletteColors(c.palette);
        for (int n = 0; n < 4; ++n) {
            EXPECT_EQ(ShadeOf(c.palette, n), c.expected[n]) << std::hex << int(c.palette) << " colour " << n;
            EXPECT_EQ(table[n], c.expected[n]);
        }
    }
}

TEST(SurfaceTest, StartsWhiteAndReturnsExactlyWhatWasSet) {
    auto s = std::make_unique<Surface>();
    EXPECT_EQ(s->Width(), 160);
    EXPECT_EQ(s->Height(), 144);
    EXPECT_EQ(s->GetPixel(0, 0), ShadeColors[0]);
    EXPECT_EQ(s->GetPixel(159, 143), ShadeColors[0]);
    const std::pair<int, int> spots[] = {{0, 0}, {159, 0}, {0, 143}, {159, 143}, {77, 31}};
    for (auto [x, y] : spots) {
        s->SetPixel(x, y, Color(x * 1000 + y));
        EXPECT_EQ(s->GetPixel(x, y), Color(x * 1000 + y)) << x << ", " << y;
    }
}

TEST(SurfaceTest, IgnoresWritesOutsideTheAreaAndReadsThemAsInvalid) {
    auto s = std::make_unique<Surface>();
    const std::pair<int, int> outside[] = {{-1, 0},  {-1, 1},  {-2, 3},   {0, -1},
                                           {160, 0}, {0, 144}, {332, 10}, {-100000, 5}};
    for (auto [x, y] : outside) {
        s->SetPixel(x, y, kMarker);
        EXPECT_EQ(s->GetPixel(x, y), kInvalidColor) << x << ", " << y;
    }
    // Nothing inside changed, and nothing wrapped onto another row.
    for (int y = 0; y < Surface::kMaxHeight; ++y)
        for (int x = 0; x < Surface::kMaxWidth; ++x)
            ASSERT_EQ(s->Pixels()[y * Surface::Stride() + x], ShadeColors[0]) << x << ", " << y;
}

TEST(SurfaceTest, ResizeKeepsPixelsAndClamps) {
    auto s = std::make_unique<Surface>();
    s->Resize(320, 288);
    s->SetPixel(300, 200, kMarker);
    s->Resize(160, 144);  // the 1x1 picture cuts the old image off...
    EXPECT_EQ(s->GetPixel(300, 200), kInvalidColor);
    s->SetPixel(300, 200, 0);
    s->Resize(320, 288);  // ...and a larger one shows it again
    EXPECT_EQ(s->GetPixel(300, 200), kMarker);
    s->Resize(1000, -5);
    EXPECT_EQ(s->Width(), Surface::kMaxWidth);
    EXPECT_EQ(s->Height(), 0);
    EXPECT_EQ(s->GetPixel(0, 0), kInvalidColor);
}

TEST(SurfaceTest, ClearFillsEverythingWithTheBackColour) {
    auto s = std::make_unique<Surface>();
    s->Resize(320, 288);
    s->SetPixel(319, 287, kMarker);
    s->SetBackColor(0x525552);
    EXPECT_EQ(s->GetPixel(319, 287), kMarker);  // only a clear applies it
    s->Clear();
    EXPECT_EQ(s->GetPixel(319, 287), 0x525552u);
    EXPECT_EQ(s->GetPixel(0, 0), 0x525552u);
}

// Which surface pixels a block write touches, on a surface of the mode's size.
std::set<std::pair<int, int>> Touched(uint8_t mode, int x, int y) {
    auto s = std::make_unique<Surface>();
    s->Resize(ModeWidth(mode), ModeHeight(mode));
    s->SetBackColor(kMarker);
    s->Clear();
    if (mode == Mode1x1) PutBlock<Mode1x1>(*s, x, y, 0);
    if (mode == Mode2x2) PutBlock<Mode2x2>(*s, x, y, 0);
    if (mode == Mode2x2Interlaced) PutBlock<Mode2x2Interlaced>(*s, x, y, 0);
    std::set<std::pair<int, int>> out;
    for (int py = 0; py < Surface::kMaxHeight; ++py)
        for (int px = 0; px < Surface::kMaxWidth; ++px)
            if (s->Pixels()[py * Surface::Stride() + px] != kMarker) out.insert({px, py});
    return out;
}

TEST(SurfaceTest, PixelBlocksOfTheThreeModes) {
    using Set = std::set<std::pair<int, int>>;
    struct Case {
        uint8_t mode;
        int x, y;
        Set expected;
    };
    const Case cases[] = {
        {Mode1x1, 0, 0, {{0, 0}}},
        {Mode1x1, 159, 143, {{159, 143}}},
        {Mode1x1, 160, 5, {}},
        {Mode2x2, 0, 0, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {Mode2x2, 10, 7, {{20, 14}, {21, 14}, {20, 15}, {21, 15}}},
        {Mode2x2, 159, 143, {{318, 286}, {319, 286}, {318, 287}, {319, 287}}},
        {Mode2x2, 166, 3, {}},  // columns 332 and 333 lie beyond the picture
        {Mode2x2Interlaced, 10, 7, {{20, 14}, {21, 14}, {20, 15}}},
        {Mode2x2Interlaced, 159, 143, {{318, 286}, {319, 286}, {318, 287}}},
        {Mode2x2Interlaced, 160, 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Touched(c.mode, c.x, c.y), c.expected)
            << "mode " << int(c.mode) << " (" << c.x << ", " << c.y << ")";
}

TEST(SurfaceTest, InterlacedGridDotKeepsTheBackColour) {
    auto s = std::make_unique<Surface>();
    s->Resize(320, 288);
    s->Clear();
    for (int y = 0; y < 144; ++y)
        for (int x = 0; x < 160; ++x) PutBlock<Mode2x2Interlaced>(*s, x, y, ShadeColors[3]);
    for (int py = 0; py < 288; ++py)
        for (int px = 0; px < 320; ++px)
            ASSERT_EQ(s->GetPixel(px, py), (px % 2 && py % 2) ? ShadeColors[0] : ShadeColors[3])
                << px << ", " << py;
}

TEST(SurfaceTest, BlockReadBackFindsTheColourInAnyPixelItWrites) {
    auto s = std::make_unique<Surface>();
    s->Resize(320, 288);
    const std::pair<int, int> offsets[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        s->SetBackColor(kMarker);
        s->Clear();
        s->SetPixel(40 + offsets[i].first, 20 + offsets[i].second, ShadeColors[0]);
        EXPECT_EQ(BlockHas<Mode1x1>(*s, 40, 20, ShadeColors[0]), i == 0) << i;
        EXPECT_EQ(BlockHas<Mode2x2>(*s, 20, 10, ShadeColors[0]), true) << i;
        EXPECT_EQ(BlockHas<Mode2x2Interlaced>(*s, 20, 10, ShadeColors[0]), i != 3) << i;
        EXPECT_FALSE(BlockHas<Mode2x2>(*s, 21, 10, ShadeColors[0])) << i;
    }
}

}  // namespace
}  // namespace wenlo
