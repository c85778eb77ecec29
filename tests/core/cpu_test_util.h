// Helpers shared by the interpreter tests (cpu_test, alu_test, cpu_cb_test):
// machines with code at the entry point, a comparable snapshot of the
// register file, and a cost probe that needs no hook in the interpreter.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/bus.h"
#include "core/cpu.h"
#include "core/machine.h"
#include "tests/support/rom_builder.h"

namespace wenlo::test {

// A reset, running machine on a plain 32 KiB cartridge. Every byte is 0 (NOP)
// except `code`, placed at 0x0100 where execution starts.
inline std::unique_ptr<Machine> CodeMachine(const std::vector<uint8_t>& code = {}) {
    RomBuilder rom;
    rom.Put(0x100, code);
    return MakeMachine(rom);
}

// Bytes written through the bus, for code and data in RAM or high RAM.
inline void Poke(Machine& m, int32_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) WriteByte(m, address++, b);
}

inline void SetHL(Machine& m, int v) {
    m.regH = uint8_t(v >> 8);
    m.regL = uint8_t(v);
}

inline void SetFlags(Machine& m, int z, int n, int h, int c) {
    m.flagZ = uint8_t(z);
    m.flagN = uint8_t(n);
    m.flagH = uint8_t(h);
    m.flagC = uint8_t(c);
}

// Everything an instruction may change apart from memory.
struct CpuState {
    int a, b, c, d, e, h, l;
    int z, n, hf, cf;
    int32_t pc, sp;
    int ime;
    int opcode;
    bool operator==(const CpuState&) const = default;
};

inline CpuState Capture(const Machine& m) {
    return {m.regA,  m.regB,  m.regC,  m.regD,  m.regE,  m.regH, m.regL,         m.flagZ,
            m.flagN, m.flagH, m.flagC, m.regPC, m.regSP, m.IME,  m.CurrentOpcode};
}

inline void PrintTo(const CpuState& s, std::ostream* os) {
    *os << std::hex << "A=" << s.a << " B=" << s.b << " C=" << s.c << " D=" << s.d << " E=" << s.e
        << " H=" << s.h << " L=" << s.l << " ZNHC=" << s.z << s.n << s.hf << s.cf << " PC=" << s.pc
        << " SP=" << s.sp << " IME=" << s.ime << " op=" << s.opcode;
}

// The memory a stray instruction could have touched.
inline bool SameMemory(const Machine& a, const Machine& b) {
    return a.RamBanks == b.RamBanks && a.VideoRam == b.VideoRam && a.Oam == b.Oam && a.HighRam == b.HighRam &&
           a.SoundRegs == b.SoundRegs && a.RomWindow == b.RomWindow && a.IE == b.IE && a.IF == b.IF &&
           a.LY == b.LY && a.DIV == b.DIV && a.P1 == b.P1 && a.RomBank == b.RomBank &&
           a.RamEnabled == b.RamEnabled;
}

// Interpret runs whole instructions while its budget is above 0, so the
// instruction at regPC costs `cost` exactly when a budget of `cost` runs it
// alone and a budget of `cost` + 1 lets the next instruction (which must be a
// NOP) run as well. Works on copies; `m` is left as it was.
inline void ExpectCost(const Machine& m, int cost, const std::string& what) {
    auto one = std::make_unique<Machine>(m);
    Interpret(*one, 1);  // a budget of 1 always runs exactly one instruction
    ASSERT_EQ(ReadByte(*one, one->regPC), 0x00) << what << ": the probe needs a NOP next";

    auto exact = std::make_unique<Machine>(m);
    Interpret(*exact, int16_t(cost));
    EXPECT_EQ(Capture(*exact), Capture(*one)) << what << ": a budget of " << cost << " ran more";

    auto more = std::make_unique<Machine>(m);
    Interpret(*more, int16_t(cost + 1));
    EXPECT_EQ(more->regPC, int32_t(uint32_t(one->regPC) + 1))
        << what << ": a budget of " << cost + 1 << " did not reach the next instruction";
}

}  // namespace wenlo::test
