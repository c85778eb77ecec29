// The main instruction table: calling frame of Interpret (Running, Paused,
// budget), the cost of every opcode, loads, stack, jumps, calls, returns,
// control instructions, undefined opcodes, and wide PC/SP values.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <utility>

#include "core/cost_table.h"
#include "core/cpu_cb_internal.h"
#include "tests/core/cpu_test_util.h"

namespace wenlo::test {
namespace {

// ---- Costs -------------------------------------------------------------------

// The cost table is the library's (core/cost_table.h); each cell is checked
// here against the cycles its opcode takes when run. 0xCB runs with 0x00
// after it (RLC B), so it costs the CB table's count.
int CostOf(int op) { return op == 0xCB ? cb::kCycles : kCostTable[op].taken; }

enum class Flag { Z, C };

struct Conditional {
    uint8_t op;
    Flag flag;
    int takenWhen;  // flag value that makes the branch taken
};

constexpr Conditional kConditionals[] = {
    {0x20, Flag::Z, 0}, {0x28, Flag::Z, 1}, {0x30, Flag::C, 0}, {0x38, Flag::C, 1},
    {0xC0, Flag::Z, 0}, {0xC8, Flag::Z, 1}, {0xD0, Flag::C, 0}, {0xD8, Flag::C, 1},
    {0xC2, Flag::Z, 0}, {0xCA, Flag::Z, 1}, {0xD2, Flag::C, 0}, {0xDA, Flag::C, 1},
    {0xC4, Flag::Z, 0}, {0xCC, Flag::Z, 1}, {0xD4, Flag::C, 0}, {0xDC, Flag::C, 1},
};

TEST(CpuCostTest, EveryOpcodeCostsWhatTheTableSays) {
    for (int op = 0; op < 256; ++op) {
        auto m = CodeMachine({uint8_t(op)});
        const Conditional* cond = nullptr;
        for (const auto& c : kConditionals)
            if (c.op == op) cond = &c;
        const std::string what = "opcode " + std::to_string(op);
        if (!cond) {
            // Only the conditionals have two costs.
            EXPECT_EQ(kCostTable[op].notTaken, kCostTable[op].taken) << what;
            ExpectCost(*m, CostOf(op), what);
            continue;
        }
        uint8_t& flag = cond->flag == Flag::Z ? m->flagZ : m->flagC;
        flag = uint8_t(cond->takenWhen);
        ExpectCost(*m, kCostTable[op].taken, what + " taken");
        flag = uint8_t(1 - cond->takenWhen);
        ExpectCost(*m, kCostTable[op].notTaken, what + " not taken");
    }
}

// ---- Calling frame -------------------------------------------------------------

TEST(CpuFrameTest, BudgetRunsWholeInstructionsWhileAboveZero) {
    struct Case {
        int budget;
        int nops;  // instructions run over a stretch of 4-cycle NOPs
    };
    const Case cases[] = {{1, 1},     {3, 1}, {4, 1},  {5, 2},        {8, 2},
                          {456, 114}, {0, 0}, {-1, 0}, {SHRT_MIN, 0}, {SHRT_MAX, 8192}};
    for (const auto& c : cases) {
        auto m = CodeMachine();
        m->CurrentOpcode = 0x99;
        Interpret(*m, int16_t(c.budget));
        EXPECT_EQ(m->regPC, 0x100 + c.nops) << "budget " << c.budget;
        EXPECT_EQ(m->CurrentOpcode, c.nops ? 0x00 : 0x99) << "budget " << c.budget;
    }
}

// Programs for the comparison of long budgets with single steps. Each runs
// unconditional instructions only (the single steps charge CostOf), in a loop.
std::unique_ptr<Machine> CallLoopInRom() {
    // CALL, PUSH, POP, JR back; the routine runs NOP, LD A,n, RST 38 (which
    // returns at once) and RET: costs from 4 to 24 (the dearest).
    RomBuilder rom;
    rom.Put(0x100, {0xCD, 0x00, 0x02,                // 0100 loop: call 0x0200
                    0xC5,                            // 0103 push bc
                    0xC1,                            // 0104 pop bc
                    0x18, 0xF9});                    // 0105 jr loop
    rom.Put(0x200, {0x00, 0x3E, 0x5A, 0xFF, 0xC9});  // nop, ld a,0x5A, rst 38, ret
    rom.Put(0x38, {0xC9});                           // ret
    auto m = MakeMachine(rom);
    m->regSP = 0xDFF0;
    return m;
}

std::unique_ptr<Machine> CodeWritingOverItselfInWorkRam() {
    auto m = CodeMachine();
    Poke(*m, 0xC100,
         {0x3E, 0x00,        // C100 loop: ld a,0     its operand is rewritten
          0x3C,              // C102 inc a
          0xEA, 0x01, 0xC1,  // C103 ld (0xC101),a   the next turn loads the new value
          0x21, 0x0D, 0xC1,  // C106 ld hl,0xC10D
          0x7E,              // C109 ld a,(hl)
          0xEE, 0x08,        // C10A xor 0x08        INC B <-> INC C
          0x77,              // C10C ld (hl),a       writes over the next instruction
          0x04,              // C10D inc b
          0x18, 0xF0});      // C10E jr loop
    m->regPC = 0xC100;
    return m;
}

std::unique_ptr<Machine> CodeRunningFromWorkRamIntoItsEcho() {
    // LD B,n at 0xDFFF takes its operand from 0xE000, the echo of 0xC000;
    // the echo then writes its own next operand through the other address.
    auto m = CodeMachine();
    Poke(*m, 0xDFF8,
         {0x00, 0x00, 0x00, 0x00, 0x00,  // DFF8 loop: nop x5
          0x1E, 0x5A,                    // DFFD ld e,0x5A
          0x06});                        // DFFF ld b,n
    Poke(*m, 0xC000,
         {0x99,                // E000 n
          0x3C,                // E001 inc a
          0xEA, 0x06, 0xC0,    // E002 ld (0xC006),a   = 0xE006
          0x0E, 0x00,          // E005 ld c,n
          0xC3, 0xF8, 0xDF});  // E007 jp loop
    m->regPC = 0xDFF8;
    return m;
}

std::unique_ptr<Machine> JumpsOntoTheLastBytesOfWorkRam() {
    // The jump lands where an instruction no longer fits before the echo:
    // LD HL,nn at 0xDFFE takes its high byte from 0xE000 (= 0xC000), and
    // the echo goes on with INC B and the jump back.
    auto m = CodeMachine();
    Poke(*m, 0xC100, {0x00, 0x14, 0xC3, 0xFE, 0xDF});  // C100 loop: nop; inc d; jp 0xDFFE
    Poke(*m, 0xDFFE, {0x21, 0x34});                    // DFFE ld hl,nn
    Poke(*m, 0xC000, {0x77, 0x04, 0xC3, 0x00, 0xC1});  // E000 n; E001 inc b; jp loop
    m->regPC = 0xC100;
    return m;
}

std::unique_ptr<Machine> CodeRunningToTheEndOfHighRam() {
    // LD HL,nn ends at 0xFFFD, JR at 0xFFFE takes its offset from IE at
    // 0xFFFF (-128: back to 0xFF80); the loop rewrites the LD's operand.
    auto m = CodeMachine();
    std::vector<uint8_t> code(0xFFFF - 0xFF80, 0x00);  // nops
    const auto at = [&](int address) -> uint8_t& { return code[size_t(address - 0xFF80)]; };
    at(0xFF80) = 0x3C;  // inc a
    at(0xFF81) = 0xE0;  // ldh (0xFC),a
    at(0xFF82) = 0xFC;
    at(0xFFFB) = 0x21;  // ld hl,nn
    at(0xFFFE) = 0x18;  // jr e
    Poke(*m, 0xFF80, code);
    m->IE = 0x80;
    m->regPC = 0xFF80;
    return m;
}

std::unique_ptr<Machine> BankSwitchesUnderRunningCode() {
    // Each bank selects the other and goes on at the next address, which
    // then lies in the other bank: INC B and INC C take turns.
    RomBuilder rom(4, 0x01);
    rom.Put(0x100, {0x3E, 0x01, 0xEA, 0x00, 0x20, 0xC3, 0x00, 0x40});  // ld a,1; ld (0x2000),a; jp 0x4000
    rom.PutBanked(1, 0x4000,
                  {0x3E, 0x02, 0xEA, 0x00, 0x20, 0x04, 0x18, 0xF8});  // ld a,2; ld (0x2000),a; inc b; jr
    rom.PutBanked(2, 0x4000, {0x3E, 0x01, 0xEA, 0x00, 0x20, 0x0C, 0x18, 0xF8});  // ld a,1; ...; inc c; jr
    return MakeMachine(rom);
}

std::unique_ptr<Machine> SpriteCopyOverCodeInTheSpriteTable() {
    // Code in the sprite table copies the other image over itself and goes
    // on at the next address, in the other image.
    auto m = CodeMachine();
    const std::vector<uint8_t> first = {0x3E, 0xC2, 0xE0, 0x46,        // FE00 ld a,0xC2; ldh (DMA),a
                                        0x00, 0x00, 0x00, 0x00, 0x00,  //
                                        0x0C,                          // FE09 inc c
                                        0xC3, 0x00, 0xFE};             // FE0A jp 0xFE00
    const std::vector<uint8_t> second = {0x00, 0x00, 0x00, 0x00,
                                         0x04,                     // FE04 inc b
                                         0x3E, 0xC1, 0xE0, 0x46};  // FE05 ld a,0xC1; ldh (DMA),a
    Poke(*m, 0xC100, first);
    Poke(*m, 0xC200, second);
    Poke(*m, 0xFE00, first);
    m->regPC = 0xFE00;
    return m;
}

TEST(CpuFrameTest, LongBudgetsStopWhereSingleStepsWould) {
    // For every budget, one call must end exactly where single instructions
    // with their table costs do: also where code changes under the running
    // program or runs across the end of a region.
    // Both sides run the same fetch, so where a region ends the program's
    // own results are checked as well: the bytes past the end come from the
    // next region, as the full decode reads them.
    struct Program {
        const char* name;
        std::unique_ptr<Machine> (*make)();
        void (*check)(const Machine&);  // on the machine after the longest budget
    };
    const Program programs[] = {
        {"call loop in ROM", CallLoopInRom, nullptr},
        {"code writing over itself in work RAM", CodeWritingOverItselfInWorkRam, nullptr},
        {"from work RAM into its echo", CodeRunningFromWorkRamIntoItsEcho,
         [](const Machine& m) {
             EXPECT_EQ(m.regB, 0x99);  // LD B,n at 0xDFFF read its operand at 0xE000
             EXPECT_EQ(m.regE, 0x5A);
             EXPECT_TRUE(m.regC == m.regA || m.regC == uint8_t(m.regA - 1))
                 << int(m.regC) << " " << int(m.regA);
         }},
        {"jumps onto the last bytes of work RAM", JumpsOntoTheLastBytesOfWorkRam,
         [](const Machine& m) {
             EXPECT_EQ(GetHL(m), 0x7734);  // the high byte came from the echo
             EXPECT_TRUE(m.regB == m.regD || m.regB == uint8_t(m.regD - 1))
                 << int(m.regB) << " " << int(m.regD);
         }},
        {"to the end of high RAM", CodeRunningToTheEndOfHighRam,
         [](const Machine& m) {
             EXPECT_GE(m.regPC, 0xFF80);  // JR at 0xFFFE took its offset from IE
             EXPECT_LE(m.regPC, 0xFFFE);
             EXPECT_EQ(m.regH, 0x00);  // LD HL,nn read 0xFFFC-0xFFFD
             EXPECT_TRUE(m.regL == m.regA || m.regL == uint8_t(m.regA - 1))
                 << int(m.regL) << " " << int(m.regA);
         }},
        {"bank switches under running code", BankSwitchesUnderRunningCode, nullptr},
        {"sprite copy over running code", SpriteCopyOverCodeInTheSpriteTable, nullptr},
    };
    for (const auto& [name, make, check] : programs) {
        SCOPED_TRACE(name);
        const auto start = make();
        // The single steps go on from budget to budget: the state after the
        // instructions that start while less than the budget is spent.
        auto single = std::make_unique<Machine>(*start);
        int spent = 0;
        for (int budget = 1; budget <= 700; ++budget) {
            auto whole = std::make_unique<Machine>(*start);
            Interpret(*whole, int16_t(budget));

            while (spent < budget) {
                spent += CostOf(ReadByte(*single, single->regPC));
                Interpret(*single, 1);
            }
            ASSERT_EQ(Capture(*whole), Capture(*single)) << "budget " << budget;
            ASSERT_TRUE(SameMemory(*whole, *single)) << "budget " << budget;
            if (budget == 700 && check) check(*whole);
        }
    }
}

TEST(CpuFrameTest, OvershootIsDroppedBetweenCalls) {
    // RST 38 at 0x38 calls itself: 23 runs of 20 cycles per 456, ending at -4.
    auto m = CodeMachine();
    m->RomWindow[0x38] = 0xFF;
    m->regPC = 0x38;
    m->regSP = 0xD000;
    for (int call = 1; call <= 3; ++call) {
        Interpret(*m, 456);
        EXPECT_EQ(m->regSP, 0xD000 - call * 23 * 2) << "call " << call;
        EXPECT_EQ(m->regPC, 0x38);
    }
    EXPECT_EQ(ReadByte(*m, 0xD000 - 2), 0x39);  // return address 0x0039
    EXPECT_EQ(ReadByte(*m, 0xD000 - 1), 0x00);
}

TEST(CpuFrameTest, JumpRelativeCostsSevenUnconditionally) {
    // A run of JR +0: each moves on by 2, and 456 cycles hold 66 of them.
    std::vector<uint8_t> code;
    for (int i = 0; i < 100; ++i) code.insert(code.end(), {0x18, 0x00});
    auto m = CodeMachine(code);
    Interpret(*m, 456);
    EXPECT_EQ(m->regPC, 0x100 + 66 * 2);

    // JR -2 jumps to itself and stays there.
    auto self = CodeMachine({0x18, 0xFE});
    Interpret(*self, 456);
    EXPECT_EQ(self->regPC, 0x100);
    EXPECT_EQ(self->CurrentOpcode, 0x18);
}

TEST(CpuFrameTest, NotRunningChangesNothing) {
    auto m = CodeMachine({0x3C, 0x77, 0xC5});  // INC A, LD (HL),A, PUSH BC
    SetHL(*m, 0xC000);
    m->Running = false;
    m->Paused = true;
    m->CurrentOpcode = 0x5A;
    auto before = std::make_unique<Machine>(*m);
    Interpret(*m, 456);
    EXPECT_EQ(Capture(*m), Capture(*before));
    EXPECT_TRUE(SameMemory(*m, *before));
}

// A host whose event wait stands for a user who acts on the n-th wait.
struct ScriptedHost : Host {
    Machine* m = nullptr;
    int waits = 0;
    int releaseAt = 1;
    std::function<void(Machine&)> onRelease;
    void WaitForEvents() override {
        if (++waits < releaseAt) return;
        m->Paused = false;
        if (onRelease) onRelease(*m);
    }
};

TEST(CpuFrameTest, PauseWaitsThroughTheHostBeforeTheBudget) {
    struct Case {
        const char* name;
        int budget;
        std::function<void(Machine&)> onRelease;
        int32_t pc;  // after the call
        bool running;
    };
    const Case cases[] = {
        {"released on the third wait", 8, nullptr, 0x102, true},
        // Stop during the wait does not end the call: the budget still runs.
        {"stopped while paused", 8, [](Machine& m) { m.Running = false; }, 0x102, false},
        // A debugger step inside the wait: the outer budget goes on from
        // where the step left regPC.
        {"nested step", 4, [](Machine& m) { Interpret(m, 1); }, 0x102, true},
        // A budget of 0 still waits, then runs nothing.
        {"zero budget", 0, nullptr, 0x100, true},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine();
        ScriptedHost host;
        host.m = m.get();
        host.releaseAt = 3;
        host.onRelease = c.onRelease;
        m->host = &host;
        m->Paused = true;
        Interpret(*m, int16_t(c.budget));
        EXPECT_EQ(host.waits, 3) << c.name;
        EXPECT_EQ(m->regPC, c.pc) << c.name;
        EXPECT_EQ(m->Running, c.running) << c.name;
    }
}

TEST(CpuFrameTest, PauseIsNotWaitedForHeadless) {
    auto m = CodeMachine();
    m->Paused = true;
    Interpret(*m, 8);
    EXPECT_EQ(m->regPC, 0x102);
    EXPECT_TRUE(m->Paused);
}

// ---- Loads ---------------------------------------------------------------------

TEST(CpuLoadTest, RegisterToRegisterBlock) {
    // B C D E H L (HL) A get distinct values; HL = 0xC055 holds 0x66.
    const uint8_t start[8] = {0x11, 0x22, 0x33, 0x44, 0xC0, 0x55, 0x66, 0x77};
    for (int op = 0x40; op < 0x80; ++op) {
        if (op == 0x76) continue;  // HALT sits where LD (HL),(HL) would
        auto m = CodeMachine({uint8_t(op)});
        uint8_t* regs[8] = {&m->regB, &m->regC, &m->regD, &m->regE, &m->regH, &m->regL, nullptr, &m->regA};
        for (int r = 0; r < 8; ++r)
            if (regs[r]) *regs[r] = start[r];
        WriteByte(*m, 0xC055, 0x66);
        SetFlags(*m, 1, 0, 1, 0);
        Interpret(*m, 1);

        const int dst = (op >> 3) & 7, src = op & 7;
        uint8_t expect[8];
        std::copy(start, start + 8, expect);
        expect[dst] = start[src];
        for (int r = 0; r < 8; ++r) {
            const uint8_t got = regs[r] ? *regs[r] : ReadByte(*m, 0xC055);
            EXPECT_EQ(got, expect[r]) << "op " << op << " operand " << r;
        }
        EXPECT_EQ(m->regPC, 0x101) << "op " << op;
        EXPECT_EQ(ComposeF(*m), 0xA0) << "op " << op;
    }
}

// A place an 8-bit load reads or writes: a register, or a bus address.
struct Cell {
    uint8_t Machine::*reg;
    int address;
};
Cell R(uint8_t Machine::*reg) { return {reg, -1}; }
Cell At(int address) { return {nullptr, address}; }
void Set(Machine& m, Cell c, int v) {
    if (c.reg)
        m.*c.reg = uint8_t(v);
    else
        WriteByte(m, c.address, uint8_t(v));
}
int Get(const Machine& m, Cell c) { return c.reg ? m.*c.reg : ReadByte(m, c.address); }

struct LoadCase {
    const char* name;
    std::vector<uint8_t> code;
    std::vector<std::pair<Cell, int>> given, expect;
};

TEST(CpuLoadTest, ImmediateIndirectAndPairLoads) {
    using M = Machine;
    const auto B = R(&M::regB), C = R(&M::regC), D = R(&M::regD), E = R(&M::regE);
    const auto H = R(&M::regH), L = R(&M::regL), A = R(&M::regA);
    const LoadCase cases[] = {
        {"LD B,n", {0x06, 0x5A}, {}, {{B, 0x5A}}},
        {"LD C,n", {0x0E, 0x5A}, {}, {{C, 0x5A}}},
        {"LD D,n", {0x16, 0x5A}, {}, {{D, 0x5A}}},
        {"LD E,n", {0x1E, 0x5A}, {}, {{E, 0x5A}}},
        {"LD H,n", {0x26, 0x5A}, {}, {{H, 0x5A}}},
        {"LD L,n", {0x2E, 0x5A}, {}, {{L, 0x5A}}},
        {"LD A,n", {0x3E, 0x5A}, {}, {{A, 0x5A}}},
        {"LD (HL),n", {0x36, 0x5A}, {{H, 0xC1}, {L, 0x23}}, {{At(0xC123), 0x5A}}},
        {"LD (BC),A", {0x02}, {{B, 0xC1}, {C, 0x02}, {A, 0x77}}, {{At(0xC102), 0x77}}},
        {"LD (DE),A", {0x12}, {{D, 0xC1}, {E, 0x03}, {A, 0x78}}, {{At(0xC103), 0x78}}},
        {"LD A,(BC)", {0x0A}, {{B, 0xC2}, {C, 0x00}, {At(0xC200), 0x91}}, {{A, 0x91}}},
        {"LD A,(DE)", {0x1A}, {{D, 0xC2}, {E, 0x01}, {At(0xC201), 0x92}}, {{A, 0x92}}},
        {"LD (nn),A", {0xEA, 0x34, 0xC2}, {{A, 0x93}}, {{At(0xC234), 0x93}}},
        {"LD A,(nn)", {0xFA, 0x35, 0xC2}, {{At(0xC235), 0x94}}, {{A, 0x94}}},
        {"LDH (n),A", {0xE0, 0x80}, {{A, 0x95}}, {{At(0xFF80), 0x95}}},
        {"LDH A,(n)", {0xF0, 0x42}, {{R(&M::SCY), 0x96}}, {{A, 0x96}}},
        {"LD (C),A", {0xE2}, {{C, 0x43}, {A, 0x97}}, {{R(&M::SCX), 0x97}}},
        {"LD A,(C)", {0xF2}, {{C, 0x80}, {At(0xFF80), 0x98}}, {{A, 0x98}}},
        {"LD BC,nn", {0x01, 0x34, 0x12}, {}, {{B, 0x12}, {C, 0x34}}},
        {"LD DE,nn", {0x11, 0x35, 0x12}, {}, {{D, 0x12}, {E, 0x35}}},
        {"LD HL,nn", {0x21, 0x36, 0x12}, {}, {{H, 0x12}, {L, 0x36}}},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine(c.code);
        for (const auto& [cell, v] : c.given) Set(*m, cell, v);
        const auto flags = ComposeF(*m);
        Interpret(*m, 1);
        for (const auto& [cell, v] : c.expect) EXPECT_EQ(Get(*m, cell), v) << c.name;
        EXPECT_EQ(m->regPC, 0x100 + int(c.code.size())) << c.name;
        EXPECT_EQ(ComposeF(*m), flags) << c.name;  // no load touches a flag
    }
}

TEST(CpuLoadTest, StackPointerLoadsAndStores) {
    struct Case {
        const char* name;
        std::vector<uint8_t> code;
        int32_t sp, spAfter;
        int stored;  // the word at 0xC300 afterwards
    };
    const Case cases[] = {
        {"LD SP,nn", {0x31, 0xFE, 0xFF}, 0, 0xFFFE, 0},
        {"LD SP,HL", {0xF9}, 0, 0xC0DE, 0},
        {"LD (nn),SP", {0x08, 0x00, 0xC3}, 0xBEEF, 0xBEEF, 0xBEEF},
        // A stack pointer left past 0xFFFF stores its bits 15-0.
        {"LD (nn),SP past 0xFFFF", {0x08, 0x00, 0xC3}, 0x1ABCD, 0x1ABCD, 0xABCD},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine(c.code);
        SetHL(*m, 0xC0DE);
        m->regSP = c.sp;
        Interpret(*m, 1);
        EXPECT_EQ(m->regSP, c.spAfter) << c.name;
        EXPECT_EQ(ReadByte(*m, 0xC300) | ReadByte(*m, 0xC301) << 8, c.stored) << c.name;
        EXPECT_EQ(m->regPC, 0x100 + int(c.code.size())) << c.name;
    }
}

TEST(CpuLoadTest, HlPostIncrementAndDecrementWrapAtSixteenBits) {
    struct Case {
        uint8_t op;
        int hl, hlAfter;
        bool store;  // LD (HL±),A writes A = 0x5C; LD A,(HL±) loads the 0xA5 there
    };
    const Case cases[] = {
        {0x22, 0xC0FF, 0xC100, true},  {0x32, 0xC100, 0xC0FF, true},  {0x22, 0xFFFF, 0x0000, true},
        {0x2A, 0xC0FF, 0xC100, false}, {0x3A, 0xC100, 0xC0FF, false}, {0x2A, 0xFFFF, 0x0000, false},
        {0x3A, 0x0000, 0xFFFF, false},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        SetHL(*m, c.hl);
        m->regA = 0x5C;
        m->RomWindow[0] = 0xA5;
        WriteByte(*m, c.hl, 0xA5);
        Interpret(*m, 1);
        // The access used HL from before the step.
        EXPECT_EQ(GetHL(*m), c.hlAfter) << int(c.op) << " from " << c.hl;
        EXPECT_EQ(ReadByte(*m, c.hl), c.store ? 0x5C : 0xA5) << int(c.op) << " from " << c.hl;
        EXPECT_EQ(m->regA, c.store ? 0x5C : 0xA5) << int(c.op) << " from " << c.hl;
    }
}

TEST(CpuLoadTest, PairIncrementsAndDecrementsLeaveFlags) {
    enum Pair { BC, DE, HL };
    struct Case {
        uint8_t op;
        Pair pair;
        int before, after;
    };
    const Case cases[] = {{0x03, BC, 0x00FF, 0x0100}, {0x03, BC, 0xFFFF, 0x0000}, {0x13, DE, 0x12FF, 0x1300},
                          {0x23, HL, 0xFFFF, 0x0000}, {0x0B, BC, 0x0100, 0x00FF}, {0x0B, BC, 0x0000, 0xFFFF},
                          {0x1B, DE, 0x1300, 0x12FF}, {0x2B, HL, 0x0000, 0xFFFF}};
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        uint8_t* hi[] = {&m->regB, &m->regD, &m->regH};
        uint8_t* lo[] = {&m->regC, &m->regE, &m->regL};
        *hi[c.pair] = uint8_t(c.before >> 8);
        *lo[c.pair] = uint8_t(c.before);
        SetFlags(*m, 0, 1, 0, 1);
        Interpret(*m, 1);
        EXPECT_EQ(*hi[c.pair] * 256 + *lo[c.pair], c.after) << int(c.op) << " from " << c.before;
        EXPECT_EQ(ComposeF(*m), 0x50);
    }
}

// ---- Stack ---------------------------------------------------------------------

TEST(CpuStackTest, PushWritesLowByteBelowHighByte) {
    struct Case {
        uint8_t op;
        int hi, lo;
    };
    const Case cases[] = {{0xC5, 0x12, 0x34}, {0xD5, 0x56, 0x78}, {0xE5, 0x9A, 0xBC}, {0xF5, 0xDE, 0xB0}};
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        m->regB = 0x12, m->regC = 0x34, m->regD = 0x56, m->regE = 0x78;
        m->regH = 0x9A, m->regL = 0xBC, m->regA = 0xDE;
        SetFlags(*m, 1, 0, 1, 1);  // F = 0xB0
        Interpret(*m, 1);
        EXPECT_EQ(m->regSP, 0xFFFC) << int(c.op);
        EXPECT_EQ(ReadByte(*m, 0xFFFC), c.lo) << int(c.op);
        EXPECT_EQ(ReadByte(*m, 0xFFFD), c.hi) << int(c.op);
    }
}

