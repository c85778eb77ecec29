// The line renderers against a plain model that draws one pixel at a time
// through PutBlock and BlockHas, over many random machines: every display
// mode, every scroll, sprites at and beyond the edges, all attribute bits,
// and drawing areas of odd and mismatched sizes (which take the renderers'
// clipped path). The whole image is compared, also the part outside the
// drawing area, so a renderer that writes one pixel too many is caught.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>

#include "tests/video/video_rig.h"

namespace wenlo::test {
namespace {

void ModelPut(Surface& s, uint8_t mode, int x, int y, Color c) {
    if (mode == Mode1x1) PutBlock<Mode1x1>(s, x, y, c);
    if (mode == Mode2x2) PutBlock<Mode2x2>(s, x, y, c);
    if (mode == Mode2x2Interlaced) PutBlock<Mode2x2Interlaced>(s, x, y, c);
}

bool ModelHas(const Surface& s, uint8_t mode, int x, int y, Color c) {
    if (mode == Mode1x1) return BlockHas<Mode1x1>(s, x, y, c);
    if (mode == Mode2x2) return BlockHas<Mode2x2>(s, x, y, c);
    return BlockHas<Mode2x2Interlaced>(s, x, y, c);
}

int BitPair(const Machine& m, int rowIndex, int bit) {
    return ((m.VideoRam[rowIndex + 1] >> bit) & 1) * 2 + ((m.VideoRam[rowIndex] >> bit) & 1);
}

// The background rule pixel by pixel: guards, then the map entry under the
// scrolled position, the tile (unsigned from 0x8000 or signed around
// 0x9000), its row and bit.
void ModelBackgroundLine(const Machine& m, Surface& s, uint8_t mode) {
    if (!(m.LCDC & 0x80) || !m.Running || m.Paused || m.LY > 143) return;
    const int by = (m.LY + m.SCY) % 256;
    for (int x = 0; x < 160; ++x) {
        const int bx = (x + m.SCX) % 256;
        const int tile = m.VideoRam[((m.LCDC & 0x08) ? 0x1C00 : 0x1800) + (by / 8) * 32 + bx / 8];
        const int base = (m.LCDC & 0x10) ? tile * 16 : 0x1000 + int8_t(tile) * 16;
        ModelPut(s, mode, x, m.LY, ShadeOf(m.BGP, BitPair(m, base + (by % 8) * 2, 7 - bx % 8)));
    }
}

// The sprite rule pixel by pixel, entry 39 first, each opaque pixel read
// back first when it lies behind the background.
void ModelSpriteLine(const Machine& m, Surface& s, uint8_t mode) {
    const int height = (m.LCDC & 0x04) ? 16 : 8;
    for (int k = 39; k >= 0; --k) {
        const int spriteY = m.Oam[4 * k], spriteX = m.Oam[4 * k + 1], attr = m.Oam[4 * k + 3];
        int tile = m.Oam[4 * k + 2];
        if (spriteX == 0 || spriteY == 0 || spriteX >= 168) continue;
        const int row = m.LY - spriteY + 16;
        if (row < 0 || row >= height) continue;
        if (height == 16) tile &= 0xFE;
        const int rowIndex = tile * 16 + ((attr & 0x40) ? height - 1 - row : row) * 2;
        const int left = spriteX < 8 ? 0 : spriteX - 8;
        const uint8_t palette = (attr & 0x10) ? m.OBP1 : m.OBP0;
        for (int j = 7; j >= 0; --j) {
            const int c = BitPair(m, rowIndex, (attr & 0x20) ? j : 7 - j);
            if (c == 0) continue;
            if ((attr & 0x80) && !ModelHas(s, mode, left + j, m.LY, ShadeColors[0])) continue;
            ModelPut(s, mode, left + j, m.LY, ShadeOf(palette, c));
        }
    }
}

// One random machine, surface and line.
struct Scenario {
    int width, height;
    bool drawsBackground;
};

class LineModelTest : public ::testing::TestWithParam<uint8_t> {
protected:
    std::mt19937 random{GetParam() * 7919u + 17u};

    int Below(int n) { return int(random() % unsigned(n)); }

