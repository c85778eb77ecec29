// Internal to the handheld's CPU (cpu.cpp): the CB-prefixed instructions,
// inlined into the main table. Rotates and shifts, BIT, RES and SET: the
// operation in bits 3-7 of the second byte and the operand in bits 0-2.
// Register operands take 2 machine cycles; (HL) takes 4 (BIT: 3, it writes
// nothing back).
#pragma once

#include "handheld/cpu_internal.h"

namespace wenlo::hh::cpu {

template <bool windowed>
[[gnu::always_inline]] inline void ExecuteCB(Core& x) {
    Cpu& c = x.c;
    const uint8_t op = Operand<windowed>(x);
    c.cbOpcode = op;
    const int r = op & 7;
    const int bit = (op >> 3) & 7;
    const uint8_t v = GetR(x, r);
    switch (op >> 6) {
        case 1:  // BIT b,r
            c.r[reg::F] = uint8_t((c.r[reg::F] & kC) | Flags(!(v >> bit & 1), false, true, false));
            return;
        case 2: SetR(x, r, uint8_t(v & ~(1u << bit))); return;  // RES b,r
        case 3: SetR(x, r, uint8_t(v | 1u << bit)); return;     // SET b,r
        default: break;
    }
    const bool carryIn = c.r[reg::F] & kC;
    uint8_t result = 0;
    bool carry = false;
    switch (bit) {
        case 0: result = uint8_t(v << 1 | v >> 7), carry = v & 0x80; break;     // RLC
        case 1: result = uint8_t(v >> 1 | v << 7), carry = v & 1; break;        // RRC
        case 2: result = uint8_t(v << 1 | carryIn), carry = v & 0x80; break;    // RL
        case 3: result = uint8_t(v >> 1 | carryIn << 7), carry = v & 1; break;  // RR
        case 4: result = uint8_t(v << 1), carry = v & 0x80; break;              // SLA
        case 5: result = uint8_t((v >> 1) | (v & 0x80)), carry = v & 1; break;  // SRA
        case 6: result = uint8_t(v << 4 | v >> 4); break;                       // SWAP
        default: result = uint8_t(v >> 1), carry = v & 1; break;                // SRL
    }
    c.r[reg::F] = Flags(result == 0, false, false, carry);
    SetR(x, r, result);
}

}  // namespace wenlo::hh::cpu