TEST(CpuStackTest, PopReadsHighAboveLowAndDropsLowFlagBits) {
    struct Case {
        uint8_t op;
        int af, bc, de, hl;
    };
    // The stack holds 0xFF (at SP) and 0x12 (at SP + 1).
    const Case cases[] = {{0xC1, 0x0000, 0x12FF, 0x0000, 0x0000},
                          {0xD1, 0x0000, 0x0000, 0x12FF, 0x0000},
                          {0xE1, 0x0000, 0x0000, 0x0000, 0x12FF},
                          {0xF1, 0x12F0, 0x0000, 0x0000, 0x0000}};
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        m->regA = m->regB = m->regC = m->regD = m->regE = m->regH = m->regL = 0;
        SetFlags(*m, 0, 0, 0, 0);
        m->regSP = 0xC800;
        Poke(*m, 0xC800, {0xFF, 0x12});
        Interpret(*m, 1);
        EXPECT_EQ(GetAF(*m), c.af) << int(c.op);
        EXPECT_EQ(GetBC(*m), c.bc) << int(c.op);
        EXPECT_EQ(GetDE(*m), c.de) << int(c.op);
        EXPECT_EQ(GetHL(*m), c.hl) << int(c.op);
        EXPECT_EQ(m->regSP, 0xC802) << int(c.op);
    }
}

