// Internal to core/: included only by core/cpu.cpp.
//
// The instructions' working parts, shared by the cases of the main table
// (core/cpu.cpp): operand fetch from the code bytes, loads, 16-bit steps, the
// stack, jumps, calls and returns. Everything is forced inline, so the table
// compiles to the same code as if it were written out in each case.
#pragma once

#include <cstdint>

#include "core/alu_internal.h"
#include "core/bus_internal.h"
#include "core/code_fetch_internal.h"
#include "core/cpu_cb_internal.h"
#include "core/io_regs.h"
#include "core/machine.h"

namespace wenlo::cpu_ops {

using namespace code_fetch;

using alu::HL;
using alu::Read;
using alu::Write;

[[gnu::always_inline]] inline uint32_t Pair(uint8_t hi, uint8_t lo) { return uint32_t(hi) << 8 | lo; }

// ---- Loads and 16-bit steps ------------------------------------------------------

[[gnu::always_inline]] inline void LoadPair(uint8_t& hi, uint8_t& lo, uint16_t v) {
    hi = uint8_t(v >> 8);
    lo = uint8_t(v);
}

// 16-bit increment and decrement of BC, DE and HL, done on the two bytes: the
// high byte moves only when the low byte wraps, so the pair wraps at 16 bits.
[[gnu::always_inline]] inline void IncPair(uint8_t& hi, uint8_t& lo) {
    if (++lo == 0) ++hi;
}
[[gnu::always_inline]] inline void DecPair(uint8_t& hi, uint8_t& lo) {
    if (lo-- == 0) --hi;
}

// LD (HL+),A / LD (HL-),A / LD A,(HL+) / LD A,(HL-): the access comes first,
// then HL moves.
[[gnu::always_inline]] inline void StoreHlInc(Machine& m) {
    Write(m, HL(m), m.regA);
    IncPair(m.regH, m.regL);
}
[[gnu::always_inline]] inline void StoreHlDec(Machine& m) {
    Write(m, HL(m), m.regA);
    DecPair(m.regH, m.regL);
}
[[gnu::always_inline]] inline void LoadHlInc(Machine& m) {
    m.regA = Read(m, HL(m));
    IncPair(m.regH, m.regL);
}
[[gnu::always_inline]] inline void LoadHlDec(Machine& m) {
    m.regA = Read(m, HL(m));
    DecPair(m.regH, m.regL);
}

// INC (HL) / DEC (HL): one read, one write back.
[[gnu::always_inline]] inline void IncMemory(Machine& m) {
    const uint32_t a = HL(m);
    Write(m, a, alu::Inc(m, Read(m, a)));
}
[[gnu::always_inline]] inline void DecMemory(Machine& m) {
    const uint32_t a = HL(m);
    Write(m, a, alu::Dec(m, Read(m, a)));
}

// LD (nn),SP: low byte at nn, then the high byte at nn + 1 (unreduced, so
// nn = 0xFFFF drops the second write). A regSP past 0xFFFF stores its bits
// 15-8, as a byte can hold nothing more.
inline void StoreSp(Machine& m, uint32_t nn) {
    const uint32_t sp = uint32_t(m.regSP);
    Write(m, nn, uint8_t(sp));
    Write(m, nn + 1, uint8_t(sp >> 8));
}

// LD HL,SP+e: HL gets regSP + e, regSP stays; flags as ADD SP,e.
inline void LoadHlSpOffset(Machine& m, uint8_t u) { LoadPair(m.regH, m.regL, alu::OffsetSp(m, u)); }

// INC SP / DEC SP are the only stack pointer steps reduced to 16 bits.
inline int32_t MoveSp16(int32_t sp, uint32_t delta) { return int32_t((uint32_t(sp) + delta) & 0xFFFF); }

// ---- Stack -------------------------------------------------------------------

// regSP -= 2; low byte at regSP, then high byte at regSP + 1. A value past
// 0xFFFF (a return address) keeps its bits 15-8 in the high byte.
[[gnu::always_inline]] inline void PushWord(Machine& m, uint32_t value) {
    const uint32_t sp = uint32_t(m.regSP) - 2;
    m.regSP = int32_t(sp);
    WriteWordFast(m, sp, uint16_t(value));
}

[[gnu::always_inline]] inline void PushPair(Machine& m, uint8_t hi, uint8_t lo) { PushWord(m, Pair(hi, lo)); }

// The high byte (at regSP + 1) and the low byte; then regSP += 2. Reads have
// no side effects, so the order of the two does not show.
[[gnu::always_inline]] inline uint16_t PopWord(Machine& m) {
    const uint32_t sp = uint32_t(m.regSP);
    m.regSP = int32_t(sp + 2);
    return ReadWordFast(m, sp);
}

[[gnu::always_inline]] inline void PopPair(Machine& m, uint8_t& hi, uint8_t& lo) {
    LoadPair(hi, lo, PopWord(m));
}

// POP AF: bits 3-0 of the popped F are dropped.
inline void PopAf(Machine& m) {
    const uint16_t v = PopWord(m);
    m.regA = uint8_t(v >> 8);
    SplitF(m, uint8_t(v));
}

// ---- Jumps, calls, returns (each returns whether it was taken) -------------

// JR: the offset is relative to the next instruction; no reduction to 16 bits.
template <class Pc>
[[gnu::always_inline]] inline bool JumpRelative(const Machine& m, Pc& pc, bool taken) {
    const int8_t e = int8_t(Fetch8(m, pc));
    if (taken) pc += uint64_t(int64_t(e));
    return taken;
}

// JP cc: regPC moves past the operand first; the target is then read back
// from the two bytes behind it.
template <class Pc>
[[gnu::always_inline]] inline bool JumpAbsolute(const Machine& m, Pc& pc, bool taken) {
    pc += 2;
    if (taken) pc = WordBehind(m, pc);
    return taken;
}

// CALL: the return address is pushed before the target is read, so a push
// that lands on the operand bytes (or switches the ROM bank) changes where
// the call goes.
template <class Pc>
[[gnu::always_inline]] inline bool Call(Machine& m, Pc& pc, bool taken) {
    pc += 2;
    if (taken) {
        PushWord(m, uint32_t(Address(pc)));
        pc = WordBehind(m, pc);
    }
    return taken;
}

template <class Pc>
[[gnu::always_inline]] inline bool Return(Machine& m, Pc& pc, bool taken) {
    if (taken) pc = PopWord(m);
    return taken;
}

// RETI: IME is set after the pop, with no delay.
template <class Pc>
inline void ReturnFromInterrupt(Machine& m, Pc& pc) {
    pc = PopWord(m);
    m.IME = 1;
}

template <class Pc>
[[gnu::always_inline]] inline void Restart(Machine& m, Pc& pc, uint32_t vector) {
    PushWord(m, uint32_t(Address(pc)));
    pc = vector;
}

// CB xx: the second table runs in place (cpu_cb_internal.h); regPC needs no update,
// as nothing there looks at it.
template <class Pc>
[[gnu::always_inline]] inline int Prefixed(Machine& m, Pc& pc) {
    const uint8_t b = Fetch8(m, pc);
    m.CurrentCBOpcode = b;
    cb::ExecuteFlat(m, b);
    return cb::kCycles;
}

}  // namespace wenlo::cpu_ops
