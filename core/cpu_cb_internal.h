// Internal to core/: included only by core/cpu_ops_internal.h, core/cpu_cb.cpp
// and the CPU unit tests.
//
// The CB-prefixed table, kept inline so that the main instruction loop runs
// it without a call; ExecuteCB (cpu_cb.cpp) is the same code behind the
// public entry point.
//
// The second byte b names an operation (bits 7-3) and an operand (bits 2-0:
// B C D E H L (HL) A). Every one of the 256 values is an instruction, and every
// one costs 8 cycles here, the (HL) forms included.
//
// Operand (HL) is one read and, for everything except BIT, one write of the
// result through the bus; RES and SET write even when the byte does not
// change, which matters for registers with write side effects (a SET on
// 0xFF46 starts a sprite copy).
//
// The operation is chosen by one switch and the operand by a second one inside
// it (Modify, TestBit); the compiler copies each operation into the eight
// operand cases, so the registers are reached directly rather than through a
// table of members.
#pragma once

#include <cstdint>

#include "core/alu_internal.h"
#include "core/machine.h"

namespace wenlo::cb {

constexpr int32_t kCycles = 8;

// The operations, each in one place; `n` is the bit number of RES and SET.
enum class Op { Rlc, Rrc, Rl, Rr, Sla, Sra, Swap, Srl, Res, Set };

// Rotates, shifts and SWAP: Z from the result, N and H cleared, C the bit
// shifted out (cleared by SWAP).
[[gnu::always_inline]] inline uint8_t ShiftResult(Machine& m, unsigned result, unsigned out) {
    m.flagZ = uint8_t(result) == 0;
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = uint8_t(out);
    return uint8_t(result);
}

template <Op op>
[[gnu::always_inline]] inline uint8_t Apply(Machine& m, unsigned v, unsigned n) {
    switch (op) {
        case Op::Rlc: return ShiftResult(m, v << 1 | v >> 7, v >> 7);
        case Op::Rrc: return ShiftResult(m, v >> 1 | (v & 1) << 7, v & 1);
        case Op::Rl: return ShiftResult(m, v << 1 | m.flagC, v >> 7);  // RL and RR: through the carry
        case Op::Rr: return ShiftResult(m, v >> 1 | unsigned(m.flagC) << 7, v & 1);
        case Op::Sla: return ShiftResult(m, v << 1, v >> 7);
        case Op::Sra: return ShiftResult(m, v >> 1 | (v & 0x80), v & 1);    // bit 7 stays
        case Op::Swap: return ShiftResult(m, (v & 0x0F) << 4 | v >> 4, 0);  // the digits change places
        case Op::Srl: return ShiftResult(m, v >> 1, v & 1);
        case Op::Res: return uint8_t(v & ~(1u << n));
        case Op::Set: return uint8_t(v | 1u << n);
    }
    return uint8_t(v);
}

// Replaces the operand of b by the result of op.
template <Op op>
[[gnu::always_inline]] inline void Modify(Machine& m, uint8_t b, unsigned n = 0) {
    switch (b & 7) {
        case 0: m.regB = Apply<op>(m, m.regB, n); break;
        case 1: m.regC = Apply<op>(m, m.regC, n); break;
        case 2: m.regD = Apply<op>(m, m.regD, n); break;
        case 3: m.regE = Apply<op>(m, m.regE, n); break;
        case 4: m.regH = Apply<op>(m, m.regH, n); break;
        case 5: m.regL = Apply<op>(m, m.regL, n); break;
        case 6: {
            const uint32_t a = alu::HL(m);
            alu::Write(m, a, Apply<op>(m, alu::Read(m, a), n));
            break;
        }
        case 7: m.regA = Apply<op>(m, m.regA, n); break;
    }
}

// BIT n: Z = the tested bit inverted, N clear, H set, C kept. Nothing is
// written back.
[[gnu::always_inline]] inline void TestBit(Machine& m, uint8_t b, unsigned n) {
    uint8_t v = 0;
    switch (b & 7) {
        case 0: v = m.regB; break;
        case 1: v = m.regC; break;
        case 2: v = m.regD; break;
        case 3: v = m.regE; break;
        case 4: v = m.regH; break;
        case 5: v = m.regL; break;
        case 6: v = alu::Read(m, alu::HL(m)); break;
        case 7: v = m.regA; break;
    }
    m.flagZ = ((v >> n) & 1) == 0;
    m.flagN = 0;
    m.flagH = 1;
}

// Runs CB b on m (regPC is neither read nor moved here).
[[gnu::always_inline]] inline void Execute(Machine& m, uint8_t b) {
    switch (b >> 3) {
        case 0: Modify<Op::Rlc>(m, b); break;
        case 1: Modify<Op::Rrc>(m, b); break;
        case 2: Modify<Op::Rl>(m, b); break;
        case 3: Modify<Op::Rr>(m, b); break;
        case 4: Modify<Op::Sla>(m, b); break;
        case 5: Modify<Op::Sra>(m, b); break;
        case 6: Modify<Op::Swap>(m, b); break;
        case 7: Modify<Op::Srl>(m, b); break;
        default: {
            const unsigned n = (b >> 3) & 7;
            if (b < 0x80)
                TestBit(m, b, n);
            else if (b < 0xC0)
                Modify<Op::Res>(m, b, n);
            else
                Modify<Op::Set>(m, b, n);
            break;
        }
    }
}

// Execute with b as a constant in each case of one switch: the compiler
// folds the two inner choices away, so the main loop reaches every CB
// instruction with a single jump.
[[gnu::always_inline]] inline void ExecuteFlat(Machine& m, uint8_t b) {
#define WENLO_CB_1(n)  \
    case n:            \
        Execute(m, n); \
        return;
#define WENLO_CB_4(n) WENLO_CB_1(n) WENLO_CB_1(n + 1) WENLO_CB_1(n + 2) WENLO_CB_1(n + 3)
#define WENLO_CB_16(n) WENLO_CB_4(n) WENLO_CB_4(n + 4) WENLO_CB_4(n + 8) WENLO_CB_4(n + 12)
#define WENLO_CB_64(n) WENLO_CB_16(n) WENLO_CB_16(n + 16) WENLO_CB_16(n + 32) WENLO_CB_16(n + 48)
    switch (b) { WENLO_CB_64(0) WENLO_CB_64(64) WENLO_CB_64(128) WENLO_CB_64(192) }
#undef WENLO_CB_64
#undef WENLO_CB_16
#undef WENLO_CB_4
#undef WENLO_CB_1
}

}  // namespace wenlo::cb