TEST(CpuStackTest, PopAfThenPushAfKeepsOnlyTheFlagNibble) {
    auto m = CodeMachine({0xF1, 0xF5});
    m->regSP = 0xC800;
    Poke(*m, 0xC800, {0xFF, 0x12});
    Interpret(*m, 1);
    EXPECT_EQ(m->regA, 0x12);
    EXPECT_EQ(ComposeF(*m), 0xF0);
    EXPECT_EQ(m->flagZ + m->flagN + m->flagH + m->flagC, 4);  // bytes of exactly 1
    Interpret(*m, 1);
    EXPECT_EQ(ReadByte(*m, 0xC800), 0xF0);
    EXPECT_EQ(ReadByte(*m, 0xC801), 0x12);
}

// MBC1 bank-select writes make the order of two writes visible: the last
// write to 0x2000-0x3FFF decides the bank.
std::unique_ptr<Machine> BankedMachine() {
    RomBuilder rom(4, 0x01);
    auto m = MakeMachine(rom);
    SwitchRomBank(*m);
    return m;
}

TEST(CpuStackTest, WritesHappenLowByteFirst) {
    struct Case {
        const char* name;
        std::vector<uint8_t> code;
    };
    // Each writes 0x03 to 0x2000 first, then 0x02 to 0x2001: bank 2 wins.
    const Case cases[] = {
        {"PUSH BC", {0xC5}},
        {"LD (nn),SP", {0x08, 0x00, 0x20}},
    };
    for (const auto& c : cases) {
        auto m = BankedMachine();
        Poke(*m, 0xC000, c.code);
        m->regPC = 0xC000;
        m->regB = 0x02, m->regC = 0x03;
        m->regSP = c.code[0] == 0xC5 ? 0x2002 : 0x0203;
        Interpret(*m, 1);
        EXPECT_EQ(m->RomBank, 2) << c.name;
    }
}

