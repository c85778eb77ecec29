#include "handheld/cpu.h"

#include "core/debugger.h"
#include "handheld/cpu_internal.h"
#include "handheld/report.h"

namespace wenlo::hh {

using namespace cpu;

namespace {

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

void Daa(Cpu& c) {
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

[[gnu::always_inline]] inline void Call(Handheld& h, uint16_t target) {
    Pass(h);  // the internal cycle before the push
    Push(h, h.cpu.pc);
    h.cpu.pc = target;
}

// Takes the highest-priority pending interrupt: two idle cycles, the push of
// pc (the vector is chosen only after its high byte went out, so a push that
// overwrites IE can cancel the interrupt: pc then becomes 0), the jump.
void Dispatch(Handheld& h) {
    Cpu& c = h.cpu;
    c.ime = false;
    // EI, then HALT with an interrupt pending: the HALT bug's failed
    // increment falls on the return address, which points at the HALT
    // itself, so the handler returns to it and it waits again.
    if (c.haltBug) {
        c.haltBug = false;
        --c.pc;
    }
    Pass(h);
    Pass(h);
    Write(h, --c.sp, uint8_t(c.pc >> 8));
    const uint8_t pending = h.IE & h.IF & 0x1F;
    Write(h, --c.sp, uint8_t(c.pc));
    Pass(h);
    if (!pending) {
        c.pc = 0;
        return;
    }
    const int bit = __builtin_ctz(pending);
    h.IF &= uint8_t(~(1u << bit));
    c.pc = uint16_t(0x40 + 8 * bit);
}

// Lets time pass without the CPU: to the next event, at least one cycle.
void Idle(Handheld& h) {
    const uint64_t target = h.nextEvent == kNever ? h.now + kMachineCycle : h.nextEvent;
    if (target > h.now + kMachineCycle) h.now = (target - 1) & ~(kMachineCycle - 1);
    Tick(h);
}

[[gnu::always_inline]] inline void Execute(Handheld& h, uint8_t op);

}  // namespace

namespace {

// Inlined into the run loop: the call would cost more than most instructions.
[[gnu::always_inline]] inline void Execute(Handheld& h, uint8_t op) {
    Cpu& c = h.cpu;
    c.opcode = op;
    // LD r,r' (0x40-0x7F but HALT) and the arithmetic on A (0x80-0xBF): the
    // operands lie in the opcode's bits.
    if (op >= 0x40 && op < 0x80 && op != 0x76) {
        SetR(h, (op >> 3) & 7, GetR(h, op & 7));
        return;
    }
    if (op >= 0x80 && op < 0xC0) {
        Alu(h, (op >> 3) & 7, GetR(h, op & 7));
        return;
    }
    const int r = (op >> 3) & 7;  // the register in bits 3-5
    const int p = (op >> 4) & 3;  // the pair in bits 4-5
    switch (op) {
        case 0x00: break;  // NOP
        case 0x01:
        case 0x11:
        case 0x21:
        case 0x31:  // LD rr,nn  3
            SetPair(h, p, Fetch16(h));
            break;
        case 0x02: Write(h, Pair(h, 0), c.r[reg::A]); break;  // LD (BC),A  2
        case 0x12: Write(h, Pair(h, 1), c.r[reg::A]); break;  // LD (DE),A  2
        case 0x22:
            Write(h, HL(h), c.r[reg::A]);
            SetHL(h, uint16_t(HL(h) + 1));
            break;  // LD (HL+),A
        case 0x32:
            Write(h, HL(h), c.r[reg::A]);
            SetHL(h, uint16_t(HL(h) - 1));
            break;                                            // LD (HL-),A
        case 0x0A: c.r[reg::A] = Read(h, Pair(h, 0)); break;  // LD A,(BC)  2
        case 0x1A: c.r[reg::A] = Read(h, Pair(h, 1)); break;  // LD A,(DE)  2
        case 0x2A:
            c.r[reg::A] = Read(h, HL(h));
            SetHL(h, uint16_t(HL(h) + 1));
            break;  // LD A,(HL+)
        case 0x3A:
            c.r[reg::A] = Read(h, HL(h));
            SetHL(h, uint16_t(HL(h) - 1));
            break;  // LD A,(HL-)
        case 0x03:
        case 0x13:
        case 0x23:
        case 0x33:  // INC rr  2
            Pass(h);
            SetPair(h, p, uint16_t(Pair(h, p) + 1));
            break;
        case 0x0B:
        case 0x1B:
        case 0x2B:
        case 0x3B:  // DEC rr  2
            Pass(h);
            SetPair(h, p, uint16_t(Pair(h, p) - 1));
            break;
        case 0x09:
        case 0x19:
        case 0x29:
        case 0x39: {  // ADD HL,rr  2
            const uint32_t hl = HL(h), v = Pair(h, p);
            Pass(h);
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
            SetR(h, r, Inc(h, GetR(h, r)));
            break;
        case 0x05:
        case 0x0D:
        case 0x15:
        case 0x1D:
        case 0x25:
        case 0x2D:
        case 0x35:
        case 0x3D:  // DEC r
            SetR(h, r, Dec(h, GetR(h, r)));
            break;
        case 0x06:
        case 0x0E:
        case 0x16:
        case 0x1E:
        case 0x26:
        case 0x2E:
        case 0x36:
        case 0x3E:  // LD r,n
            SetR(h, r, Fetch(h));
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
            const uint16_t a = Fetch16(h);
            Write(h, a, uint8_t(c.sp));
            Write(h, uint16_t(a + 1), uint8_t(c.sp >> 8));
            break;
        }
        case 0x10:     // STOP
            Fetch(h);  // the byte after STOP is skipped
            c.stopped = true;
            c.special = true;
            break;
        case 0x18: {  // JR e  3
            const int8_t e = int8_t(Fetch(h));
            Pass(h);
            c.pc = uint16_t(c.pc + e);
            break;
        }
        case 0x20:
        case 0x28:
        case 0x30:
        case 0x38: {  // JR cc,e  3/2
            const int8_t e = int8_t(Fetch(h));
            if (Condition(h, (op >> 3) & 3)) {
                Pass(h);
                c.pc = uint16_t(c.pc + e);
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
        case 0x76:                                                                                // HALT
            if (c.ime || !(h.IE & h.IF & 0x1F))
                c.halted = true;
            else
                c.haltBug = true;  // an interrupt already pending and IME clear
            c.special = true;
            break;
        case 0xC0:
        case 0xC8:
        case 0xD0:
        case 0xD8:  // RET cc  5/2
            Pass(h);
            if (Condition(h, (op >> 3) & 3)) {
                c.pc = Pop(h);
                Pass(h);
            }
            break;
        case 0xC9:
            c.pc = Pop(h);
            Pass(h);
            break;  // RET  4
        case 0xD9:
            c.pc = Pop(h);
            Pass(h);
            c.ime = c.special = true;
            break;  // RETI  4
        case 0xC1:
        case 0xD1:
        case 0xE1:  // POP rr  3
            SetPair(h, p, Pop(h));
            break;
        case 0xF1: {  // POP AF  3
            const uint16_t v = Pop(h);
            c.r[reg::A] = uint8_t(v >> 8);
            c.r[reg::F] = uint8_t(v & 0xF0);
            break;
        }
        case 0xC5:
        case 0xD5:
        case 0xE5:  // PUSH rr  4
            Pass(h);
            Push(h, Pair(h, p));
            break;
        case 0xF5:
            Pass(h);
            Push(h, uint16_t(c.r[reg::A] << 8 | c.r[reg::F]));
            break;  // PUSH AF  4
        case 0xC2:
        case 0xCA:
        case 0xD2:
        case 0xDA: {  // JP cc,nn  4/3
            const uint16_t a = Fetch16(h);
            if (Condition(h, (op >> 3) & 3)) {
                Pass(h);
                c.pc = a;
            }
            break;
        }
        case 0xC3: {
            const uint16_t a = Fetch16(h);
            Pass(h);
            c.pc = a;
            break;
        }                                // JP nn  4
        case 0xE9: c.pc = HL(h); break;  // JP HL  1
        case 0xC4:
        case 0xCC:
        case 0xD4:
        case 0xDC: {  // CALL cc,nn  6/3
            const uint16_t a = Fetch16(h);
            if (Condition(h, (op >> 3) & 3)) Call(h, a);
            break;
        }
        case 0xCD: Call(h, Fetch16(h)); break;  // CALL nn  6
        case 0xC6:
        case 0xCE:
        case 0xD6:
        case 0xDE:
        case 0xE6:
        case 0xEE:
        case 0xF6:
        case 0xFE:  // ALU n
            Alu(h, r, Fetch(h));
            break;
        case 0xC7:
        case 0xCF:
        case 0xD7:
        case 0xDF:
        case 0xE7:
        case 0xEF:
        case 0xF7:
        case 0xFF:  // RST  4
            Call(h, uint16_t(op & 0x38));
            break;
        case 0xCB: ExecuteCB(h); break;
        case 0xE0: Write(h, uint16_t(0xFF00 | Fetch(h)), c.r[reg::A]); break;     // LDH (n),A  3
        case 0xF0: c.r[reg::A] = Read(h, uint16_t(0xFF00 | Fetch(h))); break;     // LDH A,(n)  3
        case 0xE2: Write(h, uint16_t(0xFF00 | c.r[reg::C]), c.r[reg::A]); break;  // LD (C),A  2
        case 0xF2: c.r[reg::A] = Read(h, uint16_t(0xFF00 | c.r[reg::C])); break;  // LD A,(C)  2
        case 0xEA: Write(h, Fetch16(h), c.r[reg::A]); break;                      // LD (nn),A  4
        case 0xFA: c.r[reg::A] = Read(h, Fetch16(h)); break;                      // LD A,(nn)  4
        case 0xE8: {                                                              // ADD SP,e  4
            const uint16_t v = SpPlus(h, Fetch(h));
            Pass(h);
            Pass(h);
            c.sp = v;
            break;
        }
        case 0xF8: {  // LD HL,SP+e  3
            const uint16_t v = SpPlus(h, Fetch(h));
            Pass(h);
            SetHL(h, v);
            break;
        }
        case 0xF9:
            Pass(h);
            c.sp = HL(h);
            break;  // LD SP,HL  2
        case 0xF3:
            c.ime = false;
            c.imePending = false;
            break;  // DI
        case 0xFB:
            c.imePending = true;
            c.special = true;
            break;  // EI
        default:
            // D3 DB DD E3 E4 EB EC ED F4 FC FD: no instruction; the CPU hangs
            // until the power goes off.
            c.locked = true;
            c.special = true;
            c.lockedOpcode = op;
            ReportNote(h.report, Lack::LockedCpu, h.frames);
            h.report.lockedOpcode = op;
            break;
    }
}

// What happens between instructions, out of the common path: HALT, STOP,
// a locked CPU, the HALT bug's repeated byte, EI's delay.
void SpecialStep(Handheld& h) {
    Cpu& c = h.cpu;
    const bool pending = (h.IE & h.IF & 0x1F) != 0;
    if (c.locked || c.stopped) {
        Idle(h);  // a key press ends STOP (handheld/joypad.cpp)
    } else if (c.halted) {
        if (pending) {
            c.halted = false;
            Tick(h);  // waking takes a cycle of its own
        } else {
            Idle(h);
        }
    } else if (pending && c.ime) {
        Dispatch(h);
    } else if (c.haltBug) {
        // The byte after HALT is read, but pc does not move past it.
        c.haltBug = false;
        Execute(h, Read(h, c.pc));
    } else {
        // EI enables interrupts after the instruction that follows it.
        const bool enable = c.imePending;
        Execute(h, Fetch(h));
        if (enable && c.imePending) c.ime = true, c.imePending = false;
    }
    Catch(h);
    UpdateSpecial(h);
}

// One step: the common case (running, nothing to dispatch) inline.
[[gnu::always_inline]] inline void Step(Handheld& h) {
    if (!h.cpu.special) {
        Execute(h, Fetch(h));
        Catch(h);
        return;
    }
    SpecialStep(h);
}

}  // namespace

uint32_t CpuStep(Handheld& h) {
    const uint64_t start = h.now;
    Step(h);
    return uint32_t(h.now - start);
}

void CpuRun(Handheld& h, uint64_t limit) {
    h.stopAt = h.ppu.frameReady ? 0 : limit;
    while (h.now < h.stopAt) Step(h);
}

std::string CpuRegisterDump(const Handheld& h, bool withCB) {
    const Cpu& c = h.cpu;
    std::string line4 = "Opcode=$" + Hex(c.opcode);
    if (withCB && c.opcode == 0xCB) line4 += " $" + Hex(c.cbOpcode);
    line4 += " LY=" + std::to_string(h.ppu.ly);
    return "AF=$" + Hex(c.r[reg::A] << 8 | c.r[reg::F]) + " BC=$" + Hex(c.r[reg::B] << 8 | c.r[reg::C]) +
           "\r\n" +  //
           "DE=$" + Hex(c.r[reg::D] << 8 | c.r[reg::E]) + " HL=$" + Hex(c.r[reg::H] << 8 | c.r[reg::L]) +
           "\r\n" +                                                                     //
           "PC=$" + Hex(c.pc) + " SP=$" + Hex(c.sp) + "\r\n" +                          //
           line4 + "\r\n" +                                                             //
           "LCDC=$" + Hex(h.ppu.lcdc) + " LYC=" + std::to_string(h.ppu.lyc) + "\r\n" +  //
           "IFF=$" + Hex(h.IF);
}

}  // namespace wenlo::hh
