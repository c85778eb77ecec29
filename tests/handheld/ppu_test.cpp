// The picture unit's clock: modes within a line, LY and LY=LYC around line
// 153, the LCD-status interrupt line, VBlank, the LCD off and on, and the
// access rules of video RAM and OAM.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "handheld/bus.h"
#include "tests/handheld/ppu_rig.h"

namespace wenlo::hh::test {
namespace {

uint64_t RoundUp(uint64_t t) { return (t + 3) / 4 * 4; }

TEST(PpuClock, ResetLeavesTheBootProgramsRegisters) {
    PpuRig rig;
    EXPECT_EQ(rig.Read(kLcdc), 0x91);
    EXPECT_EQ(rig.Read(kLy), 0);
    EXPECT_EQ(rig.h->ppu.bgp, 0xE4);  // the rig's own; reset gave 0xFC
    auto fresh = std::make_unique<Handheld>();
    fresh->now = 1000;
    fresh->events.fill(kNever);
    PpuReset(*fresh);
    EXPECT_EQ(fresh->ppu.bgp, 0xFC);
    EXPECT_EQ(fresh->ppu.stat & 0x87, 0x85);          // mode 1 with LY=LYC, as the boot leaves it
    EXPECT_EQ(fresh->events[kEventPpu], fresh->now);  // line 0 begins now
}

TEST(PpuClock, LyAndModeThroughTheFrame) {
    struct Case {
        int line, dot, frame;
        int ly, mode;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 2},     {0, 76, 0, 0, 2},      {0, 80, 0, 0, 3},    {0, 248, 0, 0, 3},
        {0, 252, 0, 0, 0},   {0, 452, 0, 0, 0},     {1, 0, 0, 1, 2},     {143, 452, 0, 143, 0},
        {144, 0, 0, 144, 1}, {152, 452, 0, 152, 1}, {153, 0, 0, 153, 1}, {153, 4, 0, 0, 1},
        {153, 452, 0, 0, 1}, {0, 0, 1, 0, 2},       {0, 80, 1, 0, 3},
    };
    PpuRig rig;
    for (const Case& c : cases) {
        rig.RunTo(PpuRig::At(c.line, c.dot, c.frame));
        SCOPED_TRACE(::testing::Message() << "line " << c.line << " dot " << c.dot << " frame " << c.frame);
        EXPECT_EQ(rig.Read(kLy), c.ly);
        EXPECT_EQ(rig.Read(kStat) & 3, c.mode);
        EXPECT_EQ(rig.Read(kStat) & 0x80, 0x80);
    }
}

// LY=LYC follows LY: LYC 153 matches only for line 153's first machine cycle,
// LYC 0 from then on to the end of line 0.
TEST(PpuClock, CoincidenceAroundLine153) {
    struct Case {
        uint8_t lyc;
        int line, dot, frame;
        bool equal;
    };
    const Case cases[] = {
        {153, 152, 452, 0, false}, {153, 153, 0, 0, true}, {153, 153, 4, 0, false}, {0, 153, 0, 0, false},
        {0, 153, 4, 0, true},      {0, 0, 200, 1, true},   {0, 1, 0, 1, false},     {5, 5, 300, 0, true},
    };
    for (const Case& c : cases) {
        PpuRig rig;
        rig.Write(kLyc, c.lyc);
        rig.RunTo(PpuRig::At(c.line, c.dot, c.frame));
        EXPECT_EQ((rig.Read(kStat) & 4) != 0, c.equal)
            << "LYC " << int(c.lyc) << " line " << c.line << " dot " << c.dot;
    }
}

// Mode 3 is 172 dots plus SCX % 8, 6 for the window, and per sprite 6 and
// up to 5 for the first in a background tile.
TEST(PpuClock, Mode3Length) {
    struct Case {
        const char* what;
        uint8_t scx, lcdc;
        std::vector<uint8_t> spriteX;  // sprites on line 10, OAM entries from 0
        int mode0Dot;
    };
    const Case cases[] = {
        {"plain", 0, 0x93, {}, 252},
        {"SCX 3", 3, 0x93, {}, 255},
        {"SCX 15", 15, 0x93, {}, 259},
        {"window", 0, 0xB3, {}, 258},
        {"sprite aligned", 0, 0x93, {8}, 263},
        {"sprite 4 into its tile", 0, 0x93, {12}, 259},
        {"sprite 4 into its tile, SCX 4", 4, 0x93, {8}, 263},
        {"sprite at X 0", 3, 0x93, {0}, 266},
        {"two in one tile", 0, 0x93, {8, 10}, 269},
        {"two in two tiles", 0, 0x93, {8, 16}, 274},
        {"right of the screen", 0, 0x93, {170}, 252},
        {"ten", 0, 0x93, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 317},
        {"twelve: ten fetched", 0, 0x93, {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 317},
        {"ten off screen first", 0, 0x93, {170, 170, 170, 170, 170, 170, 170, 170, 170, 170, 8}, 252},
        {"sprites hidden", 0, 0x91, {8, 16}, 252},
    };
    for (const Case& c : cases) {
        PpuRig rig;
        rig.Write(kScx, c.scx);
        rig.Write(kWx, 7);
        rig.Write(kLcdc, c.lcdc);
        for (size_t i = 0; i < c.spriteX.size(); ++i) rig.Sprite(int(i), 10 + 16 - 3, c.spriteX[i], 0);
        const uint64_t end = RoundUp(PpuRig::At(10, c.mode0Dot));
        rig.RunTo(end - kMachineCycle);
        EXPECT_EQ(rig.Read(kStat) & 3, 3) << c.what;
        rig.RunTo(end);
        EXPECT_EQ(rig.Read(kStat) & 3, 0) << c.what;
    }
}

// The OAM search keeps what it learnt of OAM between lines: a change through
// the bus in VBlank (a CPU write, DMA, the sprite height) shows on the next
// frame's line 10, by the length of its mode 3 (one sprite at X 8: 263).
TEST(PpuClock, OamSearchSeesOamChanges) {
    struct Case {
        const char* what;
        uint8_t y;                            // entry 0's Y in frame 0 (X 8 throughout)
        std::function<void(PpuRig&)> change;  // in frame 0's VBlank
        int before, after;                    // line 10's mode 0 dot in frames 0 and 1
    };
    const uint8_t on10 = 10 + 16 - 3, onlyIfTall = 10 + 16 - 12;
    const Case cases[] = {
        {"CPU write brings it in", 0, [&](PpuRig& r) { BusWrite(*r.h, 0xFE00, on10); }, 252, 263},
        {"CPU write takes it away", on10, [](PpuRig& r) { BusWrite(*r.h, 0xFE00, 0); }, 263, 252},
        {"DMA brings it in", 0,
         [&](PpuRig& r) {
             r.h->wram[0] = on10;
             r.h->wram[1] = 8;
             BusWrite(*r.h, 0xFF46, 0xC0);
         },
         252, 263},
        {"8x16 sprites", onlyIfTall, [](PpuRig& r) { r.Write(kLcdc, 0x97); }, 252, 263},
    };
    for (const Case& c : cases) {
        PpuRig rig;
        rig.Write(kLcdc, 0x93);
        rig.Sprite(0, c.y, 8, 0);
        for (int frame = 0; frame < 2; ++frame) {
            const uint64_t end = RoundUp(PpuRig::At(10, frame ? c.after : c.before, frame));
            rig.RunTo(end - kMachineCycle);
            EXPECT_EQ(rig.Read(kStat) & 3, 3) << c.what << ", frame " << frame;
            rig.RunTo(end);
            EXPECT_EQ(rig.Read(kStat) & 3, 0) << c.what << ", frame " << frame;
            if (frame == 0) {
                rig.RunTo(PpuRig::At(145));
                c.change(rig);
            }
        }
    }
}

// One request per rising edge of the OR of the enabled sources, counted over
// a whole frame.
TEST(PpuClock, StatInterruptOnRisingEdgesOnly) {
    struct Case {
        const char* what;
        uint8_t selects, lyc;
        int requests;
    };
    const Case cases[] = {
        {"HBlank", 0x08, 200, 144},
        {"mode 2", 0x20, 200, 144},
        {"VBlank", 0x10, 200, 1},
        {"LYC 10", 0x40, 10, 1},
        {"LYC 0 (in line 153)", 0x40, 0, 1},
        {"LYC 153", 0x40, 153, 1},
        {"HBlank holds the line through LYC 10 and its HBlank", 0x48, 10, 143},
        {"VBlank holds the line through line 0's mode 2", 0x30, 200, 144},
        {"HBlank of line 143 holds the line into VBlank", 0x18, 200, 144},
        {"HBlank runs into mode 2", 0x28, 200, 145},
        {"VBlank and LYC 144 at once", 0x50, 144, 1},
    };
    for (const Case& c : cases) {
        PpuRig rig;
        rig.Write(kLyc, c.lyc);
        rig.RunTo(PpuRig::At(150));
        rig.Write(kStat, c.selects);
        EXPECT_EQ(rig.CountStat(PpuRig::At(0, 0, 1), PpuRig::At(0, 0, 2)), c.requests) << c.what;
    }
}

// A STAT write holds every source for a moment on this model: in mode 0 or
// 1, or with LY=LYC, it requests the interrupt whatever it writes.
TEST(PpuClock, StatWrites) {
    struct Case {
        int line, dot;
        uint8_t lyc, value;
        bool request;
    };
    const Case cases[] = {
        {150, 0, 200, 0x00, true},   {10, 300, 200, 0x00, true}, {10, 4, 200, 0x00, false},
        {10, 100, 200, 0x00, false}, {10, 100, 10, 0x00, true},  {10, 4, 200, 0x20, true},
        {10, 100, 200, 0x08, false},
    };
    for (const Case& c : cases) {
        PpuRig rig;
        rig.Write(kLyc, c.lyc);
        rig.RunTo(PpuRig::At(c.line, c.dot));
        rig.h->IF = 0;
        rig.Write(kStat, c.value);
        EXPECT_EQ((rig.h->IF & 2) != 0, c.request)
            << "line " << c.line << " dot " << c.dot << " STAT " << std::hex << int(c.value);
    }
}

// Selected in mode 3, the HBlank interrupt still comes as mode 0 begins.
TEST(PpuClock, HBlankSelectedMidLine) {
    PpuRig rig;
    rig.Write(kLyc, 200);
    rig.RunTo(PpuRig::At(10, 100));
    rig.Write(kStat, 0x08);
    rig.h->IF = 0;
    rig.RunTo(PpuRig::At(10, 248));
    EXPECT_EQ(rig.h->IF, 0);
    rig.RunTo(PpuRig::At(10, 252));
    EXPECT_EQ(rig.h->IF, 2);
}

TEST(PpuClock, LycWritesMoveTheLine) {
    PpuRig rig;
    rig.Write(kLyc, 200);
    rig.RunTo(PpuRig::At(5, 100));
    rig.Write(kStat, 0x40);
    rig.RunTo(PpuRig::At(20, 100));
    rig.h->IF = 0;
    rig.Write(kLyc, 20);
    EXPECT_EQ(rig.h->IF, 2);
    rig.h->IF = 0;
    rig.Write(kLyc, 20);
    EXPECT_EQ(rig.h->IF, 0) << "the line is already high";
    rig.Write(kLyc, 21);
    EXPECT_EQ(rig.h->IF, 0);
    rig.RunTo(PpuRig::At(21) - kMachineCycle);
    EXPECT_EQ(rig.h->IF, 0);
    rig.RunTo(PpuRig::At(21));
    EXPECT_EQ(rig.h->IF, 2);
}

TEST(PpuClock, VBlankInterruptAndFrameEnd) {
    PpuRig rig;
    rig.RunTo(PpuRig::At(143, 452));
    EXPECT_EQ(rig.h->IF & 1, 0);
    EXPECT_FALSE(rig.h->ppu.frameReady);
    rig.RunTo(PpuRig::At(144));
    EXPECT_EQ(rig.h->IF & 1, 1);
    EXPECT_TRUE(rig.h->ppu.frameReady);
    rig.h->IF = 0;
    rig.h->ppu.frameReady = false;
    rig.RunTo(PpuRig::At(144, 0, 1) - kMachineCycle);
    EXPECT_EQ(rig.h->IF & 1, 0);
    rig.RunTo(PpuRig::At(144, 0, 1));
    EXPECT_EQ(rig.h->IF & 1, 1);
}

TEST(PpuClock, LcdOffAndOn) {
    PpuRig rig;
    rig.Write(kBgp, 0xFF);  // everything black
    rig.RunTo(PpuRig::At(50, 100));
    rig.Write(kLcdc, 0x11);
    const uint64_t off = rig.h->now;
    EXPECT_EQ(rig.Read(kLy), 0);
    EXPECT_EQ(rig.Read(kStat) & 3, 0);
    EXPECT_TRUE(PpuVramOpen(*rig.h));
    EXPECT_TRUE(PpuOamOpen(*rig.h));
    rig.Write(kLyc, 0);
    rig.Write(kStat, 0x78);
    rig.h->IF = 0;
    rig.h->ppu.frameReady = false;
    while (rig.h->now + kMachineCycle < off + kFrameCycles) Tick(*rig.h);
    EXPECT_EQ(rig.Read(kLy), 0);
    EXPECT_EQ(rig.h->IF, 0) << "no interrupts with the LCD off";
    EXPECT_FALSE(rig.h->ppu.frameReady);
    Tick(*rig.h);
    EXPECT_TRUE(rig.h->ppu.frameReady) << "a frame's time passed";
    PpuPresent(*rig.h);
    EXPECT_EQ(rig.Pixel(0, 0), 0);
    EXPECT_EQ(rig.Pixel(159, 143), 0);

    // Turned on: line 0 afresh, its first 80 dots in mode 0 without the
    // HBlank interrupt, then as any line.
    rig.Write(kStat, 0x08);
    rig.h->IF = 0;
    rig.TurnOn(0x91);
    EXPECT_EQ(rig.Read(kLy), 0);
    EXPECT_EQ(rig.Read(kStat) & 3, 0);
    EXPECT_EQ(rig.h->IF, 0);
    EXPECT_TRUE(PpuOamOpen(*rig.h));
    rig.RunTo(PpuRig::At(0, 80));
    EXPECT_EQ(rig.Read(kStat) & 3, 3);
    rig.RunTo(PpuRig::At(0, 252));
    EXPECT_EQ(rig.h->IF, 2);
    rig.RunTo(PpuRig::At(1, 4));
    EXPECT_EQ(rig.Read(kLy), 1);
    EXPECT_EQ(rig.Read(kStat) & 3, 2);

    // The first frame is not shown; the next one is.
    rig.h->ppu.frameReady = false;
    rig.DrawFrame(0);
    EXPECT_TRUE(rig.h->ppu.frameReady);
    EXPECT_EQ(rig.Pixel(0, 0), 0);
    EXPECT_EQ(rig.Pixel(80, 143), 0);
    rig.DrawFrame(1);
    EXPECT_EQ(rig.Pixel(0, 0), 3);
    EXPECT_EQ(rig.Pixel(80, 143), 3);
}

TEST(PpuClock, AccessRulesByMode) {
    struct Case {
        int line, dot;
        bool vram, oam;
    };
    const Case cases[] = {
        {10, 0, true, false},  {10, 76, true, false}, {10, 80, false, false}, {10, 248, false, false},
        {10, 252, true, true}, {144, 0, true, true},  {153, 452, true, true}, {0, 0, true, false},
    };
    PpuRig rig;
    rig.RunTo(PpuRig::At(0, 4));
    for (const Case& c : cases) {
        rig.RunTo(PpuRig::At(c.line, c.dot, c.line == 0 ? 1 : 0));
        EXPECT_EQ(PpuVramOpen(*rig.h), c.vram) << "line " << c.line << " dot " << c.dot;
        EXPECT_EQ(PpuOamOpen(*rig.h), c.oam) << "line " << c.line << " dot " << c.dot;
    }
}

}  // namespace
}  // namespace wenlo::hh::test