TEST(CpuStackTest, CallReadsItsTargetAfterThePush) {
    // CALL at 0x4200 in bank 1. The push writes the return address 0x4203 as
    // 0x03 to 0x2000, then 0x42 to 0x2001, which leaves bank 2 in the window;
    // the target is read from there.
    RomBuilder rom(4, 0x01);
    rom.PutBanked(1, 0x4200, {0xCD, 0x00, 0x20});
    rom.PutBanked(2, 0x4200, {0x00, 0x00, 0x30});
    auto m = MakeMachine(rom);
    SwitchRomBank(*m);
    m->regPC = 0x4200;
    m->regSP = 0x2002;
    Interpret(*m, 1);
    EXPECT_EQ(m->RomBank, 2);
    EXPECT_EQ(m->regPC, 0x3000);
    EXPECT_EQ(m->regSP, 0x2000);
}

TEST(CpuStackTest, StackPointerStepsAndWidth) {
    struct Case {
        const char* name;
        uint8_t op;
        int32_t sp, spAfter;
    };
    const Case cases[] = {
        {"INC SP wraps", 0x33, 0xFFFF, 0x0000},
        {"DEC SP wraps", 0x3B, 0x0000, 0xFFFF},
        {"INC SP reduces", 0x33, 0x10000, 0x0001},
        {"DEC SP reduces a negative SP", 0x3B, -2, 0xFFFD},
        {"POP is not reduced", 0xC1, 0xFFFE, 0x10000},
        {"PUSH is not reduced", 0xC5, 0x0000, -2},
        {"PUSH wraps at 32 bits", 0xC5, INT32_MIN + 1, INT32_MAX},
        {"POP wraps at 32 bits", 0xD1, INT32_MAX - 1, INT32_MIN},
        {"RET is not reduced", 0xC9, 0xFFFE, 0x10000},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        m->regSP = c.sp;
        SetFlags(*m, 1, 1, 1, 1);
        Interpret(*m, 1);
        EXPECT_EQ(m->regSP, c.spAfter) << c.name;
        EXPECT_EQ(ComposeF(*m), 0xF0) << c.name;
    }
}

