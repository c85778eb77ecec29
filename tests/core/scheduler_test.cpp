#include "core/scheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/bus.h"
#include "input/joypad.h"
#include "input/keys.h"
#include "tests/support/rom_builder.h"
#include "video/surface.h"

namespace wenlo {
namespace {

constexpr Color kMarker = 0x123456;

// Records what the scheduler asks of the front end, in order.
struct CountingHost : Host {
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    std::vector<char> calls;        // 'R' refresh, 'P' pump
    std::vector<bool> framesEnded;  // FrameEnded's drawn, in order
    bool seeFrames = false;         // override FrameEnded (else the default pumps)
    Machine* stopAfterPumpsOf = nullptr;
    int pumpsBeforeStop = 0;

    CountingHost() { Screen = surface.get(); }
    void RefreshPicture() override { calls.push_back('R'); }
    void PumpEvents() override {
        calls.push_back('P');
        if (stopAfterPumpsOf && --pumpsBeforeStop == 0) stopAfterPumpsOf->Running = false;
    }
    void FrameEnded(bool drawn) override {
        if (!seeFrames) return Host::FrameEnded(drawn);
        calls.push_back('F');
        framesEnded.push_back(drawn);
    }
    int Count(char c) const { return int(std::count(calls.begin(), calls.end(), c)); }
};

// A reset machine on a host, drawing enabled; no cartridge needed for ticks.
struct Rig {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    CountingHost host;
    Rig() {
        ResetMachine(*m);
        m->host = &host;
        m->Running = true;
    }
    bool LineDrawn(int y) const { return host.surface->GetPixel(0, y) != kMarker; }
    void Blank() {
        host.surface->SetBackColor(kMarker);
        host.surface->Clear();
    }
};

TEST(ScanlineTickTest, AdvancesLyStatAndFrameCountThroughAFrame) {
    Rig r;
    r.m->IME = 0;
    r.m->STAT = 0xFF;  // every tick clears the mode bits before anything else
    for (int line = 0; line < 154; ++line) {
        r.m->LY = uint8_t(line);  // as the run loop leaves it (154 turned into 0)
        const uint8_t frames = r.m->FrameCount;
        ScanlineTick(*r.m, false);
        EXPECT_EQ(r.m->LY, line + 1) << line;
        EXPECT_EQ(r.m->STAT & 3, line == 144 ? 1 : 0) << line;
        EXPECT_EQ(r.m->STAT & 0xFC, 0xFC) << line;
        EXPECT_EQ(r.m->FrameCount, uint8_t(frames + (line == 144))) << line;
    }
    r.m->LY = 255;  // only a state file can hold this; it wraps
    ScanlineTick(*r.m, false);
    EXPECT_EQ(r.m->LY, 0);
}

// IF after one tick with IME = 1 and IE = 0 (nothing taken): VBlank raised at
// 144 and withdrawn on visible lines, the LCD-status request following
// LY = LYC on every line, the joypad request withdrawn (no key change).
TEST(ScanlineTickTest, RaisesAndWithdrawsRequests) {
    struct Case {
        int ly;
        uint8_t lyc, ifBefore, ifAfter;
    };
    const Case cases[] = {
        {144, 0, 0x00, 0x01},   {144, 144, 0x00, 0x03}, {144, 143, 0x02, 0x01}, {10, 10, 0x00, 0x02},
        {11, 10, 0x02, 0x00},   {0, 5, 0x01, 0x00},     {143, 143, 0x01, 0x02}, {150, 0, 0x01, 0x01},
        {150, 150, 0x00, 0x02}, {153, 0, 0x13, 0x01},   {5, 0, 0xFC, 0xEC},     {145, 145, 0xEC, 0xEE},
    };
    for (const Case& c : cases) {
        Rig r;
        r.m->LY = uint8_t(c.ly);
        r.m->LYC = c.lyc;
        r.m->IF = c.ifBefore;
        ScanlineTick(*r.m, false);
        EXPECT_EQ(r.m->IF, c.ifAfter)
            << "LY " << c.ly << " LYC " << int(c.lyc) << " IF " << std::hex << int(c.ifBefore);
    }
}

TEST(ScanlineTickTest, ImeZeroLeavesIfAndTheJoypadAlone) {
    for (int ly : {0, 10, 143, 144, 145, 153}) {
        for (uint8_t ifBefore : {0x00, 0x01, 0x02, 0x10, 0x1F}) {
            Rig r;
            r.m->IME = 0;
            r.m->IE = 0x1F;
            r.m->LY = uint8_t(ly);
            r.m->LYC = uint8_t(ly);
            r.m->IF = ifBefore;
            r.m->regPC = 0x1234;
            KeyDown(*r.m, keys::A);
            ScanlineTick(*r.m, false);
            EXPECT_EQ(r.m->IF, ifBefore) << "LY " << ly;
            EXPECT_EQ(r.m->JoypadButtons, 0) << "LY " << ly;
            EXPECT_EQ(r.m->regPC, 0x1234) << "LY " << ly;
        }
    }
}

// One tick on line 150 with LYC matching or not and a key pressed or not;
// bits 0, 2 and 3 are left in IF by that tick, bit 1 and bit 4 it sets itself.
TEST(ScanlineTickTest, DispatchesTheHighestBitFirstAndOnlyOne) {
    struct Case {
        uint8_t ie, ifOther;
        bool lycMatch, keyPress;
        int vector;  // 0: nothing taken
        uint8_t ifAfter;
    };
    const Case cases[] = {
        {0x1F, 0x01, false, true, 0x60, 0x01},  {0x1F, 0x0D, true, false, 0x58, 0x07},
        {0x1F, 0x05, false, false, 0x50, 0x01}, {0x03, 0x01, true, false, 0x48, 0x01},
        {0x01, 0x01, false, false, 0x40, 0x00}, {0x0E, 0x01, false, false, 0, 0x01},
        {0x11, 0x01, true, true, 0x60, 0x03},   {0xE0, 0xE0, false, false, 0, 0xE0},
        {0x00, 0x0D, true, true, 0, 0x1F},
    };
    for (const Case& c : cases) {
        Rig r;
        r.m->LY = 150;
        r.m->LYC = c.lycMatch ? 150 : 0;
        r.m->IE = c.ie;
        r.m->IF = c.ifOther;
        r.m->regPC = 0x1234;
        if (c.keyPress) KeyDown(*r.m, keys::Start);
        ScanlineTick(*r.m, false);
        const std::string what = "IE " + std::to_string(c.ie) + " IF " + std::to_string(c.ifOther);
        EXPECT_EQ(r.m->IF, c.ifAfter) << what;
        EXPECT_EQ(r.m->IME, 1) << what;
        if (c.vector == 0) {
            EXPECT_EQ(r.m->regPC, 0x1234) << what;
            EXPECT_EQ(r.m->regSP, 0xFFFE) << what;
            EXPECT_EQ(ReadByte(*r.m, 0xFFFC) | ReadByte(*r.m, 0xFFFD), 0) << what;
        } else {
            EXPECT_EQ(r.m->regPC, c.vector) << what;
            EXPECT_EQ(r.m->regSP, 0xFFFC) << what;
            EXPECT_EQ(ReadByte(*r.m, 0xFFFC), 0x34) << what;
            EXPECT_EQ(ReadByte(*r.m, 0xFFFD), 0x12) << what;
        }
    }
}

TEST(ScanlineTickTest, SecondRequestWaitsForTheNextTick) {
    Rig r;
    r.m->IE = 0x03;
    r.m->LYC = 144;
    r.m->LY = 144;
    r.m->regPC = 0x0150;
    ScanlineTick(*r.m, false);  // raises bits 0 and 1, takes 0x48
    EXPECT_EQ(r.m->regPC, 0x48);
    EXPECT_EQ(r.m->IF & 0x03, 0x01);
    ScanlineTick(*r.m, false);  // line 145: bit 1 withdrawn, bit 0 taken
    EXPECT_EQ(r.m->regPC, 0x40);
    EXPECT_EQ(r.m->IF & 0x03, 0x00);
    EXPECT_EQ(r.m->regSP, 0xFFFA);
    EXPECT_EQ(ReadByte(*r.m, 0xFFFA), 0x48);
    EXPECT_EQ(ReadByte(*r.m, 0xFFFB), 0x00);
    EXPECT_EQ(ReadByte(*r.m, 0xFFFC), 0x50);
    EXPECT_EQ(ReadByte(*r.m, 0xFFFD), 0x01);
}

TEST(ScanlineTickTest, StackPointerIsReducedTo16BitsBeforeThePush) {
    struct Case {
        int32_t sp;
        bool dispatch;
        int32_t spAfter;
    };
    const Case cases[] = {
        {0x1FFFE, true, 0xFFFC}, {0x1FFFE, false, 0xFFFE}, {0x10000, false, 0}, {0xC100, true, 0xC0FE}};
    for (const Case& c : cases) {
        Rig r;
        r.m->regSP = c.sp;
        r.m->regPC = 0x0ABC;
        r.m->LY = 144;
        r.m->IE = c.dispatch ? 0x01 : 0x00;
        ScanlineTick(*r.m, false);
        EXPECT_EQ(r.m->regSP, c.spAfter) << std::hex << c.sp;
        if (c.dispatch) {
            EXPECT_EQ(ReadByte(*r.m, c.spAfter), 0xBC);
            EXPECT_EQ(ReadByte(*r.m, c.spAfter + 1), 0x0A);
        }
    }
}

TEST(ScanlineTickTest, DrawsOneFrameInThreeAcrossTheWrap) {
    struct Case {
        uint8_t frameCount;
        bool drawn;
    };
    const Case cases[] = {{0, true}, {1, false}, {2, false}, {3, true}, {254, false}, {255, true}};
    for (const Case& c : cases) {
        Rig r;
        r.Blank();
        r.m->FrameCount = c.frameCount;
        r.m->LY = 0;
        ScanlineTick(*r.m, true);
        EXPECT_EQ(r.LineDrawn(0), c.drawn) << int(c.frameCount);
    }
    // 255 then 0: two drawn frames in a row.
    Rig r;
    r.m->FrameCount = 255;
    int drawnFrames = 0;
    for (int frame = 0; frame < 2; ++frame) {
        r.Blank();
        for (int line = 0; line < 154; ++line) {
            r.m->LY = uint8_t(line);
            ScanlineTick(*r.m, true);
        }
        drawnFrames += r.LineDrawn(0) && r.LineDrawn(143);
    }
    EXPECT_EQ(r.m->FrameCount, 1);
    EXPECT_EQ(drawnFrames, 2);
}

TEST(ScanlineTickTest, DisplayModeChoosesTheRendererPair) {
    struct Case {
        uint8_t mode;
        int surfaceX, surfaceY;  // a pixel only that mode writes for line 1
        bool drawn;
    };
    const Case cases[] = {
        {0, 0, 1, true}, {1, 1, 3, true}, {2, 0, 3, true}, {2, 1, 3, false}, {3, 0, 1, false}};
    for (const Case& c : cases) {
        Rig r;
        r.host.surface->Resize(320, 288);
        r.Blank();
        r.m->DisplayMode = c.mode;
        r.m->LY = 1;
        ScanlineTick(*r.m, true);
        EXPECT_EQ(r.host.surface->GetPixel(c.surfaceX, c.surfaceY) != kMarker, c.drawn) << int(c.mode);
    }
}

TEST(ScanlineTickTest, RefreshesThenPumpsOnLines145To153Only) {
    Rig r;
    r.Blank();
    for (int line = 0; line < 154; ++line) {
        const size_t before = r.host.calls.size();
        r.m->LY = uint8_t(line);
        ScanlineTick(*r.m, true);
        const std::vector<char> expected = line >= 145 ? std::vector<char>{'R', 'P'} : std::vector<char>{};
        EXPECT_EQ(std::vector<char>(r.host.calls.begin() + before, r.host.calls.end()), expected) << line;
    }
    EXPECT_TRUE(r.LineDrawn(77));
}

// The frame's end comes after the tick of the last line, in place of that
// line's pump; drawn follows the one-frame-in-three rule across the count's
// wrap (frames 255 and 0 are both drawn: 255 % 3 == 0).
TEST(ScanlineTickTest, FrameEndsAfterTheLastLineAndSaysWhetherItWasDrawn) {
    struct Case {
        uint8_t frameCount;
        bool drawn;
    };
    const Case cases[] = {{0, true}, {1, false}, {2, false}, {3, true}, {254, false}, {255, true}};
    for (const Case& c : cases) {
        Rig r;
        r.Blank();
        r.host.seeFrames = true;
        r.m->FrameCount = c.frameCount;
        for (int line = 0; line < 154; ++line) {
            const size_t before = r.host.calls.size();
            r.m->LY = uint8_t(line);
            ScanlineTick(*r.m, true);
            const std::vector<char> expected = line == 153   ? std::vector<char>{'R', 'F'}
                                               : line >= 145 ? std::vector<char>{'R', 'P'}
                                                             : std::vector<char>{};
            ASSERT_EQ(std::vector<char>(r.host.calls.begin() + before, r.host.calls.end()), expected)
                << int(c.frameCount) << " line " << line;
        }
        EXPECT_EQ(r.host.framesEnded, std::vector<bool>{c.drawn}) << int(c.frameCount);
        EXPECT_EQ(r.LineDrawn(0), c.drawn) << int(c.frameCount);
    }
}

TEST(ScanlineTickTest, WithoutRenderNothingIsDrawnRefreshedOrPumped) {
    Rig drawn, silent;
    drawn.Blank();
    silent.Blank();
    for (Rig* r : {&drawn, &silent}) {
        r->m->IE = 0x03;
        r->m->LYC = 100;
        KeyDown(*r->m, keys::Up);
    }
    for (int line = 0; line < 2 * 154; ++line) {
        for (Rig* r : {&drawn, &silent}) {
            if (r->m->LY > 153) r->m->LY = 0;
            ScanlineTick(*r->m, r == &drawn);
        }
        ASSERT_EQ(silent.m->LY, drawn.m->LY) << line;
        ASSERT_EQ(silent.m->STAT, drawn.m->STAT) << line;
        ASSERT_EQ(silent.m->IF, drawn.m->IF) << line;
        ASSERT_EQ(silent.m->regPC, drawn.m->regPC) << line;
        ASSERT_EQ(silent.m->regSP, drawn.m->regSP) << line;
    }
    EXPECT_TRUE(silent.host.calls.empty());
    EXPECT_FALSE(silent.LineDrawn(0));
    EXPECT_EQ(drawn.host.Count('R'), 18);
    EXPECT_EQ(drawn.host.Count('P'), 18);
    EXPECT_TRUE(drawn.LineDrawn(0));
}

TEST(ScanlineTickTest, HeadlessMachineTicksWithoutAHost) {
    auto m = std::make_unique<Machine>();
    ResetMachine(*m);
    m->Running = true;
    for (int line = 0; line < 154; ++line) {
        if (m->LY > 153) m->LY = 0;
        ScanlineTick(*m, true);
    }
    EXPECT_EQ(m->LY, 154);
    EXPECT_EQ(m->FrameCount, 1);
}

// The run loop with the interpreter idle (Running false keeps it from
// executing), so only its own bookkeeping shows.
TEST(RunScanlineTest, CountsDivDownAndWrapsLy) {
    struct Case {
        uint8_t div, ly;
        uint8_t divAfter, lyAfter;
    };
    const Case cases[] = {{0, 0, 255, 1}, {3, 153, 2, 154}, {255, 154, 254, 1}, {100, 200, 99, 1}};
    for (const Case& c : cases) {
        auto m = std::make_unique<Machine>();
        ResetMachine(*m);
        m->DIV = c.div;
        m->LY = c.ly;
        RunScanline(*m);
        EXPECT_EQ(m->DIV, c.divAfter) << int(c.div);
        EXPECT_EQ(m->LY, c.lyAfter) << int(c.ly);
    }
    auto m = std::make_unique<Machine>();
    m->DIV = 77;
    WriteByte(*m, 0xFF04, 0x99);
    RunScanline(*m);
    EXPECT_EQ(ReadByte(*m, 0xFF04), 255);
}

TEST(RunEmulationTest, ReturnsAtOnceWhenNotRunningAndAtTheEndOfTheStoppingLine) {
    Rig r;
    r.m->Running = false;
    RunEmulation(*r.m);
    EXPECT_EQ(r.m->LY, 0);
    EXPECT_TRUE(r.host.calls.empty());

    // Stop from the third pump: the tick of line 147 finishes, then the loop ends.
    r.m->Running = true;
    r.host.stopAfterPumpsOf = r.m.get();
    r.host.pumpsBeforeStop = 3;
    RunEmulation(*r.m);
    EXPECT_FALSE(r.m->Running);
    EXPECT_EQ(r.m->LY, 148);
    EXPECT_EQ(r.host.Count('P'), 3);
}

// A cartridge whose VBlank handler counts frames in high RAM and returns with
// RETI, while the main program spins on a JR to itself. Needs the interpreter.
TEST(RunEmulationTest, VBlankHandlerRunsOncePerFrame) {
    test::RomBuilder rom;
    rom.Put(0x40, {0xF0, 0x80,  // LDH A,(0x80)
                   0x3C,        // INC A
                   0xE0, 0x80,  // LDH (0x80),A
                   0xD9});      // RETI
    rom.Entry({0x3E, 0x01,      // LD A,0x01
               0xE0, 0xFF,      // LDH (0xFF),A   IE = VBlank
               0x18, 0xFE});    // JR to itself
    auto m = test::MakeMachine(rom);
    constexpr int kFrames = 7;
    for (int line = 0; line < 154 * kFrames; ++line) RunScanline(*m);
    EXPECT_EQ(ReadByte(*m, 0xFF80), kFrames);
    EXPECT_EQ(m->regPC, 0x0104);
    EXPECT_EQ(m->regSP, 0xFFFE);
    EXPECT_EQ(m->FrameCount, kFrames);
}

}  // namespace
}  // namespace wenlo