    Scenario Randomise(VideoRig& rig, Surface& model) {
        Machine& m = *rig.m;
        const uint8_t mode = rig.mode;
        // Sparse tiles now and then, so that sprite rows are often partly or
        // wholly transparent.
        const uint8_t sparse = Below(3) == 0 ? uint8_t(random()) : 0xFF;
        for (auto& b : m.VideoRam) b = uint8_t(random()) & (Below(4) == 0 ? sparse : 0xFF);
        m.LCDC = uint8_t(random()) | (Below(4) ? 0x80 : 0x00);
        m.SCX = uint8_t(random());
        m.SCY = uint8_t(random());
        m.BGP = uint8_t(random());
        m.OBP0 = uint8_t(random());
        m.OBP1 = uint8_t(random());
        m.Running = Below(20) != 0;
        m.Paused = Below(20) == 0;
        // Mostly visible lines; the sprite renderer has no guard of its own,
        // so lines below the picture are drawn by it too.
        m.LY = uint8_t(Below(5) ? Below(144) : Below(256));
        // Entries mostly near the line, with X often at the edges.
        for (int k = 0; k < 40; ++k) {
            const int nearY = m.LY + 16 - Below(18) + 1;
            m.Oam[4 * k] = uint8_t(Below(6) ? nearY : Below(256));
            const int edgeX[] = {Below(10), 158 + Below(12), Below(180)};
            m.Oam[4 * k + 1] = uint8_t(edgeX[Below(3)]);
            m.Oam[4 * k + 2] = uint8_t(random());
            m.Oam[4 * k + 3] = uint8_t(random());
        }

        // Usually the mode's own drawing area; sometimes a random one,
        // smaller or larger, odd or even.
        int width = ModeWidth(mode), height = ModeHeight(mode);
        if (Below(3) == 0) {
            width = Below(Surface::kMaxWidth + 1);
            height = Below(Surface::kMaxHeight + 1);
        }
        // Random shades (white the most common) on the rows the line uses,
        // a marker everywhere else.
        for (Surface* s : {rig.surface.get(), &model}) {
            s->Resize(Surface::kMaxWidth, Surface::kMaxHeight);
            s->SetBackColor(kMarker);
            s->Clear();
        }
        const int scale = mode == Mode1x1 ? 1 : 2;
        for (int py = scale * m.LY; py < scale * m.LY + scale && py < Surface::kMaxHeight; ++py)
            for (int px = 0; px < Surface::kMaxWidth; ++px) {
                const Color c = Below(3) ? ShadeColors[0] : ShadeColors[Below(4)];
                rig.surface->SetPixel(px, py, c);
                model.SetPixel(px, py, c);
            }
        rig.surface->Resize(width, height);
        model.Resize(width, height);
        return {width, height, bool(m.LCDC & 0x80) && m.Running && !m.Paused && m.LY <= 143};
    }
};

TEST_P(LineModelTest, BackgroundAndSpritesMatchThePixelByPixelModel) {
    int drawnBackgrounds = 0, clippedAreas = 0;
    VideoRig rig(GetParam());
    auto model = std::make_unique<Surface>();
    for (int trial = 0; trial < 400; ++trial) {
        const Scenario scenario = Randomise(rig, *model);
        drawnBackgrounds += scenario.drawsBackground;
        clippedAreas += scenario.width < ModeWidth(rig.mode) || scenario.height < ModeHeight(rig.mode);

        rig.DrawBackground();
        rig.DrawSprites();
        ModelBackgroundLine(*rig.m, *model, rig.mode);
        ModelSpriteLine(*rig.m, *model, rig.mode);

        const Color* got = rig.surface->Pixels();
        const Color* want = model->Pixels();
        for (int i = 0; i < Surface::kMaxWidth * Surface::kMaxHeight; ++i)
            ASSERT_EQ(got[i], want[i])
                << ModeName(rig.mode) << " trial " << trial << " pixel (" << i % Surface::Stride() << ", "
                << i / Surface::Stride() << ") LY " << int(rig.m->LY) << " SCX " << int(rig.m->SCX)
                << " LCDC " << std::hex << int(rig.m->LCDC) << std::dec << " area " << scenario.width << "x"
                << scenario.height;
    }
    // The random draw must have reached both kinds of line and both paths.
    EXPECT_GT(drawnBackgrounds, 100);
    EXPECT_GT(clippedAreas, 50);
}

// Every fine scroll and every sprite column, on the mode's own drawing area:
// the edge cases of the fast path (partial tiles, odd pairs, a sprite that
// just fits or just does not) in an orderly sweep rather than by chance.
TEST_P(LineModelTest, EveryScrollAndSpriteColumnMatchesTheModel) {
    VideoRig rig(GetParam());
    auto model = std::make_unique<Surface>();
    model->Resize(ModeWidth(rig.mode), ModeHeight(rig.mode));
    Machine& m = *rig.m;
    for (auto& b : m.VideoRam) b = uint8_t(random());
    m.LCDC = 0x97;
    m.LY = 77;
    m.OBP1 = 0x1B;
    for (int scx = 0; scx < 256; ++scx) {
        m.SCX = uint8_t(scx);
        m.SCY = uint8_t(scx * 3);
        // One entry at X = scx (so X runs through 0..255), with every
        // combination of flips, palette and priority over the sweep; a
        // second, lower entry overlapping it.
        m.Oam.fill(0);
        rig.Sprite(5, uint8_t(m.LY + 16 - scx % 16), uint8_t(scx), uint8_t(scx * 5), uint8_t(scx << 4));
        rig.Sprite(2, uint8_t(m.LY + 10), uint8_t(scx + 3), uint8_t(scx * 7), uint8_t(0xF0 - (scx << 4)));
        rig.Fill(kMarker);
        model->SetBackColor(kMarker);
        model->Clear();
        rig.DrawLine(m.LY);
        ModelBackgroundLine(m, *model, rig.mode);
        ModelSpriteLine(m, *model, rig.mode);
        const Color* got = rig.surface->Pixels();
        const Color* want = model->Pixels();
        for (int i = 0; i < Surface::kMaxWidth * Surface::kMaxHeight; ++i)
            ASSERT_EQ(got[i], want[i]) << ModeName(rig.mode) << " SCX/X " << scx << " pixel ("
                                       << i % Surface::Stride() << ", " << i / Surface::Stride() << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, LineModelTest, ::testing::Values(Mode1x1, Mode2x2, Mode2x2Interlaced),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

}  // namespace
}  // namespace wenlo::test