// ---- Jumps, calls and returns --------------------------------------------------

struct FlowCase {
    const char* name;
    std::vector<uint8_t> code;  // at 0x0100
    int z, c;
    int32_t pc;       // after one instruction
    int32_t spDelta;  // change of regSP (0xD000 before)
    int pushed;       // return address expected on the stack, or -1
};

TEST(CpuFlowTest, JumpsCallsReturnsAndRestarts) {
    const FlowCase cases[] = {
        {"JR e back", {0x18, 0x80}, 0, 0, 0x102 - 128, 0, -1},
        {"JR NZ taken", {0x20, 0x05}, 0, 0, 0x107, 0, -1},
        {"JR NZ not taken", {0x20, 0x05}, 1, 0, 0x102, 0, -1},
        {"JR Z taken", {0x28, 0xFC}, 1, 0, 0xFE, 0, -1},
        {"JR Z not taken", {0x28, 0xFC}, 0, 0, 0x102, 0, -1},
        {"JR NC taken", {0x30, 0x7F}, 0, 0, 0x181, 0, -1},
        {"JR NC not taken", {0x30, 0x7F}, 0, 1, 0x102, 0, -1},
        {"JR C taken", {0x38, 0x10}, 0, 1, 0x112, 0, -1},
        {"JR C not taken", {0x38, 0x10}, 1, 0, 0x102, 0, -1},
        {"JP nn", {0xC3, 0x34, 0x12}, 0, 0, 0x1234, 0, -1},
        {"JP NZ taken", {0xC2, 0x34, 0x12}, 0, 1, 0x1234, 0, -1},
        {"JP NZ not taken", {0xC2, 0x34, 0x12}, 1, 0, 0x103, 0, -1},
        {"JP Z taken", {0xCA, 0x34, 0x12}, 1, 0, 0x1234, 0, -1},
        {"JP Z not taken", {0xCA, 0x34, 0x12}, 0, 1, 0x103, 0, -1},
        {"JP NC taken", {0xD2, 0x34, 0x12}, 1, 0, 0x1234, 0, -1},
        {"JP NC not taken", {0xD2, 0x34, 0x12}, 0, 1, 0x103, 0, -1},
        {"JP C taken", {0xDA, 0x34, 0x12}, 0, 1, 0x1234, 0, -1},
        {"JP C not taken", {0xDA, 0x34, 0x12}, 1, 0, 0x103, 0, -1},
        {"CALL nn", {0xCD, 0x34, 0x12}, 0, 0, 0x1234, -2, 0x103},
        {"CALL NZ taken", {0xC4, 0x34, 0x12}, 0, 0, 0x1234, -2, 0x103},
        {"CALL NZ not taken", {0xC4, 0x34, 0x12}, 1, 0, 0x103, 0, -1},
        {"CALL Z taken", {0xCC, 0x34, 0x12}, 1, 0, 0x1234, -2, 0x103},
        {"CALL Z not taken", {0xCC, 0x34, 0x12}, 0, 0, 0x103, 0, -1},
        {"CALL NC taken", {0xD4, 0x34, 0x12}, 0, 0, 0x1234, -2, 0x103},
        {"CALL NC not taken", {0xD4, 0x34, 0x12}, 0, 1, 0x103, 0, -1},
        {"CALL C taken", {0xDC, 0x34, 0x12}, 0, 1, 0x1234, -2, 0x103},
        {"CALL C not taken", {0xDC, 0x34, 0x12}, 0, 0, 0x103, 0, -1},
        {"RET", {0xC9}, 0, 0, 0x4321, 2, -1},
        {"RET NZ taken", {0xC0}, 0, 0, 0x4321, 2, -1},
        {"RET NZ not taken", {0xC0}, 1, 0, 0x101, 0, -1},
        {"RET Z taken", {0xC8}, 1, 0, 0x4321, 2, -1},
        {"RET Z not taken", {0xC8}, 0, 0, 0x101, 0, -1},
        {"RET NC taken", {0xD0}, 0, 0, 0x4321, 2, -1},
        {"RET NC not taken", {0xD0}, 0, 1, 0x101, 0, -1},
        {"RET C taken", {0xD8}, 0, 1, 0x4321, 2, -1},
        {"RET C not taken", {0xD8}, 0, 0, 0x101, 0, -1},
        {"RST 00", {0xC7}, 0, 0, 0x00, -2, 0x101},
        {"RST 08", {0xCF}, 0, 0, 0x08, -2, 0x101},
        {"RST 10", {0xD7}, 0, 0, 0x10, -2, 0x101},
        {"RST 18", {0xDF}, 0, 0, 0x18, -2, 0x101},
        {"RST 20", {0xE7}, 0, 0, 0x20, -2, 0x101},
        {"RST 28", {0xEF}, 0, 0, 0x28, -2, 0x101},
        {"RST 30", {0xF7}, 0, 0, 0x30, -2, 0x101},
        {"RST 38", {0xFF}, 0, 0, 0x38, -2, 0x101},
        {"JP (HL)", {0xE9}, 0, 0, 0xC123, 0, -1},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine(c.code);
        m->regSP = 0xD000;
        Poke(*m, 0xD000, {0x21, 0x43});  // what a RET pops
        SetHL(*m, 0xC123);
        m->flagZ = uint8_t(c.z);
        m->flagC = uint8_t(c.c);
        Interpret(*m, 1);
        EXPECT_EQ(m->regPC, c.pc) << c.name;
        EXPECT_EQ(m->regSP, 0xD000 + c.spDelta) << c.name;
        if (c.pushed >= 0) {
            EXPECT_EQ(ReadByte(*m, 0xCFFE), c.pushed & 0xFF) << c.name;
            EXPECT_EQ(ReadByte(*m, 0xCFFF), c.pushed >> 8) << c.name;
        }
    }
}

