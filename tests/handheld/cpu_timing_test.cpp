// The CPU at the hardware's timing: machine cycles per instruction, the timed
// accesses inside one, interrupt dispatch, EI's delay and HALT.
#include <gtest/gtest.h>

#include "handheld/bus.h"
#include "handheld/timer.h"
#include "tests/handheld/handheld_fixture.h"

namespace wenlo::test {
namespace {

struct TimingCase {
    const char* what;
    std::vector<uint8_t> code;  // at 0x0100; flags as after the boot program (Z set)
    uint32_t cycles;            // clock cycles of the first instruction
};

TEST(HandheldCpu, InstructionsTakeTheirMachineCycles) {
    const TimingCase cases[] = {
        {"NOP", {0x00}, 4},
        {"LD BC,nn", {0x01, 0x34, 0x12}, 12},
        {"LD (HL),n", {0x36, 0x00}, 12},
        {"INC (HL)", {0x34}, 12},
        {"LD (nn),SP", {0x08, 0x00, 0xC0}, 20},
        {"JR taken", {0x18, 0x00}, 12},
        {"JR NZ not taken (Z set)", {0x20, 0x00}, 8},
        {"JP Z taken", {0xCA, 0x00, 0x02}, 16},
        {"JP NZ not taken", {0xC2, 0x00, 0x02}, 12},
        {"CALL nn", {0xCD, 0x00, 0x02}, 24},
        {"CALL NZ not taken", {0xC4, 0x00, 0x02}, 12},
        {"RET Z taken", {0xC8}, 20},
        {"RET NZ not taken", {0xC0}, 8},
        {"RET", {0xC9}, 16},
        {"RST 38", {0xFF}, 16},
        {"PUSH BC", {0xC5}, 16},
        {"POP BC", {0xC1}, 12},
        {"ADD SP,e", {0xE8, 0x01}, 16},
        {"LD HL,SP+e", {0xF8, 0x01}, 12},
        {"LD SP,HL", {0xF9}, 8},
        {"INC BC", {0x03}, 8},
        {"ADD HL,BC", {0x09}, 8},
        {"LDH (n),A", {0xE0, 0x80}, 12},
        {"LD A,(nn)", {0xFA, 0x00, 0xC0}, 16},
        {"CB RLC B", {0xCB, 0x00}, 8},
        {"CB RLC (HL)", {0xCB, 0x06}, 16},
        {"CB BIT 0,(HL)", {0xCB, 0x46}, 12},
        {"JP HL", {0xE9}, 4},
    };
    for (const TimingCase& c : cases) {
        RomBuilder rom;
        rom.Put(0x100, c.code);
        auto h = MakeHandheld(rom);
        h->cpu.r[hh::reg::H] = 0xC0, h->cpu.r[hh::reg::L] = 0x00;  // (HL) in work RAM
        EXPECT_EQ(hh::CpuStep(*h), c.cycles) << c.what;
    }
}

TEST(HandheldCpu, AReadInsideAnInstructionSeesItsOwnCycle) {
    // LDH A,(DIV) reads in its third machine cycle: with the counter set so
    // that DIV steps 8 clock cycles after the instruction starts, the read
    // (at 12) sees the new value, and a NOP first moves it on by 4 more.
    RomBuilder rom;
    rom.Entry({0xF0, 0x04});
    auto h = MakeHandheld(rom);
    h->timer.counterBase = h->now - 0x00F8;  // DIV 0, counter 8 short of 0x100
    hh::CpuStep(*h);
    EXPECT_EQ(h->cpu.r[hh::reg::A], 1);
}

TEST(HandheldCpu, DispatchTakesFiveCyclesInPriorityOrder) {
    RomBuilder rom;
    rom.Entry({0x00});
    auto h = MakeHandheld(rom);
    h->cpu.ime = true;
    h->IE = 0x1F;
    h->IF = hh::kIntTimer | hh::kIntSerial;
    EXPECT_EQ(hh::CpuStep(*h), 20u);
    EXPECT_EQ(h->cpu.pc, 0x50);        // the timer before the serial port
    EXPECT_EQ(h->IF, hh::kIntSerial);  // only the one taken is cleared
    EXPECT_FALSE(h->cpu.ime);
    EXPECT_EQ(hh::PeekByte(*h, 0xFFFD), 0x01);  // pc 0x0100 pushed
}

TEST(HandheldCpu, APushOverIeCancelsTheInterrupt) {
    // SP at 0x0000: the high byte of pc (0x02) goes to 0xFFFF (IE), clearing
    // the enable of the pending interrupt before the vector is chosen.
    RomBuilder rom;
    auto h = MakeHandheld(rom);
    h->cpu.pc = 0x0200;
    h->cpu.ime = true;
    h->cpu.sp = 0x0000;
    h->IE = hh::kIntVBlank;
    h->IF = hh::kIntVBlank;
    hh::CpuStep(*h);
    EXPECT_EQ(h->cpu.pc, 0x0000);
    EXPECT_EQ(h->IF & hh::kIntVBlank, hh::kIntVBlank);  // still pending
}

TEST(HandheldCpu, EiTakesEffectAfterTheNextInstruction) {
    RomBuilder rom;
    rom.Entry({0xFB, 0x00, 0x00});  // EI, NOP, NOP
    auto h = MakeHandheld(rom);
    h->IE = hh::kIntVBlank;
    h->IF = hh::kIntVBlank;
    hh::CpuStep(*h);  // EI
    hh::CpuStep(*h);  // the NOP after it still runs
    EXPECT_EQ(h->cpu.pc, 0x0102);
    hh::CpuStep(*h);  // now the interrupt
    EXPECT_EQ(h->cpu.pc, 0x0040);
}

TEST(HandheldCpu, HaltWaitsWakesAndRepeatsAByteWhenAlreadyPending) {
    struct Case {
        const char* what;
        bool ime, pendingBefore;
        uint16_t pcAfter;  // after HALT, the wake and one more step
    };
    const Case cases[] = {
        // IME set: the wake dispatches.
        {"IME set", true, false, 0x0050},
        // IME clear: the wake goes on after HALT without dispatch.
        {"IME clear", false, false, 0x0102},
        // IME clear, already pending: no halt, and INC A runs twice.
        {"HALT bug", false, true, 0x0102},
    };
    for (const Case& c : cases) {
        RomBuilder rom;
        rom.Entry({0x76, 0x3C, 0x00});  // HALT, INC A, NOP
        auto h = MakeHandheld(rom);
        h->cpu.ime = c.ime;
        h->IE = hh::kIntTimer;
        h->cpu.r[hh::reg::A] = 0;
        if (c.pendingBefore) h->IF = hh::kIntTimer;
        // The timer overflows soon: TIMA 0xFF at 262144 Hz.
        h->timer.tac = 0x05;
        h->timer.tima = 0xFF;
        hh::TimerCatchUp(*h);
        hh::CpuStep(*h);  // HALT
        if (!c.pendingBefore) {
            EXPECT_TRUE(h->cpu.halted) << c.what;
            while (h->cpu.halted) hh::CpuStep(*h);
        }
        hh::CpuStep(*h);
        if (c.pendingBefore) hh::CpuStep(*h);
        EXPECT_EQ(h->cpu.pc, c.pcAfter) << c.what;
        if (c.pendingBefore) {
            EXPECT_EQ(h->cpu.r[hh::reg::A], 2) << c.what;
        }
    }
}

TEST(HandheldCpu, UndefinedOpcodesLockTheCpu) {
    RomBuilder rom;
    rom.Entry({0xD3, 0x00});
    auto h = MakeHandheld(rom);
    hh::CpuStep(*h);
    h->cpu.ime = true;
    h->IE = h->IF = hh::kIntVBlank;
    for (int i = 0; i < 10; ++i) hh::CpuStep(*h);
    EXPECT_TRUE(h->cpu.locked);
    EXPECT_EQ(h->cpu.pc, 0x0101);  // not even an interrupt moves it
    EXPECT_EQ(h->report.entries[size_t(hh::Lack::LockedCpu)].count, 1u);
}

// The run loop reads code from a window over the bank it runs in: an
// instruction whose operand lies past the bank's end, and a bank switched
// under the running code, must read what a byte-by-byte fetch reads.
TEST(HandheldCpu, RunLoopFollowsTheBanksItsCodeRunsIn) {
    RomBuilder rom(4, cart::kMbc1);
    rom.Entry({0x3E, 0x02, 0xEA, 0x00, 0x20, 0xC3, 0xFF, 0x3F});  // ld a,2; ld (2000),a; jp 3FFF
    rom.Put(0x3FFF, {0x3E});                                      // ld a,n: n from bank 2 at 0x4000
    const std::vector<uint8_t> tail = {0x47, 0x3E, 0x01, 0xEA, 0x00, 0x20};  // ld b,a; ld a,1; ld (2000),a
    for (int bank = 1; bank <= 2; ++bank) {
        rom.PutBanked(bank, 0x4000, {uint8_t(0x20 + bank)});
        for (size_t i = 0; i < tail.size(); ++i) rom.PutBanked(bank, uint16_t(0x4001 + i), {tail[i]});
        // After the switch the next opcode comes from bank 1: ld c,a there, ld d,a in bank 2.
        rom.PutBanked(bank, 0x4007, {uint8_t(bank == 1 ? 0x4F : 0x57), 0x18, 0xFE});  // then jr self
    }
    auto h = MakeHandheld(rom);
    h->cpu.r[hh::reg::D] = 0x99;
    hh::CpuRun(*h, h->now + 400);
    EXPECT_EQ(h->cpu.r[hh::reg::B], 0x22);
    EXPECT_EQ(h->cpu.r[hh::reg::C], 0x01);
    EXPECT_EQ(h->cpu.r[hh::reg::D], 0x99);
    EXPECT_EQ(h->cpu.pc, 0x4008);
}

}  // namespace
}  // namespace wenlo::test
