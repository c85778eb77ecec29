// The compatibility record: each difference is reported by a cartridge that
// uses it, the refined rules keep quiet on what works here, the record is
// cleared as documented, and it never changes the emulation.
#include "core/compat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/cartridge.h"
#include "core/scheduler.h"
#include "core/timing.h"
#include "input/joypad.h"
#include "input/keys.h"
#include "savestate/state_file.h"
#include "tests/support/rom_builder.h"

namespace wenlo {
namespace {

using F = CompatFeature;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kCode = 0x150;  // every cartridge here jumps from 0x100 to its code at 0x150

struct Cartridge {
    Cartridge(int banks, uint8_t type, Bytes code, std::vector<std::pair<uint32_t, Bytes>> more = {})
        : banks(banks), type(type), code(std::move(code)), more(std::move(more)) {}
    int banks;
    uint8_t type;
    Bytes code;
    std::vector<std::pair<uint32_t, Bytes>> more;  // other bytes: handlers, header flags
};

test::RomBuilder Build(const Cartridge& c) {
    test::RomBuilder rom(c.banks, c.type);
    rom.Entry({0xC3, 0x50, 0x01});  // jp 0x150
    rom.Put(kCode, c.code);
    for (const auto& [offset, bytes] : c.more) rom.Put(offset, bytes);
    return rom;
}

// Runs whole frames; `pressFrom` >= 0 holds Right from that frame on.
void RunFrames(Machine& m, int frames, int pressFrom = -1) {
    for (int f = 0; f < frames; ++f) {
        if (f == pressFrom) KeyDown(m, keys::Right);
        for (int line = 0; line < kLinesPerFrame; ++line) RunScanline(m);
    }
}

const Bytes kLoop = {0x18, 0xFE};  // jr -2

Bytes Then(Bytes code, const Bytes& tail = kLoop) {
    code.insert(code.end(), tail.begin(), tail.end());
    return code;
}

struct FeatureCase {
    F feature;
    Cartridge cart;
    int frames;
    int pressFrom;
    int64_t firstFrame;
};

TEST(Compat, EachDifferenceIsReportedByACartridgeThatUsesIt) {
    const FeatureCase cases[] = {
        {F::TimerInterrupt, {2, 0, Then({0x3E, 0x04, 0xE0, 0xFF})}, 1, -1, 0},  // IE = 0x04
        {F::TimerRegisters, {2, 0, Then({0x3E, 0x05, 0xE0, 0x07})}, 1, -1, 0},  // TAC = 0x05
        {F::SerialInterrupt, {2, 0, Then({0x3E, 0x08, 0xE0, 0xFF})}, 1, -1, 0},
        {F::SerialRegisters, {2, 0, Then({0x3E, 0x81, 0xE0, 0x02})}, 1, -1, 0},
        {F::WindowLayer, {2, 0, Then({0x3E, 0xB1, 0xE0, 0x40})}, 1, -1, 0},     // LCDC bit 5
        {F::WindowPosition, {2, 0, Then({0x3E, 0x07, 0xE0, 0x4B})}, 1, -1, 0},  // WX
        {F::StatInterruptSelect, {2, 0, Then({0x3E, 0x40, 0xE0, 0x41})}, 1, -1, 0},
        {F::Sound, {2, 0, Then({0x3E, 0x77, 0xE0, 0x24, 0xF0, 0x26})}, 1, -1, 0},  // NR50 written, NR52 read
        // l: ldh a,(STAT); and 3; cp 3; jr nz,l: waits for mode 3.
        {F::StatPolling, {2, 0, {0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x03, 0x20, 0xF8}}, 1, -1, 0},
        {F::Halt, {2, 0, {0x76, 0x18, 0xFD}}, 1, -1, 0},
        {F::Stop, {2, 0, {0x10, 0x00, 0x18, 0xFC}}, 1, -1, 0},
        {F::UndefinedOpcode, {2, 0, {0xD3, 0x18, 0xFD}}, 1, -1, 0},
        // LYC = 5, IE = LCD status; the handler at 0x48 never returns, so the
        // next frame's request at line 5 is taken inside it.
        {F::NestedInterrupt,
         {2, 0, Then({0x3E, 0x05, 0xE0, 0x45, 0x3E, 0x02, 0xE0, 0xFF}), {{0x48, kLoop}}},
         2,
         -1,
         1},
        {F::StackDropped, {2, 0, Then({0x31, 0x00, 0x00, 0xC5})}, 1, -1, 0},  // ld sp,0; push bc
        {F::PcUnmapped, {2, 0, {0xC3, 0x00, 0xA0}}, 1, -1, 0},          // into cartridge RAM that is off
        {F::PcUnmapped, {2, 0, {0xC3, 0xF0, 0xFF}}, 1, -1, 0},          // through IE and past 0xFFFF
        {F::BankWindowEmpty, {4, 0x01, {0xC3, 0x00, 0x40}}, 1, -1, 0},  // jp 0x4000, no bank chosen
        // Data read from the empty window: through (HL), (nn), a pop and a sprite copy.
        {F::BankWindowRead, {4, 0x01, Then({0x21, 0x00, 0x40, 0x7E})}, 1, -1, 0},  // ld a,(hl)
        {F::BankWindowRead, {4, 0x01, Then({0xFA, 0xFF, 0x7F})}, 1, -1, 0},        // ld a,(0x7FFF)
        {F::BankWindowRead, {4, 0x01, Then({0x31, 0x00, 0x50, 0xC1})}, 1, -1, 0},  // ld sp; pop bc
        {F::BankWindowRead, {4, 0x01, Then({0x3E, 0x40, 0xE0, 0x46})}, 1, -1, 0},  // DMA page 0x40
        {F::CartType, {2, 0x05, kLoop}, 1, -1, 0},
        {F::BatteryRam, {4, 0x03, kLoop}, 1, -1, 0},
        {F::ColourOnly, {2, 0, kLoop, {{0x143, {0xC0}}}}, 1, -1, 0},
        {F::ColourEnhanced, {2, 0, kLoop, {{0x143, {0x80}}}}, 1, -1, 0},
        {F::SuperSystem, {2, 0, kLoop, {{0x146, {0x03}}}}, 1, -1, 0},
        // Selects the directions once, then reads 0xFF00 for ever; Right from frame 2.
        {F::JoypadUnseen, {2, 0, {0x3E, 0x20, 0xE0, 0x00, 0xF0, 0x00, 0x18, 0xFC}}, 3, 2, 2},
    };
    for (const FeatureCase& c : cases) {
        SCOPED_TRACE(CompatInfoOf(c.feature).name);
        auto m = test::MakeMachine(Build(c.cart));
        RunFrames(*m, c.frames, c.pressFrom);
        const CompatEntry& e = m->compat.entries[size_t(c.feature)];
        EXPECT_GE(e.count, 1u);
        EXPECT_EQ(e.firstFrame, c.firstFrame);
        // The cartridge is reported for this and, the header flags aside,
        // nothing else.
        const std::vector<F> used = CompatUsed(m->compat);
        EXPECT_NE(std::find(used.begin(), used.end(), c.feature), used.end());
        EXPECT_LE(used.size(), 2u) << CompatReportText(m->compat);
    }
}

// What the plain rules would flag but works on this machine.
TEST(Compat, RefinedRulesKeepQuietOnWhatWorksHere) {
    const struct {
        const char* what;
        F feature;
        Cartridge cart;
        int frames;
        int pressFrom;
    } cases[] = {
        // l: ldh a,(STAT); and 3; cp 1; jr nz,l (VBlank), then 13 lines of
        // work (ld b,0; m: dec b; jr nz,m) and again.
        {"waiting for VBlank through STAT",
         F::StatPolling,
         {2, 0, {0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x01, 0x20, 0xF8, 0x06, 0x00, 0x05, 0x20, 0xFD, 0x18, 0xF1}},
         4,
         -1},
        // ld hl,0xC000; l: ldh a,(STAT); and 2; jr nz,l; ld (hl+),a; res 5,h; jr l
        // checks the mode before each byte of a copy that never ends.
        {"a copy that checks STAT before each byte",
         F::StatPolling,
         {2, 0, {0x21, 0x00, 0xC0, 0xF0, 0x41, 0xE6, 0x02, 0x20, 0xFA, 0x22, 0xCB, 0xAC, 0x18, 0xF5}},
         4,
         -1},
        // l: ld a,0x20; ldh (P1),a; six ldh a,(P1); jr l: asks for the keys each time.
        {"reading the keys after selecting them",
         F::JoypadUnseen,
         {2,
          0,
          {0x3E, 0x20, 0xE0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00,
           0x18, 0xEE}},
         4,
         1},
        // LYC = 5, IE = LCD status; the main loop calls a routine, the handler
        // returns with RETI: interrupts often come while the stack is deeper.
        {"an interrupt taken inside a call of the main program",
         F::NestedInterrupt,
         {2,
          0,
          {0x3E, 0x05, 0xE0, 0x45, 0x3E, 0x02, 0xE0, 0xFF, 0xCD, 0x60, 0x01, 0x18, 0xFB},
          {{0x160, {0x00, 0xC9}}, {0x48, {0xD9}}}},
         4,
         -1},
        // ld a,1; ld (0x2000),a; jp 0x4000: bank 1 chosen first.
        {"code in bank 1 after selecting it",
         F::BankWindowEmpty,
         {4, 0x01, {0x3E, 0x01, 0xEA, 0x00, 0x20, 0xC3, 0x00, 0x40}, {{0x4000, kLoop}}},
         2,
         -1},
        // ld a,1; ld (0x2000),a; ld a,(0x4000)
        {"data read from bank 1 after selecting it",
         F::BankWindowRead,
         {4, 0x01, Then({0x3E, 0x01, 0xEA, 0x00, 0x20, 0xFA, 0x00, 0x40})},
         1,
         -1},
        {"the last byte of bank 0", F::BankWindowRead, {4, 0x01, Then({0xFA, 0xFF, 0x3F})}, 1, -1},
        {"a cartridge without banks", F::BankWindowRead, {2, 0x00, Then({0xFA, 0x00, 0x40})}, 1, -1},
        {"code, not data, in the empty window", F::BankWindowRead, {4, 0x01, {0xC3, 0x00, 0x40}}, 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = test::MakeMachine(Build(c.cart));
        RunFrames(*m, c.frames, c.pressFrom);
        EXPECT_EQ(m->compat.entries[size_t(c.feature)].count, 0u) << CompatReportText(m->compat);
    }
}

// ld hl,0x4000; ld de,0xC000; l: ld a,(hl+); ld (de),a; inc de; ld a,h; cp 0x50; jr nz,l
const Bytes kCopyWindowToRam = {0x21, 0x00, 0x40, 0x11, 0x00, 0xC0, 0x2A,
                                0x12, 0x13, 0x7C, 0xFE, 0x50, 0x20, 0xF8};

TEST(Compat, EachByteReadFromTheEmptyWindowCountsUntilTheFirstSelect) {
    // Copies 0x4000-0x4FFF to work RAM, selects bank 2 and copies it again.
    Bytes code = kCopyWindowToRam;
    code.insert(code.end(), {0x3E, 0x02, 0xEA, 0x00, 0x20});  // ld a,2; ld (0x2000),a
    test::RomBuilder rom = Build({4, 0x01, Then(Then(code, kCopyWindowToRam))});
    rom.PutBanked(2, 0x4000, {0x12, 0x34});
    rom.PutBanked(2, 0x4FFF, {0x56});
    auto m = test::MakeMachine(rom);
    RunFrames(*m, 8);
    EXPECT_EQ(m->compat.entries[size_t(F::BankWindowRead)].count, 0x1000u);  // the first copy only
    EXPECT_EQ(m->compat.entries[size_t(F::BankWindowRead)].firstFrame, 0);
    // The reads went to the full decode and gave the window's bytes all the same.
    EXPECT_EQ(m->RamBanks[0][0x0000], 0x12);
    EXPECT_EQ(m->RamBanks[0][0x0001], 0x34);
    EXPECT_EQ(m->RamBanks[0][0x0FFF], 0x56);
    EXPECT_EQ(CompatReportText(m->compat),
              "bank-window-read 4096 0 data read from 0x4000-0x7FFF before the first bank-select write; "
              "that window still holds zeros or another cartridge's bank\n"
              "compat: 1 differences used: bank-window-read\n");

    // A reset that comes before any select leaves the window as empty as it was.
    auto unselected = test::MakeMachine(Build({4, 0x01, Then(kCopyWindowToRam)}));
    RunFrames(*unselected, 4);
    ResetMachine(*unselected);
    RunFrames(*unselected, 4);
    EXPECT_EQ(unselected->compat.entries[size_t(F::BankWindowRead)].count, 0x1000u);
    EXPECT_EQ(unselected->compat.entries[size_t(F::BankWindowRead)].firstFrame, 0);
}

TEST(Compat, ReportLinesAndSummary) {
    auto m = test::MakeMachine(Build({2, 0x03, {0x3E, 0x04, 0xE0, 0xFF, 0x76, 0x18, 0xFD}}));
    EXPECT_EQ(CompatSummary(m->compat), "compat: 1 differences used: battery-ram");
    RunFrames(*m, 2);
    const CompatEntry halt = m->compat.entries[size_t(F::Halt)];
    EXPECT_GT(halt.count, 1000u);  // once for every HALT run
    EXPECT_EQ(CompatReportText(m->compat),
              "timer-interrupt 1 0 the timer interrupt is enabled (IE bit 2); there is no timer\n"
              "halt " +
                  std::to_string(halt.count) +
                  " 0 HALT ran; it is a NOP here and waits for nothing\n"
                  "battery-ram 1 0 battery-backed RAM (type 0x03): nothing keeps it across a reset\n"
                  "compat: 3 differences used: timer-interrupt, halt, battery-ram\n");
}

TEST(Compat, ClearedByLoadAndResetButNotByLoadState) {
    const test::RomBuilder timer = Build({2, 0, Then({0x3E, 0x04, 0xE0, 0xFF})});
    auto m = test::MakeMachine(timer);
    RunFrames(*m, 3);
    const std::vector<uint8_t> state = SerializeState(*m);
    ASSERT_EQ(m->compat.frame, 3);

    ASSERT_TRUE(DeserializeState(*m, state));  // Load State: the run goes on
    EXPECT_EQ(m->compat.entries[size_t(F::TimerInterrupt)].count, 1u);
    EXPECT_EQ(m->compat.frame, 3);

    ResetMachine(*m);  // a new run: the header is noted again, nothing else
    EXPECT_EQ(m->compat.entries[size_t(F::TimerInterrupt)].count, 0u);
    EXPECT_EQ(m->compat.frame, 0);
    RunFrames(*m, 1);
    EXPECT_EQ(m->compat.entries[size_t(F::TimerInterrupt)].count, 1u);

    ASSERT_TRUE(LoadRomImage(*m, Build({2, 0x05, kLoop}).Bytes(), "other.gb"));  // a new cartridge
    EXPECT_EQ(CompatSummary(m->compat), "compat: 1 differences used: cart-type");
}

TEST(Compat, EmulationIsTheSameWithTheRecordOnAndOff) {
    // A cartridge that sets off most rules, and the benchmark cartridge.
    const test::RomBuilder busy =
        Build({4,
               0x03,
               {0x3E, 0x05, 0xE0, 0x45, 0x3E, 0x0F, 0xE0, 0xFF, 0x3E, 0xB1, 0xE0, 0x40, 0x3E, 0x77,
                0xE0, 0x24, 0xD3, 0x76, 0x10, 0x00, 0xF0, 0x41, 0xE6, 0x03, 0xFE, 0x03, 0x20, 0xF8},
               {{0x40, {0xD9}}, {0x48, kLoop}}});
    for (const test::RomBuilder& rom : {busy, test::BenchmarkCartridge(10)}) {
        std::vector<uint8_t> states[2];
        for (int on = 0; on < 2; ++on) {
            auto m = test::MakeMachine(rom);
            m->compat.enabled = on == 1;
            if (on == 0) ClearCompat(m->compat);  // the header noted at load
            RunFrames(*m, 30, 5);
            states[on] = SerializeState(*m);
            if (on == 0) {
                EXPECT_TRUE(CompatUsed(m->compat).empty());
            }
        }
        EXPECT_EQ(states[0], states[1]);
    }
}

}  // namespace
}  // namespace wenlo