TEST(CpuFlowTest, ProgramCounterIsNotReduced) {
    // JR from the top of high RAM runs past 0xFFFF; the bytes there read as
    // 0, so the machine goes on with NOPs and regPC keeps growing.
    auto m = CodeMachine();
    Poke(*m, 0xFFFC, {0x18, 0x7F});
    m->regPC = 0xFFFC;
    Interpret(*m, 1);
    EXPECT_EQ(m->regPC, 0x1007D);
    Interpret(*m, 8);
    EXPECT_EQ(m->regPC, 0x1007F);
    EXPECT_EQ(m->CurrentOpcode, 0x00);

    // Far out, it wraps at 32 bits rather than overflowing.
    m->regPC = INT32_MAX;
    Interpret(*m, 8);
    EXPECT_EQ(m->regPC, INT32_MIN + 1);

    // Past 0xFFFFFFFF the count starts again at 0, in the ROM window: a NOP
    // read at -1, then the INC A at 0x0000.
    m->regPC = -1;
    m->RomWindow[0x0000] = 0x3C;
    const uint8_t a = m->regA;
    Interpret(*m, 8);
    EXPECT_EQ(m->regPC, 1);
    EXPECT_EQ(m->regA, uint8_t(a + 1));

    // And JR back from 0x0000 lands at 0xFFFFFFFx, reading 0 (NOPs) there.
    m->RomWindow[0x0000] = 0x18;
    m->RomWindow[0x0001] = 0xFC;  // JR -4: to 0x0002 - 4
    m->regPC = 0;
    Interpret(*m, 1);
    EXPECT_EQ(m->regPC, -2);
    Interpret(*m, 8);
    EXPECT_EQ(m->regPC, 0);
}

