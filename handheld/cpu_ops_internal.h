// Internal to the handheld's CPU (cpu.cpp): the arithmetic and operand rules
// the main table shares, inlined into it.
#pragma once

#include <cstdint>

#include "handheld/cpu_internal.h"

namespace wenlo::hh::cpu {

// ADD ADC SUB SBC AND XOR OR CP, by bits 3-5 of the opcode.
[[gnu::always_inline]] inline void Alu(Handheld& h, int op, uint8_t v) {
    Cpu& c = h.cpu;
    const int carry = (op == 1 || op == 3) && (c.r[reg::F] & kC) ? 1 : 0;
    switch (op) {
        case 0:
        case 1: {
            const int r = c.r[reg::A] + v + carry;
            c.r[reg::F] =
                Flags(uint8_t(r) == 0, false, (c.r[reg::A] & 0xF) + (v & 0xF) + carry > 0xF, r > 0xFF);
            c.r[reg::A] = uint8_t(r);
            break;
        }
        case 2:
        case 3:
        case 7: {
            const int r = c.r[reg::A] - v - carry;
            const uint8_t f =
                Flags(uint8_t(r) == 0, true, (c.r[reg::A] & 0xF) - (v & 0xF) - carry < 0, r < 0);
            c.r[reg::F] = f;
            if (op != 7) c.r[reg::A] = uint8_t(r);
            break;
        }
        case 4:
            c.r[reg::A] &= v;
            c.r[reg::F] = Flags(c.r[reg::A] == 0, false, true, false);
            break;
        case 5:
            c.r[reg::A] ^= v;
            c.r[reg::F] = Flags(c.r[reg::A] == 0, false, false, false);
            break;
        default:
            c.r[reg::A] |= v;
            c.r[reg::F] = Flags(c.r[reg::A] == 0, false, false, false);
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

[[gnu::always_inline]] inline uint8_t Inc(Handheld& h, uint8_t v) {
    const uint8_t r = uint8_t(v + 1);
    h.cpu.r[reg::F] = uint8_t((h.cpu.r[reg::F] & kC) | Flags(r == 0, false, (v & 0xF) == 0xF, false));
    return r;
}
[[gnu::always_inline]] inline uint8_t Dec(Handheld& h, uint8_t v) {
    const uint8_t r = uint8_t(v - 1);
    h.cpu.r[reg::F] = uint8_t((h.cpu.r[reg::F] & kC) | Flags(r == 0, true, (v & 0xF) == 0, false));
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
