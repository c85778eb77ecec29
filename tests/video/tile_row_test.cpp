// The renderers' building blocks: the whole-row tile decode and the raw
// block access of one line, each against the plain one-pixel-at-a-time rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <random>

#include "video/block_line_internal.h"
#include "video/sprite_quad_internal.h"
#include "video/surface.h"
#include "video/tile_row_internal.h"

namespace wenlo {
namespace {

constexpr Color kMarker = 0x123456;

// Every pair of row bytes: pixel i (from the left) of the decoded pattern is
// the colour number of bit 7 - i, or of bit i for the mirrored decode, and
// the pair bytes agree with the single pixels.
TEST(TileRowTest, DecodesEveryRowExactlyAsTheBitRule) {
    for (int low = 0; low < 256; ++low)
        for (int high = 0; high < 256; ++high) {
            const uint32_t plain = TileRowPattern(uint8_t(low), uint8_t(high));
            const uint32_t mirrored = TileRowPatternFlipped(uint8_t(low), uint8_t(high));
            ASSERT_EQ(plain == 0, low == 0 && high == 0);
            for (int i = 0; i < 8; ++i) {
                const int bit = 7 - i;
                const int expected = ((high >> bit) & 1) << 1 | ((low >> bit) & 1);
                const int expectedMirrored = ((high >> i) & 1) << 1 | ((low >> i) & 1);
                ASSERT_EQ(PatternColour(plain, i), expected) << low << " " << high << " pixel " << i;
                ASSERT_EQ(PatternColour(mirrored, i), expectedMirrored)
                    << low << " " << high << " pixel " << i;
            }
            for (int k = 0; k < 4; ++k)
                ASSERT_EQ(PatternPair(plain, k),
                          PatternColour(plain, 2 * k) << 2 | PatternColour(plain, 2 * k + 1))
                    << low << " " << high << " pair " << k;
        }
}

// The 1x1 sprite quads under every palette register, both row directions:
// each pixel reads its palette's shade, and it is drawn exactly when its
// colour number is not 0, whatever shade colour 0 maps to.
TEST(TileRowTest, SpriteQuadsFollowEveryPaletteAndColourZeroStaysTransparent) {
    const uint8_t planeBytes[] = {0x00, 0xFF, 0x80, 0x01, 0x0F, 0xF0, 0x5A, 0xC3};
    const auto* const tables = reinterpret_cast<const char*>(&kSpriteQuads);
    for (int palette = 0; palette < 256; ++palette)
        for (const bool flipped : {false, true})
            for (const uint8_t low : planeBytes)
                for (const uint8_t high : planeBytes) {
                    const RowQuads quads =
                        SpriteRowQuads(low, high, SpritePlanes(flipped), SpritePalette(uint8_t(palette)));
                    for (int i = 0; i < 8; ++i) {
                        const int bit = flipped ? i : 7 - i, shift = i < 4 ? 0 : 16;
                        const int colour = ((high >> bit) & 1) << 1 | ((low >> bit) & 1);
                        const auto pixel = [&](size_t table, uint32_t word) {
                            const auto* quad = reinterpret_cast<const ColorQuad*>(tables + table +
                                                                                  ((word >> shift) & 0xFFFF));
                            return quad->pixels[i % 4];
                        };
                        ASSERT_EQ(pixel(offsetof(SpriteQuadTables, shades), quads.shades),
                                  ShadeOf(uint8_t(palette), colour))
                            << palette << " " << flipped << " " << int(low) << " " << int(high) << " " << i;
                        ASSERT_EQ(pixel(offsetof(SpriteQuadTables, opaque), quads.opaque),
                                  colour != 0 ? 0xFFFFFFFFu : 0u)
                            << palette << " " << flipped << " " << int(low) << " " << int(high) << " " << i;
                    }
                }
}

TEST(TileRowTest, PairTablesFollowTheColoursAndTheModeLayout) {
    const std::array<Color, 4> colours = {10, 20, 30, 40};
    const PairTable<Mode1x1> narrow = MakePairTable<Mode1x1>(colours);
    const PairTable<Mode2x2> wide = MakePairTable<Mode2x2>(colours);
    for (int pair = 0; pair < 16; ++pair) {
        const Color left = colours[pair >> 2], right = colours[pair & 3];
        EXPECT_EQ(narrow[pair], (PairRow<Mode1x1>{left, right})) << pair;
        EXPECT_EQ(wide[pair], (PairRow<Mode2x2>{left, left, right, right})) << pair;
        // Opaque exactly where the colour number is not 0.
        EXPECT_EQ(kOpaquePixels<Mode1x1>[pair][0] != 0, (pair >> 2) != 0) << pair;
        EXPECT_EQ(kOpaquePixels<Mode1x1>[pair][1] != 0, (pair & 3) != 0) << pair;
        EXPECT_EQ(kOpaquePixels<Mode2x2Interlaced>[pair][1] != 0, (pair >> 2) != 0) << pair;
        EXPECT_EQ(kOpaquePixels<Mode2x2Interlaced>[pair][2] != 0, (pair & 3) != 0) << pair;
        // The interlaced lower row never covers its grid dots.
        const PairRow<Mode2x2Interlaced>& lower = kOpaquePixels<Mode2x2Interlaced, true>[pair];
        EXPECT_EQ(lower[0] != 0, (pair >> 2) != 0) << pair;
        EXPECT_EQ(lower[2] != 0, (pair & 3) != 0) << pair;
        EXPECT_EQ(lower[1] | lower[3], 0u) << pair;
    }
}

TEST(BlockLineTest, ColumnsAreThoseWhoseWholeBlockIsInside) {
    struct Case {
        uint8_t mode;
        int width, height, y, columns;
    };
    const Case cases[] = {
        {Mode1x1, 160, 144, 0, 160},
        {Mode1x1, 160, 144, 143, 160},
        {Mode1x1, 160, 144, 144, 0},
        {Mode1x1, 320, 288, 200, 320},
        {Mode1x1, 7, 144, 3, 7},
        {Mode2x2, 320, 288, 143, 160},
        {Mode2x2, 319, 288, 0, 159},
        {Mode2x2, 320, 287, 143, 0},
        {Mode2x2, 320, 287, 142, 160},
        {Mode2x2, 160, 144, 71, 80},
        {Mode2x2Interlaced, 321, 288, 0, 160},
        {Mode2x2Interlaced, 320, 1, 0, 0},
    };
    for (const Case& c : cases) {
        auto s = std::make_unique<Surface>();
        s->Resize(c.width, c.height);
        int columns = -1;
        if (c.mode == Mode1x1) columns = BlockLine<Mode1x1>(*s, c.y).Columns();
        if (c.mode == Mode2x2) columns = BlockLine<Mode2x2>(*s, c.y).Columns();
        if (c.mode == Mode2x2Interlaced) columns = BlockLine<Mode2x2Interlaced>(*s, c.y).Columns();
        EXPECT_EQ(columns, std::min(c.columns, Surface::kMaxWidth))
            << "mode " << int(c.mode) << " " << c.width << "x" << c.height << " y " << c.y;
    }
}

// Each write of a BlockLine leaves the surface exactly as the clipped block
// writes would: the same pixels, nothing around them. Has agrees with
// BlockHas on random surfaces.
template <DisplayModes Mode>
void CheckAgainstBlockWrites() {
    std::mt19937 random(99 + Mode);
    auto fast = std::make_unique<Surface>();
    auto slow = std::make_unique<Surface>();
    for (Surface* s : {fast.get(), slow.get()}) {
        s->Resize(ModeWidth(Mode), ModeHeight(Mode));
        s->SetBackColor(kMarker);
        s->Clear();
    }
    const std::array<Color, 4> shades = {ShadeColors[0], ShadeColors[1], ShadeColors[2], ShadeColors[3]};
    const PairTable<Mode> pairs = MakePairTable<Mode>(shades);
    for (int step = 0; step < 600; ++step) {
        const int y = int(random() % 144), x = int(random() % 159), pair = int(random() % 16);
        const BlockLine<Mode> line(*fast, y);
        ASSERT_EQ(line.Columns(), 160);
        const int left = pair >> 2, right = pair & 3;
        switch (random() % 4) {
            case 0:
                line.Put(x, shades[left]);
                PutBlock<Mode>(*slow, x, y, shades[left]);
                break;
            case 1:
                line.PutPair(x, pairs[pair]);
                PutBlock<Mode>(*slow, x, y, shades[left]);
                PutBlock<Mode>(*slow, x + 1, y, shades[right]);
                break;
            case 2:
                line.BlendPair(x, pairs, pair);
                if (left) PutBlock<Mode>(*slow, x, y, shades[left]);
                if (right) PutBlock<Mode>(*slow, x + 1, y, shades[right]);
                break;
            default:
                for (Color c : {shades[0], shades[1], kMarker})
                    ASSERT_EQ(line.Has(x, c), BlockHas<Mode>(*slow, x, y, c)) << "step " << step;
        }
        ASSERT_EQ(std::equal(fast->Pixels(), fast->Pixels() + Surface::kMaxWidth * Surface::kMaxHeight,
                             slow->Pixels()),
                  true)
            << "mode " << int(Mode) << " step " << step;
    }
}

TEST(BlockLineTest, WritesAndReadsExactlyTheBlocksOfTheMode) {
    CheckAgainstBlockWrites<Mode1x1>();
    CheckAgainstBlockWrites<Mode2x2>();
    CheckAgainstBlockWrites<Mode2x2Interlaced>();
}

}  // namespace
}  // namespace wenlo