TEST(CpuFlowTest, ReturnAddressPastTopKeepsBitsFifteenToEight) {
    // CALL at 0xFFFD: its high operand byte is IE at 0xFFFF, and the return
    // address is 0x10000, pushed as 0x00 0x00.
    auto m = CodeMachine();
    Poke(*m, 0xFFFD, {0xCD, 0x34, 0x12});
    m->regPC = 0xFFFD;
    m->regSP = 0xD000;
    Poke(*m, 0xCFFE, {0xAA, 0xAA});
    Interpret(*m, 1);
    EXPECT_EQ(m->regPC, 0x1234);
    EXPECT_EQ(ReadByte(*m, 0xCFFE), 0x00);
    EXPECT_EQ(ReadByte(*m, 0xCFFF), 0x00);
}

// ---- Control -------------------------------------------------------------------

TEST(CpuControlTest, InterruptMasterEnable) {
    struct Case {
        const char* name;
        uint8_t op;
        int ime, imeAfter;
        int32_t pc;
    };
    const Case cases[] = {{"DI", 0xF3, 1, 0, 0x101},
                          {"EI", 0xFB, 0, 1, 0x101},
                          {"RETI", 0xD9, 0, 1, 0x4321},
                          {"RET leaves IME", 0xC9, 0, 0, 0x4321}};
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        m->IME = uint8_t(c.ime);
        m->regSP = 0xD000;
        Poke(*m, 0xD000, {0x21, 0x43});
        Interpret(*m, 1);
        EXPECT_EQ(m->IME, c.imeAfter) << c.name;
        EXPECT_EQ(m->regPC, c.pc) << c.name;
    }
}

