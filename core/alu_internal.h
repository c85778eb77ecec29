// Internal to core/: included only by the two instruction tables
// (core/cpu_ops_internal.h, core/cpu_cb_internal.h).
//
// Arithmetic and flag rules of the CPU, shared by the main table (cpu.cpp) and
// the CB-prefixed table (cpu_cb_internal.h).
//
// Each helper works on the registers and flag bytes of one Machine and leaves
// every flag byte it touches exactly 0 or 1 (assigning a comparison does that).
// Helpers never reach memory themselves: callers read the operand (a
// register, the byte at HL or an immediate byte) through the bus first and
// write results back through it. All of them are forced inline: they sit in
// the instruction loop, whose table is too large for the compiler to inline
// them by its own measure.
//
// Flags follow this machine's own rules, which differ from the hardware in
// places: DAA decides its correction from the digits alone and takes the new
// carry from the corrected value only; the 16-bit additions see regSP at its
// full width, as it may stand above 0xFFFF until the scanline reduces it.
#pragma once

#include <cstdint>

#include "core/bus_internal.h"
#include "core/io_regs.h"
#include "core/machine.h"

namespace wenlo::alu {

// One byte through the bus for the two tables: plain memory is answered in
// place, everything else gets exactly ReadByte's answer and WriteByte's effect
// (see ReadByteFast in bus.h).
[[gnu::always_inline]] inline uint8_t Read(const Machine& m, uint32_t address) {
    return ReadByteFast(m, address);
}
[[gnu::always_inline]] inline void Write(Machine& m, uint32_t address, uint8_t value) {
    WriteByteFast(m, address, value);
}

// HL as an address, 0..0xFFFF.
[[gnu::always_inline]] inline uint32_t HL(const Machine& m) { return uint32_t(m.regH) << 8 | m.regL; }

// ---- 8-bit arithmetic and logic on A --------------------------------------

[[gnu::always_inline]] inline void Add(Machine& m, uint8_t v) {
    const unsigned a = m.regA, sum = a + v;
    m.regA = uint8_t(sum);
    m.flagZ = m.regA == 0;
    m.flagN = 0;
    m.flagH = (a & 0xF) + (v & 0xF) > 0xF;
    m.flagC = sum > 0xFF;
}

[[gnu::always_inline]] inline void Adc(Machine& m, uint8_t v) {
    const unsigned a = m.regA, c = m.flagC, sum = a + v + c;
    m.regA = uint8_t(sum);
    m.flagZ = m.regA == 0;
    m.flagN = 0;
    m.flagH = (a & 0xF) + (v & 0xF) + c > 0xF;
    m.flagC = sum > 0xFF;
}

[[gnu::always_inline]] inline void Sub(Machine& m, uint8_t v) {
    const unsigned a = m.regA;
    m.regA = uint8_t(a - v);
    m.flagZ = m.regA == 0;
    m.flagN = 1;
    m.flagH = (v & 0xFu) > (a & 0xF);
    m.flagC = v > a;
}

[[gnu::always_inline]] inline void Sbc(Machine& m, uint8_t v) {
    const unsigned a = m.regA, c = m.flagC;
    m.regA = uint8_t(a - v - c);
    m.flagZ = m.regA == 0;
    m.flagN = 1;
    m.flagH = (v & 0xFu) + c > (a & 0xF);
    m.flagC = v + c > a;
}

[[gnu::always_inline]] inline void And(Machine& m, uint8_t v) {
    m.regA &= v;
    m.flagZ = m.regA == 0;
    m.flagN = 0;
    m.flagH = 1;
    m.flagC = 0;
}

[[gnu::always_inline]] inline void Xor(Machine& m, uint8_t v) {
    m.regA ^= v;
    m.flagZ = m.regA == 0;
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = 0;
}

[[gnu::always_inline]] inline void Or(Machine& m, uint8_t v) {
    m.regA |= v;
    m.flagZ = m.regA == 0;
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = 0;
}

// SUB without storing the result.
[[gnu::always_inline]] inline void Cp(Machine& m, uint8_t v) {
    const unsigned a = m.regA;
    m.flagZ = a == v;
    m.flagN = 1;
    m.flagH = (v & 0xFu) > (a & 0xF);
    m.flagC = v > a;
}

// ---- 8-bit increment and decrement (C untouched) --------------------------

[[gnu::always_inline]] inline uint8_t Inc(Machine& m, uint8_t x) {
    const uint8_t r = uint8_t(x + 1);
    m.flagZ = r == 0;
    m.flagN = 0;
    m.flagH = (r & 0xF) == 0;
    return r;
}

[[gnu::always_inline]] inline uint8_t Dec(Machine& m, uint8_t x) {
    const uint8_t r = uint8_t(x - 1);
    m.flagZ = r == 0;
    m.flagN = 1;
    m.flagH = (r & 0xF) == 0xF;
    return r;
}

// ---- Accumulator and flag instructions ------------------------------------

// This machine's decimal adjust: the correction depends only on the digits of
// A and on H and C, whichever operation came before; N only picks the
// direction. C then reflects the corrected value alone, so a carry from the
// preceding addition is lost when the correction stays within a byte.
[[gnu::always_inline]] inline void Daa(Machine& m) {
    const int a = m.regA;
    int corr = 0;
    if ((a & 0x0F) > 9 || m.flagH) corr = 0x06;
    if (a > 0x99 || m.flagC) corr += 0x60;
    const int r = m.flagN ? a - corr : a + corr;
    m.regA = uint8_t(r);
    m.flagH = 0;
    m.flagC = r > 0xFF || r < 0;
    m.flagZ = m.regA == 0;
}

[[gnu::always_inline]] inline void Cpl(Machine& m) {
    m.regA = uint8_t(~m.regA);
    m.flagN = 1;
    m.flagH = 1;
}

[[gnu::always_inline]] inline void Scf(Machine& m) {
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = 1;
}

[[gnu::always_inline]] inline void Ccf(Machine& m) {
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = uint8_t(1 - m.flagC);
}

// ---- Rotates on A: Z, N and H always end cleared ---------------------------

[[gnu::always_inline]] inline void SetRotateFlags(Machine& m, unsigned carry) {
    m.flagZ = 0;
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = uint8_t(carry);
}

[[gnu::always_inline]] inline void Rlca(Machine& m) {
    const unsigned a = m.regA, out = a >> 7;
    m.regA = uint8_t(a << 1 | out);
    SetRotateFlags(m, out);
}

[[gnu::always_inline]] inline void Rrca(Machine& m) {
    const unsigned a = m.regA, out = a & 1;
    m.regA = uint8_t(a >> 1 | out << 7);
    SetRotateFlags(m, out);
}

[[gnu::always_inline]] inline void Rla(Machine& m) {
    const unsigned a = m.regA;
    m.regA = uint8_t(a << 1 | m.flagC);
    SetRotateFlags(m, a >> 7);
}

[[gnu::always_inline]] inline void Rra(Machine& m) {
    const unsigned a = m.regA;
    m.regA = uint8_t(a >> 1 | unsigned(m.flagC) << 7);
    SetRotateFlags(m, a & 1);
}

// ---- 16-bit additions ------------------------------------------------------

// ADD HL,rr. rr is BC, DE or HL (0..0xFFFF), or regSP at its full width: a
// stack pointer left above 0xFFFF by a POP therefore sets C. 64-bit sums keep
// that well defined for any regSP.
[[gnu::always_inline]] inline void AddHl(Machine& m, int64_t rr) {
    const int64_t hl = HL(m), sum = hl + rr;
    m.regH = uint8_t(sum >> 8);
    m.regL = uint8_t(sum);
    m.flagN = 0;
    m.flagH = (hl & 0xFFF) + (rr & 0xFFF) > 0xFFF;
    m.flagC = sum > 0xFFFF;
}

// Shared by ADD SP,e and LD HL,SP+e: sets the flags from the operand byte
// taken as unsigned (carries out of bits 11 and 15 of regSP + u) and returns
// (regSP + e) AND 0xFFFF with the same byte taken as signed.
[[gnu::always_inline]] inline uint16_t OffsetSp(Machine& m, uint8_t u) {
    const int64_t sp = m.regSP;
    m.flagZ = 0;
    m.flagN = 0;
    m.flagH = (sp & 0xFFF) + u > 0xFFF;
    m.flagC = sp + u > 0xFFFF;
    return uint16_t(sp + int8_t(u));
}

}  // namespace wenlo::alu
