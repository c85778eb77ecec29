// Internal to the handheld's CPU (cpu.cpp): the arithmetic and operand rules
// the main table shares, inlined into it.
#pragma once

#include <cstdint>

#include "handheld/cpu_internal.h"

namespace wenlo::hh::cpu {

// The half-carry and carry of an 8-bit addition or subtraction (carry in
// included) from its operands and its 9-bit result: bit 4 of a ^ v ^ r is
// the carry into bit 4, bit 8 of r the carry out (or the borrow, for a
// negative r). Straight bit moves: the host's compares and flag sets would
// cost twice as much.
[[gnu::always_inline]] inline uint8_t CarryFlags(unsigned a, unsigned v, unsigned r) {
    return uint8_t(((a ^ v ^ r) & 0x10) << 1 | (r >> 4 & 0x10));
}
[[gnu::always_inline]] inline uint8_t ZeroFlag(uint8_t v) { return v == 0 ? kZ : 0; }

// ADD ADC SUB SBC AND XOR OR CP, by bits 3-5 of the opcode.
[[gnu::always_inline]] inline void Alu(Handheld& h, int op, uint8_t v) {
    Cpu& c = h.cpu;
    const unsigned a = c.r[reg::A];
    const unsigned carry = (op == 1 || op == 3) ? (c.r[reg::F] >> 4 & 1) : 0;
    switch (op) {
        case 0:
        case 1: {
            const unsigned r = a + v + carry;
            c.r[reg::F] = uint8_t(ZeroFlag(uint8_t(r)) | CarryFlags(a, v, r));
            c.r[reg::A] = uint8_t(r);
            break;
        }
        case 2:
        case 3:
        case 7: {
            const unsigned r = a - v - carry;
            c.r[reg::F] = uint8_t(ZeroFlag(uint8_t(r)) | kN | CarryFlags(a, v, r));
            if (op != 7) c.r[reg::A] = uint8_t(r);
            break;
        }
        case 4:
            c.r[reg::A] = uint8_t(a & v);
            c.r[reg::F] = uint8_t(ZeroFlag(c.r[reg::A]) | kH);
            break;
        case 5:
            c.r[reg::A] = uint8_t(a ^ v);
            c.r[reg::F] = ZeroFlag(c.r[reg::A]);
            break;
        default:
            c.r[reg::A] = uint8_t(a | v);
            c.r[reg::F] = ZeroFlag(c.r[reg::A]);
            break;
    }
}

// The operands in an opcode's bits: register in bits 3-5, pair in bits 4-5.
constexpr int RegOf(uint8_t op) { return (op >> 3) & 7; }
constexpr int PairOf(uint8_t op) { return (op >> 4) & 3; }

// Register pair p of the 16-bit loads and arithmetic: BC DE HL SP.
[[gnu::always_inline]] inline uint16_t Pair(const Handheld& h, int p) {
    const Cpu& c = h.cpu;
    switch (p) {
        case 0: return uint16_t(c.r[reg::B] << 8 | c.r[reg::C]);
        case 1: return uint16_t(c.r[reg::D] << 8 | c.r[reg::E]);
        case 2: return uint16_t(c.r[reg::H] << 8 | c.r[reg::L]);
        default: return c.sp;
    }
}
[[gnu::always_inline]] inline void SetPair(Handheld& h, int p, uint16_t v) {
    Cpu& c = h.cpu;
    const uint8_t hi = uint8_t(v >> 8), lo = uint8_t(v);
    switch (p) {
        case 0: c.r[reg::B] = hi, c.r[reg::C] = lo; break;
        case 1: c.r[reg::D] = hi, c.r[reg::E] = lo; break;
        case 2: c.r[reg::H] = hi, c.r[reg::L] = lo; break;
        default: c.sp = v; break;
    }
}

// Condition cc of the jumps: NZ Z NC C.
[[gnu::always_inline]] inline bool Condition(const Handheld& h, int cc) {
    switch (cc) {
        case 0: return !(h.cpu.r[reg::F] & kZ);
        case 1: return (h.cpu.r[reg::F] & kZ) != 0;
        case 2: return !(h.cpu.r[reg::F] & kC);
        default: return (h.cpu.r[reg::F] & kC) != 0;
    }
}

// SP plus a signed byte, flags from the low byte's unsigned addition (ADD SP,e
// and LD HL,SP+e).
[[gnu::always_inline]] inline uint16_t SpPlus(Handheld& h, uint8_t e) {
    const uint16_t sp = h.cpu.sp;
    h.cpu.r[reg::F] = Flags(false, false, (sp & 0xF) + (e & 0xF) > 0xF, (sp & 0xFF) + e > 0xFF);
    return uint16_t(sp + int8_t(e));
}

// INC and DEC keep the carry; the half-carry is bit 4 of v ^ r.
[[gnu::always_inline]] inline uint8_t Inc(Handheld& h, uint8_t v) {
    const uint8_t r = uint8_t(v + 1);
    h.cpu.r[reg::F] = uint8_t((h.cpu.r[reg::F] & kC) | ZeroFlag(r) | ((v ^ r) & 0x10) << 1);
    return r;
}
[[gnu::always_inline]] inline uint8_t Dec(Handheld& h, uint8_t v) {
    const uint8_t r = uint8_t(v - 1);
    h.cpu.r[reg::F] = uint8_t((h.cpu.r[reg::F] & kC) | ZeroFlag(r) | kN | ((v ^ r) & 0x10) << 1);
    return r;
}

inline void Daa(Cpu& c) {
    int a = c.r[reg::A];
    bool carry = c.r[reg::F] & kC;
    if (c.r[reg::F] & kN) {
        if (c.r[reg::F] & kH) a -= 6;
        if (carry) a -= 0x60;
    } else {
        if ((c.r[reg::F] & kH) || (a & 0xF) > 9) a += 6;
        if (carry || a > 0x9F) a += 0x60, carry = true;
    }
    c.r[reg::A] = uint8_t(a);
    c.r[reg::F] = uint8_t((c.r[reg::F] & kN) | Flags(c.r[reg::A] == 0, false, false, carry));
}

}  // namespace wenlo::hh::cpu