TEST(CpuControlTest, StopAndHaltRunOn) {
    // STOP is one byte: the 0x3C after it runs as INC A, and the two cost 14.
    auto stop = CodeMachine({0x10, 0x3C});
    stop->regA = 0;
    Interpret(*stop, 1);
    EXPECT_EQ(stop->regPC, 0x101);
    EXPECT_EQ(stop->regA, 0);
    ExpectCost(*CodeMachine({0x10, 0x00}), 10, "STOP");
    auto pair = CodeMachine({0x10, 0x00});
    Interpret(*pair, 14);
    EXPECT_EQ(pair->regPC, 0x102);

    // HALT does not wait: the next instruction runs in the same call.
    auto halt = CodeMachine({0x76, 0x04});
    halt->regB = 7;
    Interpret(*halt, 5);
    EXPECT_EQ(halt->regB, 8);
    EXPECT_EQ(halt->regPC, 0x102);
}

TEST(CpuControlTest, UndefinedOpcodesAreOneByteNoOps) {
    const uint8_t undefined[] = {0xD3, 0xDB, 0xDD, 0xE3, 0xE4, 0xEB, 0xEC, 0xED, 0xF4, 0xFC, 0xFD};
    for (uint8_t op : undefined) {
        auto m = CodeMachine({op, 0xFF, 0xFF});
        SetHL(*m, 0xC000);
        auto before = std::make_unique<Machine>(*m);
        Interpret(*m, 1);
        CpuState expect = Capture(*before);
        expect.pc = 0x101;
        expect.opcode = op;
        EXPECT_EQ(Capture(*m), expect) << int(op);
        EXPECT_TRUE(SameMemory(*m, *before)) << int(op);
    }
}

}  // namespace
}  // namespace wenlo::test
