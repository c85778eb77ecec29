// Internal to the handheld's CPU (cpu.cpp): the instruction table, one
// instantiation of Execute per opcode, so that the operands in an opcode's
// bits (register, pair, condition, ALU operation) are constants and each
// case compiles to the instruction alone.
#pragma once

#include <cstdint>

#include "handheld/cpu_cb_internal.h"
#include "handheld/cpu_internal.h"
#include "handheld/cpu_ops_internal.h"
#include "handheld/report.h"

namespace wenlo::hh::cpu {

[[gnu::always_inline]] inline void Call(Core& x, uint16_t target) {
    Pass(x);  // the internal cycle before the push
    Push(x, uint16_t(x.pc));
    x.pc = target;
}

// HALT: waits for IE & IF, or with IME clear and an interrupt already
// pending does not halt but reads its next byte twice.
[[gnu::always_inline]] inline void Halt(Handheld& h) {
    Cpu& c = h.cpu;
    if (c.ime || !(h.IE & h.IF & 0x1F))
        c.halted = true;
    else
        c.haltBug = true;
    Attend(h);
}

// windowed: the opcode came from the code window (Operand).
template <uint8_t op, bool windowed>
[[gnu::always_inline]] inline void Execute(Core& x) {
    Handheld& h = x.h;
    Cpu& c = x.c;
    c.opcode = op;
    // LD r,r' (0x40-0x7F but HALT) and the arithmetic on A (0x80-0xBF): the
    // operands lie in the opcode's bits (constants here, like op itself).
    if (uint8_t(op - 0x40) < 0x80) {
        if (op >= 0x80)
            Alu(h, (op >> 3) & 7, GetR(x, op & 7));
        else if (op != 0x76)
            SetR(x, (op >> 3) & 7, GetR(x, op & 7));
        else
            Halt(h);
        return;
    }
    switch (op) {
        case 0x00: break;  // NOP
        case 0x01:
        case 0x11:
        case 0x21:
        case 0x31:  // LD rr,nn  3
            SetPair(h, PairOf(op), Operand16<windowed>(x));
            break;
        case 0x02: Write(x, Pair(h, 0), c.r[reg::A]); break;  // LD (BC),A  2
        case 0x12: Write(x, Pair(h, 1), c.r[reg::A]); break;  // LD (DE),A  2
        case 0x22:
            Write(x, HL(h), c.r[reg::A]);
            SetHL(h, uint16_t(HL(h) + 1));
            break;  // LD (HL+),A
        case 0x32:
            Write(x, HL(h), c.r[reg::A]);
            SetHL(h, uint16_t(HL(h) - 1));
            break;                                            // LD (HL-),A
        case 0x0A: c.r[reg::A] = Read(x, Pair(h, 0)); break;  // LD A,(BC)  2
        case 0x1A: c.r[reg::A] = Read(x, Pair(h, 1)); break;  // LD A,(DE)  2
        case 0x2A:
            c.r[reg::A] = Read(x, HL(h));
            SetHL(h, uint16_t(HL(h) + 1));
            break;  // LD A,(HL+)
        case 0x3A:
            c.r[reg::A] = Read(x, HL(h));
            SetHL(h, uint16_t(HL(h) - 1));
            break;  // LD A,(HL-)
        case 0x03:
        case 0x13:
        case 0x23:
        case 0x33:  // INC rr  2
            Pass(x);
            SetPair(h, PairOf(op), uint16_t(Pair(h, PairOf(op)) + 1));
            break;
        case 0x0B:
        case 0x1B:
        case 0x2B:
        case 0x3B:  // DEC rr  2
            Pass(x);
            SetPair(h, PairOf(op), uint16_t(Pair(h, PairOf(op)) - 1));
            break;
        case 0x09:
        case 0x19:
        case 0x29:
        case 0x39: {  // ADD HL,rr  2
            const uint32_t hl = HL(h), v = Pair(h, PairOf(op));
            Pass(x);
            c.r[reg::F] = uint8_t((c.r[reg::F] & kZ) |
                                  Flags(false, false, (hl & 0xFFF) + (v & 0xFFF) > 0xFFF, hl + v > 0xFFFF));
            SetHL(h, uint16_t(hl + v));
            break;
        }
        case 0x04:
        case 0x0C:
        case 0x14:
        case 0x1C:
        case 0x24:
        case 0x2C:
        case 0x34:
        case 0x3C:  // INC r
            SetR(x, RegOf(op), Inc(h, GetR(x, RegOf(op))));
            break;
        case 0x05:
        case 0x0D:
        case 0x15:
        case 0x1D:
        case 0x25:
        case 0x2D:
        case 0x35:
        case 0x3D:  // DEC r
            SetR(x, RegOf(op), Dec(h, GetR(x, RegOf(op))));
            break;
        case 0x06:
        case 0x0E:
        case 0x16:
        case 0x1E:
        case 0x26:
        case 0x2E:
        case 0x36:
        case 0x3E:  // LD r,n
            SetR(x, RegOf(op), Operand<windowed>(x));
            break;
        case 0x07:  // RLCA
            c.r[reg::A] = uint8_t(c.r[reg::A] << 1 | c.r[reg::A] >> 7);
            c.r[reg::F] = Flags(false, false, false, c.r[reg::A] & 1);
            break;
        case 0x0F:  // RRCA
            c.r[reg::F] = Flags(false, false, false, c.r[reg::A] & 1);
            c.r[reg::A] = uint8_t(c.r[reg::A] >> 1 | c.r[reg::A] << 7);
            break;
        case 0x17: {  // RLA
            const bool carry = c.r[reg::A] & 0x80;
            c.r[reg::A] = uint8_t(c.r[reg::A] << 1 | ((c.r[reg::F] & kC) ? 1 : 0));
            c.r[reg::F] = Flags(false, false, false, carry);
            break;
        }
        case 0x1F: {  // RRA
            const bool carry = c.r[reg::A] & 1;
            c.r[reg::A] = uint8_t(c.r[reg::A] >> 1 | ((c.r[reg::F] & kC) ? 0x80 : 0));
            c.r[reg::F] = Flags(false, false, false, carry);
            break;
        }
        case 0x08: {  // LD (nn),SP  5
            const uint16_t a = Operand16<windowed>(x);
            Write(x, a, uint8_t(c.sp));
            Write(x, uint16_t(a + 1), uint8_t(c.sp >> 8));
            break;
        }
        case 0x10:                 // STOP
            Operand<windowed>(x);  // the byte after STOP is skipped
            c.stopped = true;
            Attend(h);
            break;
        case 0x18: {  // JR e  3
            const int8_t e = int8_t(Operand<windowed>(x));
            Pass(x);
            x.pc = uint16_t(x.pc + e);
            break;
        }
        case 0x20:
        case 0x28:
        case 0x30:
        case 0x38: {  // JR cc,e  3/2
            const int8_t e = int8_t(Operand<windowed>(x));
            if (Condition(h, (op >> 3) & 3)) {
                Pass(x);
                x.pc = uint16_t(x.pc + e);
            }
            break;
        }
        case 0x27: Daa(c); break;  // DAA
        case 0x2F:
            c.r[reg::A] = uint8_t(~c.r[reg::A]);
            c.r[reg::F] |= kN | kH;
            break;                                                                                // CPL
        case 0x37: c.r[reg::F] = uint8_t((c.r[reg::F] & kZ) | kC); break;                         // SCF
        case 0x3F: c.r[reg::F] = uint8_t((c.r[reg::F] & kZ) | ((c.r[reg::F] & kC) ^ kC)); break;  // CCF
        case 0xC0:
        case 0xC8:
        case 0xD0:
        case 0xD8:  // RET cc  5/2
            Pass(x);
            if (Condition(h, (op >> 3) & 3)) {
                x.pc = Pop(x);
                Pass(x);
            }
            break;
        case 0xC9:
            x.pc = Pop(x);
            Pass(x);
            break;  // RET  4
        case 0xD9:
            x.pc = Pop(x);
            Pass(x);
            c.ime = true;
            Attend(h);
            break;  // RETI  4
        case 0xC1:
        case 0xD1:
        case 0xE1:  // POP rr  3
            SetPair(h, PairOf(op), Pop(x));
            break;
        case 0xF1: {  // POP AF  3
            const uint16_t v = Pop(x);
            c.r[reg::A] = uint8_t(v >> 8);
            c.r[reg::F] = uint8_t(v & 0xF0);
            break;
        }
        case 0xC5:
        case 0xD5:
        case 0xE5:  // PUSH rr  4
            Pass(x);
            Push(x, Pair(h, PairOf(op)));
            break;
        case 0xF5:
            Pass(x);
            Push(x, uint16_t(c.r[reg::A] << 8 | c.r[reg::F]));
            break;  // PUSH AF  4
        case 0xC2:
        case 0xCA:
        case 0xD2:
        case 0xDA: {  // JP cc,nn  4/3
            const uint16_t a = Operand16<windowed>(x);
            if (Condition(h, (op >> 3) & 3)) {
                Pass(x);
                x.pc = a;
            }
            break;
        }
        case 0xC3: {
            const uint16_t a = Operand16<windowed>(x);
            Pass(x);
            x.pc = a;
            break;
        }                                // JP nn  4
        case 0xE9: x.pc = HL(h); break;  // JP HL  1
        case 0xC4:
        case 0xCC:
        case 0xD4:
        case 0xDC: {  // CALL cc,nn  6/3
            const uint16_t a = Operand16<windowed>(x);
            if (Condition(h, (op >> 3) & 3)) Call(x, a);
            break;
        }
        case 0xCD: Call(x, Operand16<windowed>(x)); break;  // CALL nn  6
        case 0xC6:
        case 0xCE:
        case 0xD6:
        case 0xDE:
        case 0xE6:
        case 0xEE:
        case 0xF6:
        case 0xFE:  // ALU n
            Alu(h, RegOf(op), Operand<windowed>(x));
            break;
        case 0xC7:
        case 0xCF:
        case 0xD7:
        case 0xDF:
        case 0xE7:
        case 0xEF:
        case 0xF7:
        case 0xFF:  // RST  4
            Call(x, uint16_t(op & 0x38));
            break;
        case 0xCB: ExecuteCB<windowed>(x); break;
        case 0xE0: Write(x, uint16_t(0xFF00 | Operand<windowed>(x)), c.r[reg::A]); break;  // LDH (n),A  3
        case 0xF0: c.r[reg::A] = Read(x, uint16_t(0xFF00 | Operand<windowed>(x))); break;  // LDH A,(n)  3
        case 0xE2: Write(x, uint16_t(0xFF00 | c.r[reg::C]), c.r[reg::A]); break;           // LD (C),A  2
        case 0xF2: c.r[reg::A] = Read(x, uint16_t(0xFF00 | c.r[reg::C])); break;           // LD A,(C)  2
        case 0xEA: Write(x, Operand16<windowed>(x), c.r[reg::A]); break;                   // LD (nn),A  4
        case 0xFA: c.r[reg::A] = Read(x, Operand16<windowed>(x)); break;                   // LD A,(nn)  4
        case 0xE8: {                                                                       // ADD SP,e  4
            const uint16_t v = SpPlus(h, Operand<windowed>(x));
            Pass(x);
            Pass(x);
            c.sp = v;
            break;
        }
        case 0xF8: {  // LD HL,SP+e  3
            const uint16_t v = SpPlus(h, Operand<windowed>(x));
            Pass(x);
            SetHL(h, v);
            break;
        }
        case 0xF9:
            Pass(x);
            c.sp = HL(h);
            break;  // LD SP,HL  2
        case 0xF3:
            c.ime = false;
            c.imePending = false;
            break;  // DI
        case 0xFB:
            c.imePending = true;
            Attend(h);
            break;  // EI
        default:
            // D3 DB DD E3 E4 EB EC ED F4 FC FD: no instruction; the CPU hangs
            // until the power goes off.
            c.locked = true;
            Attend(h);
            c.lockedOpcode = op;
            ReportNote(h.report, Lack::LockedCpu, h.frames);
            h.report.lockedOpcode = op;
            break;
    }
}

// The table: a jump on the opcode to its instantiation.
#define WENLO_OP(n)              \
    case n:                      \
        Execute<n, windowed>(x); \
        break;
#define WENLO_OP4(n) WENLO_OP(n) WENLO_OP(n + 1) WENLO_OP(n + 2) WENLO_OP(n + 3)
#define WENLO_OP16(n) WENLO_OP4(n) WENLO_OP4(n + 4) WENLO_OP4(n + 8) WENLO_OP4(n + 12)
template <bool windowed>
[[gnu::always_inline]] inline void ExecuteOpcode(Core& x, uint8_t op) {
    switch (op) {
        WENLO_OP16(0x00)
        WENLO_OP16(0x10)
        WENLO_OP16(0x20)
        WENLO_OP16(0x30)
        WENLO_OP16(0x40) WENLO_OP16(0x50) WENLO_OP16(0x60) WENLO_OP16(0x70) WENLO_OP16(0x80) WENLO_OP16(0x90)
            WENLO_OP16(0xA0) WENLO_OP16(0xB0) WENLO_OP16(0xC0) WENLO_OP16(0xD0) WENLO_OP16(0xE0)
                WENLO_OP16(0xF0)
    }
}
#undef WENLO_OP16
#undef WENLO_OP4
#undef WENLO_OP

}  // namespace wenlo::hh::cpu
