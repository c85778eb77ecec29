// The benchmark cartridge must load the machine the way the benchmark
// claims: the asked number of sprites on every visible line, the VBlank
// handler once per frame, and the busy loop writing video RAM.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/bus.h"
#include "core/cpu.h"
#include "core/io_regs.h"
#include "core/scheduler.h"
#include "core/timing.h"
#include "tests/support/rom_builder.h"

namespace wenlo {
namespace {

constexpr int kLines = 154;
// The start-up code (4 KiB of tiles, the map) takes a little over three
// frames; after this many the busy loop and the interrupts run.
constexpr int kStartFrames = 5;

// Sprites the renderer will draw on line LY: the visibility rule of the
// sprite renderer, on the OAM as it is when the line is drawn.
int SpritesOnLine(const Machine& m) {
    const int height = (m.LCDC & io::kLcdcTallSprites) ? 16 : 8;
    int count = 0;
    for (int k = 0; k < 40; ++k) {
        const int y = m.Oam[4 * k], x = m.Oam[4 * k + 1];
        const int row = m.LY - y + 16;
        if (x != 0 && y != 0 && x < 168 && row >= 0 && row < height) ++count;
    }
    return count;
}

uint16_t FrameCounter(const Machine& m) { return uint16_t(ReadByte(m, 0xC002) | ReadByte(m, 0xC003) << 8); }

TEST(BenchmarkCartridge, EveryVisibleLineIsCrossedByTheAskedNumberOfSprites) {
    for (int perLine : {0, 1, 4, 10}) {
        SCOPED_TRACE(perLine);
        auto m = test::MakeMachine(test::BenchmarkCartridge(perLine), "bench");
        for (int i = 0; i < kStartFrames * kLines; ++i) RunScanline(*m);
        for (int frame = 0; frame < 2; ++frame) {
            for (int line = 0; line < kLines; ++line) {
                // RunScanline, opened up to look at OAM just before the
                // line is drawn.
                Interpret(*m, kCyclesPerLine);
                --m->DIV;
                if (m->LY > kLastLine) m->LY = 0;
                if (m->LY <= kLastVisibleLine) {
                    EXPECT_EQ(SpritesOnLine(*m), perLine) << "line " << int(m->LY);
                }
                ScanlineTick(*m, true);
            }
        }
    }
}

TEST(BenchmarkCartridge, KeepsInterruptsTheLoopAndVideoRamBusy) {
    for (auto loop : {test::BenchLoop::Rom, test::BenchLoop::WorkRam, test::BenchLoop::HighRam}) {
        SCOPED_TRACE(int(loop));
        auto m = test::MakeMachine(test::BenchmarkCartridge(10, loop), "bench");
        for (int i = 0; i < kStartFrames * kLines; ++i) RunScanline(*m);
        EXPECT_EQ(m->LCDC, 0x97);  // display on, tiles at 0x8000, 8x16 sprites
        EXPECT_EQ(m->IE, 0x03);
        EXPECT_EQ(m->IME, 1);

        const uint16_t frames = FrameCounter(*m);
        const uint8_t scx = m->SCX, mix = ReadByte(*m, 0xC000);
        const auto map = std::vector<uint8_t>(m->VideoRam.begin() + 0x1800, m->VideoRam.begin() + 0x1C00);
        for (int i = 0; i < 10 * kLines; ++i) RunScanline(*m);

        EXPECT_EQ(FrameCounter(*m), frames + 10);  // the VBlank handler, once a frame
        EXPECT_EQ(uint8_t(m->SCX - scx), 10);
        EXPECT_NE(ReadByte(*m, 0xC000), mix);  // the busy loop's routine ran
        EXPECT_NE(std::vector<uint8_t>(m->VideoRam.begin() + 0x1800, m->VideoRam.begin() + 0x1C00), map);
        // Between frames the loop is at its top or inside its routine (a call and
        // a push deep): nothing is left on the stack by the handlers.
        EXPECT_GE(m->regSP, 0xFFFA);
        EXPECT_LE(m->regSP, 0xFFFE);
    }
}

TEST(BenchmarkCartridge, RamVariantsRunTheirCodeInRam) {
    // Where the program counter stands at the end of each line: the work-RAM
    // loop spends nearly all its time in its copy, the high-RAM variant more
    // than half of it in its routine (20 of the 29 instructions a turn).
    struct Case {
        test::BenchLoop loop;
        int32_t first, last;  // the copied code
        int atLeastPercent;
    };
    const Case cases[] = {{test::BenchLoop::WorkRam, 0xD000, 0xD03B, 90},
                          {test::BenchLoop::HighRam, 0xFF80, 0xFF9B, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.loop));
        auto m = test::MakeMachine(test::BenchmarkCartridge(0, c.loop), "bench");
        for (int i = 0; i < kStartFrames * kLines; ++i) RunScanline(*m);
        int inside = 0;
        for (int i = 0; i < 10 * kLines; ++i) {
            RunScanline(*m);
            if (m->regPC >= c.first && m->regPC <= c.last) ++inside;
        }
        EXPECT_GE(inside * 100, c.atLeastPercent * 10 * kLines);
    }
}

TEST(BenchmarkCartridge, RefusesSpriteCountsItCannotLayOut) {
    EXPECT_THROW(test::BenchmarkCartridge(-1), std::invalid_argument);
    EXPECT_THROW(test::BenchmarkCartridge(11), std::invalid_argument);
}

}  // namespace
}  // namespace wenlo
