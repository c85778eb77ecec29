#include "core/lifecycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/scheduler.h"
#include "core/timing.h"
#include "savestate/state_file.h"
#include "tests/support/rom_builder.h"
#include "video/surface.h"

namespace wenlo {
namespace {

// A cartridge that loops on the spot with interrupts off: NOP; DI; JR -2 at
// 0x100, so every instruction taken is visible in regPC.
test::RomBuilder LoopRom() {
    test::RomBuilder rom(2, 0x00, "LOOP");
    rom.Entry({0x00, 0xF3, 0x18, 0xFE});
    return rom;
}

TEST(LifecycleTest, StartCartridgeLoadsResetsAndRuns) {
    const std::string path = LoopRom().WriteTemp("start");
    auto m = std::make_unique<Machine>();
    m->Paused = true;
    m->regA = 0x77;
    ASSERT_TRUE(StartCartridge(*m, path));
    EXPECT_EQ(m->RomName, "start");
    EXPECT_EQ(m->regA, 0x01);  // the post-boot registers
    EXPECT_EQ(m->regPC, 0x100);
    EXPECT_TRUE(m->Running);
    EXPECT_FALSE(m->Paused);
}

TEST(LifecycleTest, StartCartridgeThatDoesNotLoadChangesNothing) {
    auto m = test::MakeMachine(LoopRom(), "kept");
    m->Paused = true;
    m->regA = 0x77;
    EXPECT_FALSE(StartCartridge(*m, test::MakeTempDir() + "/missing.gb"));
    EXPECT_EQ(m->RomName, "kept");
    EXPECT_EQ(m->regA, 0x77);
    EXPECT_TRUE(m->Running);
    EXPECT_TRUE(m->Paused);
}

TEST(LifecycleTest, RunFrameIsOneFrameOfScanlines) {
    auto a = test::MakeMachine(LoopRom());
    auto b = test::MakeMachine(LoopRom());
    a->LY = b->LY = 7;  // mid-frame: a frame is a count of lines, not an LY range
    RunFrame(*a);
    for (int line = 0; line < kLinesPerFrame; ++line) RunScanline(*b);
    EXPECT_EQ(a->LY, 7);
    EXPECT_EQ(a->FrameCount, 1);
    EXPECT_EQ(a->DIV, b->DIV);
    EXPECT_EQ(a->regPC, b->regPC);
}

// Drawing every frame only draws more: with sprites on every line (their
// renderer reads the surface back) the machine's state after the same frames
// is the same, and the last picture too.
TEST(LifecycleTest, DrawingEveryFrameLeavesTheSameMachine) {
    struct CountingHost : Host {
        int drawn = 0;
        void FrameEnded(bool d) override { drawn += d; }
    };
    std::vector<uint8_t> states[2];
    std::vector<Color> pictures[2];
    int drawn[2] = {};
    for (int every = 0; every < 2; ++every) {
        auto m = test::MakeMachine(test::BenchmarkCartridge(10));
        Surface surface;
        CountingHost host;
        host.Screen = &surface;
        m->host = &host;
        m->DrawEveryFrame = every == 1;
        for (int f = 0; f < 31; ++f) RunFrame(*m);  // 31: the last frame is drawn either way
        states[every] = SerializeState(*m);
        pictures[every].assign(surface.Pixels(), surface.Pixels() + Surface::kMaxWidth * Surface::kMaxHeight);
        drawn[every] = host.drawn;
        m->host = nullptr;
    }
    EXPECT_EQ(states[0], states[1]);
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(drawn[0], 11);
    EXPECT_EQ(drawn[1], 31);
}

// One instruction per step, kDebuggerStepCycles counted; the count's passing
// a scanline ticks the line (LY on, wrapping after the last) and restarts it.
TEST(LifecycleTest, DebuggerStepCountsItsOwnCyclesAndTicksLines) {
    struct Case {
        int32_t cyclesBefore;
        uint8_t lyBefore;
        int32_t cyclesAfter;
        uint8_t lyAfter;
    };
    const Case cases[] = {
        {0, 5, kDebuggerStepCycles, 5},
        {kCyclesPerLine - kDebuggerStepCycles, 5, kCyclesPerLine, 5},  // not above yet
        {kCyclesPerLine - kDebuggerStepCycles + 1, 5, 0, 6},
        {kCyclesPerLine, kLastLine, 0, 0},
    };
    for (const Case& c : cases) {
        auto m = test::MakeMachine(LoopRom());
        m->LY = c.lyBefore;
        int32_t cycles = c.cyclesBefore;
        DebuggerStep(*m, cycles);
        EXPECT_EQ(m->regPC, 0x101) << c.cyclesBefore;  // exactly the NOP
        EXPECT_EQ(cycles, c.cyclesAfter) << c.cyclesBefore;
        EXPECT_EQ(m->LY, c.lyAfter) << c.cyclesBefore;
    }
}

TEST(LifecycleTest, DebuggerStepOfAStoppedMachineOnlyCounts) {
    auto m = test::MakeMachine(LoopRom());
    m->Running = false;
    int32_t cycles = 0;
    DebuggerStep(*m, cycles);
    EXPECT_EQ(m->regPC, 0x100);
    EXPECT_EQ(cycles, kDebuggerStepCycles);
}

TEST(LifecycleTest, FreeRomStopsAndClearsTheCartridgeMemory) {
    test::RomBuilder rom(4, 0x01, "FREE");
    auto m = test::MakeMachine(rom);
    m->Paused = true;
    m->BankMode = 1;
    m->Oam[3] = m->VideoRam[4] = m->RamBanks[15][5] = 0x42;
    m->regB = 0x42;
    FreeRom(*m);
    EXPECT_FALSE(m->Running);
    EXPECT_FALSE(m->Paused);
    EXPECT_EQ(m->CartType, 0);
    EXPECT_EQ(m->BankMode, 0);
    EXPECT_EQ(m->Oam[3] | m->VideoRam[4] | m->RamBanks[15][5], 0);
    EXPECT_TRUE(std::all_of(m->RomWindow.begin(), m->RomWindow.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(m->regB, 0x42);       // the registers stay
    EXPECT_EQ(m->RomName, "test");  // and so does the file's name
    EXPECT_FALSE(m->RomImage.empty());
}

}  // namespace
}  // namespace wenlo
