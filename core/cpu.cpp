// The main instruction table. One case per opcode: the code of the case, the
// cost it returns (this machine's own cycle counts, not the hardware's), and a
// comment with the mnemonic and, where it is not plain, the effect.
//
// Conventions inside the loop:
// - The program counter lives in the local `pc` while a budget runs and goes
//   back to regPC when the call ends or a CB instruction needs it. Nothing on
//   the bus looks at regPC, so no one can see the difference.
// - `pc` already points past the opcode when a case starts; Fetch8/Fetch16
//   read the immediate operands at the following addresses and step past
//   them, so every instruction reads its operands at regPC + 1 and + 2.
// - regPC and regSP are int32 fields that may stand above 0xFFFF or below 0
//   (JR, PUSH and POP do not reduce them). All arithmetic on them is done in
//   uint32_t, which wraps, and addresses go to the bus unreduced.
#include "core/cpu.h"

#include "core/alu.h"

namespace wenlo {

namespace {

using alu::HL;
using alu::Read;
using alu::Write;

inline uint32_t Pair(uint8_t hi, uint8_t lo) { return uint32_t(hi) << 8 | lo; }

// Little-endian word at an address and the next one.
inline uint16_t Read16(const Machine& m, uint32_t address) {
    return uint16_t(Read(m, address) | Read(m, address + 1) << 8);
}

inline uint8_t Fetch8(const Machine& m, uint32_t& pc) { return Read(m, pc++); }

inline uint16_t Fetch16(const Machine& m, uint32_t& pc) {
    const uint16_t v = Read16(m, pc);
    pc += 2;
    return v;
}

inline void LoadPair(uint8_t& hi, uint8_t& lo, uint16_t v) {
    hi = uint8_t(v >> 8);
    lo = uint8_t(v);
}

// 16-bit increment and decrement of BC, DE and HL, done on the two bytes: the
// high byte moves only when the low byte wraps, so the pair wraps at 16 bits.
inline void IncPair(uint8_t& hi, uint8_t& lo) {
    if (++lo == 0) ++hi;
}
inline void DecPair(uint8_t& hi, uint8_t& lo) {
    if (lo-- == 0) --hi;
}

// LD (HL+),A / LD (HL-),A / LD A,(HL+) / LD A,(HL-): the access comes first,
// then HL moves.
inline void StoreHlInc(Machine& m) {
    Write(m, HL(m), m.regA);
    IncPair(m.regH, m.regL);
}
inline void StoreHlDec(Machine& m) {
    Write(m, HL(m), m.regA);
    DecPair(m.regH, m.regL);
}
inline void LoadHlInc(Machine& m) {
    m.regA = Read(m, HL(m));
    IncPair(m.regH, m.regL);
}
inline void LoadHlDec(Machine& m) {
    m.regA = Read(m, HL(m));
    DecPair(m.regH, m.regL);
}

// INC (HL) / DEC (HL): one read, one write back.
inline void IncMemory(Machine& m) {
    const uint32_t a = HL(m);
    Write(m, a, alu::Inc(m, Read(m, a)));
}
inline void DecMemory(Machine& m) {
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

// regSP -= 2; low byte at regSP, then high byte at regSP + 1.
inline void PushPair(Machine& m, uint8_t hi, uint8_t lo) {
    const uint32_t sp = uint32_t(m.regSP) - 2;
    m.regSP = int32_t(sp);
    Write(m, sp, lo);
    Write(m, sp + 1, hi);
}

// Return addresses are pushed the same way; a value past 0xFFFF keeps its
// bits 15-8 in the high byte.
inline void PushWord(Machine& m, uint32_t value) { PushPair(m, uint8_t(value >> 8), uint8_t(value)); }

// The high byte (at regSP + 1) is read first; then regSP += 2.
inline uint16_t PopWord(Machine& m) {
    const uint32_t sp = uint32_t(m.regSP);
    const uint8_t hi = Read(m, sp + 1);
    const uint8_t lo = Read(m, sp);
    m.regSP = int32_t(sp + 2);
    return uint16_t(hi << 8 | lo);
}

inline void PopPair(Machine& m, uint8_t& hi, uint8_t& lo) { LoadPair(hi, lo, PopWord(m)); }

// POP AF: bits 3-0 of the popped F are dropped.
inline void PopAf(Machine& m) {
    const uint16_t v = PopWord(m);
    m.regA = uint8_t(v >> 8);
    SplitF(m, uint8_t(v));
}

// ---- Jumps, calls, returns (each returns whether it was taken) -------------

// JR: the offset is relative to the next instruction; no reduction to 16 bits.
inline bool JumpRelative(const Machine& m, uint32_t& pc, bool taken) {
    const int8_t e = int8_t(Fetch8(m, pc));
    if (taken) pc += uint32_t(int32_t(e));
    return taken;
}

// JP cc: regPC moves past the operand first; the target is then read back
// from the two bytes behind it.
inline bool JumpAbsolute(const Machine& m, uint32_t& pc, bool taken) {
    pc += 2;
    if (taken) pc = Read16(m, pc - 2);
    return taken;
}

// CALL: the return address is pushed before the target is read, so a push
// that lands on the operand bytes (or switches the ROM bank) changes where
// the call goes.
inline bool Call(Machine& m, uint32_t& pc, bool taken) {
    pc += 2;
    if (taken) {
        PushWord(m, pc);
        pc = Read16(m, pc - 2);
    }
    return taken;
}

inline bool Return(Machine& m, uint32_t& pc, bool taken) {
    if (taken) pc = PopWord(m);
    return taken;
}

// RETI: IME is set after the pop, with no delay.
inline void ReturnFromInterrupt(Machine& m, uint32_t& pc) {
    pc = PopWord(m);
    m.IME = 1;
}

inline void Restart(Machine& m, uint32_t& pc, uint32_t vector) {
    PushWord(m, pc);
    pc = vector;
}

// The CB prefix hands over to the second table through regPC.
inline int Prefixed(Machine& m, uint32_t& pc) {
    m.regPC = int32_t(pc);
    const int cost = ExecuteCB(m);
    pc = uint32_t(m.regPC);
    return cost;
}

// Executes the instruction at pc and returns its cost in clock cycles.
[[gnu::always_inline]] inline int Step(Machine& m, uint32_t& pc) {
    const uint8_t op = Read(m, pc);
    m.CurrentOpcode = op;
    ++pc;
    switch (op) {
        // ---- 0x00-0x3F: immediates, 16-bit steps, INC/DEC, rotates on A, JR
        case 0x00: return 4;                                            // NOP
        case 0x01: LoadPair(m.regB, m.regC, Fetch16(m, pc)); return 7;  // LD BC,nn
        case 0x02: Write(m, Pair(m.regB, m.regC), m.regA); return 7;    // LD (BC),A
        case 0x03: IncPair(m.regB, m.regC); return 4;                   // INC BC
        case 0x04: m.regB = alu::Inc(m, m.regB); return 4;              // INC B
        case 0x05: m.regB = alu::Dec(m, m.regB); return 7;              // DEC B
        case 0x06: m.regB = Fetch8(m, pc); return 7;                    // LD B,n
        case 0x07: alu::Rlca(m); return 4;                              // RLCA
        case 0x08: StoreSp(m, Fetch16(m, pc)); return 8;                // LD (nn),SP
        case 0x09: alu::AddHl(m, Pair(m.regB, m.regC)); return 4;       // ADD HL,BC
        case 0x0A: m.regA = Read(m, Pair(m.regB, m.regC)); return 7;    // LD A,(BC)
        case 0x0B: DecPair(m.regB, m.regC); return 7;                   // DEC BC
        case 0x0C: m.regC = alu::Inc(m, m.regC); return 4;              // INC C
        case 0x0D: m.regC = alu::Dec(m, m.regC); return 4;              // DEC C
        case 0x0E: m.regC = Fetch8(m, pc); return 7;                    // LD C,n
        case 0x0F: alu::Rrca(m); return 4;                              // RRCA
        case 0x10: return 10;  // STOP: one byte; the next byte runs as the next instruction
        case 0x11: LoadPair(m.regD, m.regE, Fetch16(m, pc)); return 7;   // LD DE,nn
        case 0x12: Write(m, Pair(m.regD, m.regE), m.regA); return 10;    // LD (DE),A
        case 0x13: IncPair(m.regD, m.regE); return 4;                    // INC DE
        case 0x14: m.regD = alu::Inc(m, m.regD); return 4;               // INC D
        case 0x15: m.regD = alu::Dec(m, m.regD); return 7;               // DEC D
        case 0x16: m.regD = Fetch8(m, pc); return 7;                     // LD D,n
        case 0x17: alu::Rla(m); return 4;                                // RLA
        case 0x18: JumpRelative(m, pc, true); return 7;                  // JR e
        case 0x19: alu::AddHl(m, Pair(m.regD, m.regE)); return 4;        // ADD HL,DE
        case 0x1A: m.regA = Read(m, Pair(m.regD, m.regE)); return 7;     // LD A,(DE)
        case 0x1B: DecPair(m.regD, m.regE); return 7;                    // DEC DE
        case 0x1C: m.regE = alu::Inc(m, m.regE); return 4;               // INC E
        case 0x1D: m.regE = alu::Dec(m, m.regE); return 7;               // DEC E
        case 0x1E: m.regE = Fetch8(m, pc); return 7;                     // LD E,n
        case 0x1F: alu::Rra(m); return 4;                                // RRA
        case 0x20: return JumpRelative(m, pc, m.flagZ == 0) ? 17 : 7;    // JR NZ,e
        case 0x21: LoadPair(m.regH, m.regL, Fetch16(m, pc)); return 7;   // LD HL,nn
        case 0x22: StoreHlInc(m); return 7;                              // LD (HL+),A
        case 0x23: IncPair(m.regH, m.regL); return 4;                    // INC HL
        case 0x24: m.regH = alu::Inc(m, m.regH); return 4;               // INC H
        case 0x25: m.regH = alu::Dec(m, m.regH); return 7;               // DEC H
        case 0x26: m.regH = Fetch8(m, pc); return 7;                     // LD H,n
        case 0x27: alu::Daa(m); return 7;                                // DAA
        case 0x28: return JumpRelative(m, pc, m.flagZ == 1) ? 17 : 7;    // JR Z,e
        case 0x29: alu::AddHl(m, HL(m)); return 4;                       // ADD HL,HL
        case 0x2A: LoadHlInc(m); return 7;                               // LD A,(HL+)
        case 0x2B: DecPair(m.regH, m.regL); return 7;                    // DEC HL
        case 0x2C: m.regL = alu::Inc(m, m.regL); return 4;               // INC L
        case 0x2D: m.regL = alu::Dec(m, m.regL); return 7;               // DEC L
        case 0x2E: m.regL = Fetch8(m, pc); return 7;                     // LD L,n
        case 0x2F: alu::Cpl(m); return 4;                                // CPL
        case 0x30: return JumpRelative(m, pc, m.flagC == 0) ? 17 : 7;    // JR NC,e
        case 0x31: m.regSP = Fetch16(m, pc); return 10;                  // LD SP,nn
        case 0x32: StoreHlDec(m); return 7;                              // LD (HL-),A
        case 0x33: m.regSP = MoveSp16(m.regSP, 1); return 7;             // INC SP
        case 0x34: IncMemory(m); return 4;                               // INC (HL)
        case 0x35: DecMemory(m); return 7;                               // DEC (HL)
        case 0x36: Write(m, HL(m), Fetch8(m, pc)); return 7;             // LD (HL),n
        case 0x37: alu::Scf(m); return 4;                                // SCF
        case 0x38: return JumpRelative(m, pc, m.flagC == 1) ? 17 : 7;    // JR C,e
        case 0x39: alu::AddHl(m, m.regSP); return 4;                     // ADD HL,SP (full regSP)
        case 0x3A: LoadHlDec(m); return 7;                               // LD A,(HL-)
        case 0x3B: m.regSP = MoveSp16(m.regSP, uint32_t(-1)); return 7;  // DEC SP
        case 0x3C: m.regA = alu::Inc(m, m.regA); return 4;               // INC A
        case 0x3D: m.regA = alu::Dec(m, m.regA); return 7;               // DEC A
        case 0x3E: m.regA = Fetch8(m, pc); return 7;                     // LD A,n
        case 0x3F:
            alu::Ccf(m);
            return 4;  // CCF

        // ---- 0x40-0x7F: LD r,r' (row = destination B C D E H L (HL) A,
        // column low 3 bits = source in the same order); all cost 4.
        case 0x40: return 4;                           // LD B,B
        case 0x41: m.regB = m.regC; return 4;          // LD B,C
        case 0x42: m.regB = m.regD; return 4;          // LD B,D
        case 0x43: m.regB = m.regE; return 4;          // LD B,E
        case 0x44: m.regB = m.regH; return 4;          // LD B,H
        case 0x45: m.regB = m.regL; return 4;          // LD B,L
        case 0x46: m.regB = Read(m, HL(m)); return 4;  // LD B,(HL)
        case 0x47: m.regB = m.regA; return 4;          // LD B,A
        case 0x48: m.regC = m.regB; return 4;          // LD C,B
        case 0x49: return 4;                           // LD C,C
        case 0x4A: m.regC = m.regD; return 4;          // LD C,D
        case 0x4B: m.regC = m.regE; return 4;          // LD C,E
        case 0x4C: m.regC = m.regH; return 4;          // LD C,H
        case 0x4D: m.regC = m.regL; return 4;          // LD C,L
        case 0x4E: m.regC = Read(m, HL(m)); return 4;  // LD C,(HL)
        case 0x4F: m.regC = m.regA; return 4;          // LD C,A
        case 0x50: m.regD = m.regB; return 4;          // LD D,B
        case 0x51: m.regD = m.regC; return 4;          // LD D,C
        case 0x52: return 4;                           // LD D,D
        case 0x53: m.regD = m.regE; return 4;          // LD D,E
        case 0x54: m.regD = m.regH; return 4;          // LD D,H
        case 0x55: m.regD = m.regL; return 4;          // LD D,L
        case 0x56: m.regD = Read(m, HL(m)); return 4;  // LD D,(HL)
        case 0x57: m.regD = m.regA; return 4;          // LD D,A
        case 0x58: m.regE = m.regB; return 4;          // LD E,B
        case 0x59: m.regE = m.regC; return 4;          // LD E,C
        case 0x5A: m.regE = m.regD; return 4;          // LD E,D
        case 0x5B: return 4;                           // LD E,E
        case 0x5C: m.regE = m.regH; return 4;          // LD E,H
        case 0x5D: m.regE = m.regL; return 4;          // LD E,L
        case 0x5E: m.regE = Read(m, HL(m)); return 4;  // LD E,(HL)
        case 0x5F: m.regE = m.regA; return 4;          // LD E,A
        case 0x60: m.regH = m.regB; return 4;          // LD H,B
        case 0x61: m.regH = m.regC; return 4;          // LD H,C
        case 0x62: m.regH = m.regD; return 4;          // LD H,D
        case 0x63: m.regH = m.regE; return 4;          // LD H,E
        case 0x64: return 4;                           // LD H,H
        case 0x65: m.regH = m.regL; return 4;          // LD H,L
        case 0x66: m.regH = Read(m, HL(m)); return 4;  // LD H,(HL)
        case 0x67: m.regH = m.regA; return 4;          // LD H,A
        case 0x68: m.regL = m.regB; return 4;          // LD L,B
        case 0x69: m.regL = m.regC; return 4;          // LD L,C
        case 0x6A: m.regL = m.regD; return 4;          // LD L,D
        case 0x6B: m.regL = m.regE; return 4;          // LD L,E
        case 0x6C: m.regL = m.regH; return 4;          // LD L,H
        case 0x6D: return 4;                           // LD L,L
        case 0x6E: m.regL = Read(m, HL(m)); return 4;  // LD L,(HL)
        case 0x6F: m.regL = m.regA; return 4;          // LD L,A
        case 0x70: Write(m, HL(m), m.regB); return 4;  // LD (HL),B
        case 0x71: Write(m, HL(m), m.regC); return 4;  // LD (HL),C
        case 0x72: Write(m, HL(m), m.regD); return 4;  // LD (HL),D
        case 0x73: Write(m, HL(m), m.regE); return 4;  // LD (HL),E
        case 0x74: Write(m, HL(m), m.regH); return 4;  // LD (HL),H
        case 0x75: Write(m, HL(m), m.regL); return 4;  // LD (HL),L
        case 0x76: return 4;                           // HALT: a NOP here; nothing waits for an interrupt
        case 0x77: Write(m, HL(m), m.regA); return 4;  // LD (HL),A
        case 0x78: m.regA = m.regB; return 4;          // LD A,B
        case 0x79: m.regA = m.regC; return 4;          // LD A,C
        case 0x7A: m.regA = m.regD; return 4;          // LD A,D
        case 0x7B: m.regA = m.regE; return 4;          // LD A,E
        case 0x7C: m.regA = m.regH; return 4;          // LD A,H
        case 0x7D: m.regA = m.regL; return 4;          // LD A,L
        case 0x7E: m.regA = Read(m, HL(m)); return 4;  // LD A,(HL)
        case 0x7F:
            return 4;  // LD A,A

        // ---- 0x80-0xBF: ADD ADC SUB SBC AND XOR OR CP on B C D E H L (HL) A.
        // Costs are 4 except where noted by the return.
        case 0x80: alu::Add(m, m.regB); return 4;          // ADD A,B
        case 0x81: alu::Add(m, m.regC); return 4;          // ADD A,C
        case 0x82: alu::Add(m, m.regD); return 4;          // ADD A,D
        case 0x83: alu::Add(m, m.regE); return 4;          // ADD A,E
        case 0x84: alu::Add(m, m.regH); return 4;          // ADD A,H
        case 0x85: alu::Add(m, m.regL); return 4;          // ADD A,L
        case 0x86: alu::Add(m, Read(m, HL(m))); return 8;  // ADD A,(HL)
        case 0x87: alu::Add(m, m.regA); return 4;          // ADD A,A
        case 0x88: alu::Adc(m, m.regB); return 4;          // ADC A,B
        case 0x89: alu::Adc(m, m.regC); return 4;          // ADC A,C
        case 0x8A: alu::Adc(m, m.regD); return 4;          // ADC A,D
        case 0x8B: alu::Adc(m, m.regE); return 4;          // ADC A,E
        case 0x8C: alu::Adc(m, m.regH); return 4;          // ADC A,H
        case 0x8D: alu::Adc(m, m.regL); return 4;          // ADC A,L
        case 0x8E: alu::Adc(m, Read(m, HL(m))); return 4;  // ADC A,(HL)
        case 0x8F: alu::Adc(m, m.regA); return 4;          // ADC A,A
        case 0x90: alu::Sub(m, m.regB); return 4;          // SUB B
        case 0x91: alu::Sub(m, m.regC); return 4;          // SUB C
        case 0x92: alu::Sub(m, m.regD); return 4;          // SUB D
        case 0x93: alu::Sub(m, m.regE); return 4;          // SUB E
        case 0x94: alu::Sub(m, m.regH); return 4;          // SUB H
        case 0x95: alu::Sub(m, m.regL); return 4;          // SUB L
        case 0x96: alu::Sub(m, Read(m, HL(m))); return 8;  // SUB (HL)
        case 0x97: alu::Sub(m, m.regA); return 8;          // SUB A
        case 0x98: alu::Sbc(m, m.regB); return 4;          // SBC A,B
        case 0x99: alu::Sbc(m, m.regC); return 4;          // SBC A,C
        case 0x9A: alu::Sbc(m, m.regD); return 4;          // SBC A,D
        case 0x9B: alu::Sbc(m, m.regE); return 4;          // SBC A,E
        case 0x9C: alu::Sbc(m, m.regH); return 4;          // SBC A,H
        case 0x9D: alu::Sbc(m, m.regL); return 4;          // SBC A,L
        case 0x9E: alu::Sbc(m, Read(m, HL(m))); return 4;  // SBC A,(HL)
        case 0x9F: alu::Sbc(m, m.regA); return 4;          // SBC A,A
        case 0xA0: alu::And(m, m.regB); return 4;          // AND B
        case 0xA1: alu::And(m, m.regC); return 4;          // AND C
        case 0xA2: alu::And(m, m.regD); return 4;          // AND D
        case 0xA3: alu::And(m, m.regE); return 4;          // AND E
        case 0xA4: alu::And(m, m.regH); return 4;          // AND H
        case 0xA5: alu::And(m, m.regL); return 4;          // AND L
        case 0xA6: alu::And(m, Read(m, HL(m))); return 8;  // AND (HL)
        case 0xA7: alu::And(m, m.regA); return 4;          // AND A
        case 0xA8: alu::Xor(m, m.regB); return 4;          // XOR B
        case 0xA9: alu::Xor(m, m.regC); return 4;          // XOR C
        case 0xAA: alu::Xor(m, m.regD); return 4;          // XOR D
        case 0xAB: alu::Xor(m, m.regE); return 4;          // XOR E
        case 0xAC: alu::Xor(m, m.regH); return 4;          // XOR H
        case 0xAD: alu::Xor(m, m.regL); return 4;          // XOR L
        case 0xAE: alu::Xor(m, Read(m, HL(m))); return 8;  // XOR (HL)
        case 0xAF: alu::Xor(m, m.regA); return 4;          // XOR A
        case 0xB0: alu::Or(m, m.regB); return 4;           // OR B
        case 0xB1: alu::Or(m, m.regC); return 4;           // OR C
        case 0xB2: alu::Or(m, m.regD); return 4;           // OR D
        case 0xB3: alu::Or(m, m.regE); return 4;           // OR E
        case 0xB4: alu::Or(m, m.regH); return 4;           // OR H
        case 0xB5: alu::Or(m, m.regL); return 4;           // OR L
        case 0xB6: alu::Or(m, Read(m, HL(m))); return 8;   // OR (HL)
        case 0xB7: alu::Or(m, m.regA); return 4;           // OR A
        case 0xB8: alu::Cp(m, m.regB); return 4;           // CP B
        case 0xB9: alu::Cp(m, m.regC); return 4;           // CP C
        case 0xBA: alu::Cp(m, m.regD); return 4;           // CP D
        case 0xBB: alu::Cp(m, m.regE); return 4;           // CP E
        case 0xBC: alu::Cp(m, m.regH); return 4;           // CP H
        case 0xBD: alu::Cp(m, m.regL); return 4;           // CP L
        case 0xBE: alu::Cp(m, Read(m, HL(m))); return 8;   // CP (HL)
        case 0xBF:
            alu::Cp(m, m.regA);
            return 4;  // CP A

        // ---- 0xC0-0xFF: stack, jumps, calls, returns, immediates, I/O page.
        // Conditional entries return taken : not taken.
        case 0xC0: return Return(m, pc, m.flagZ == 0) ? 20 : 8;           // RET NZ
        case 0xC1: PopPair(m, m.regB, m.regC); return 8;                  // POP BC
        case 0xC2: return JumpAbsolute(m, pc, m.flagZ == 0) ? 16 : 12;    // JP NZ,nn
        case 0xC3: pc = Read16(m, pc); return 16;                         // JP nn
        case 0xC4: return Call(m, pc, m.flagZ == 0) ? 24 : 12;            // CALL NZ,nn
        case 0xC5: PushPair(m, m.regB, m.regC); return 4;                 // PUSH BC
        case 0xC6: alu::Add(m, Fetch8(m, pc)); return 4;                  // ADD A,n
        case 0xC7: Restart(m, pc, 0x00); return 20;                       // RST 00
        case 0xC8: return Return(m, pc, m.flagZ == 1) ? 20 : 8;           // RET Z
        case 0xC9: pc = PopWord(m); return 20;                            // RET
        case 0xCA: return JumpAbsolute(m, pc, m.flagZ == 1) ? 20 : 8;     // JP Z,nn
        case 0xCB: return Prefixed(m, pc);                                // CB xx: cost from ExecuteCB
        case 0xCC: return Call(m, pc, m.flagZ == 1) ? 24 : 12;            // CALL Z,nn
        case 0xCD: Call(m, pc, true); return 24;                          // CALL nn
        case 0xCE: alu::Adc(m, Fetch8(m, pc)); return 8;                  // ADC A,n
        case 0xCF: Restart(m, pc, 0x08); return 20;                       // RST 08
        case 0xD0: return Return(m, pc, m.flagC == 0) ? 20 : 8;           // RET NC
        case 0xD1: PopPair(m, m.regD, m.regE); return 8;                  // POP DE
        case 0xD2: return JumpAbsolute(m, pc, m.flagC == 0) ? 20 : 8;     // JP NC,nn
        case 0xD3: return 4;                                              // undefined: NOP
        case 0xD4: return Call(m, pc, m.flagC == 0) ? 24 : 12;            // CALL NC,nn
        case 0xD5: PushPair(m, m.regD, m.regE); return 8;                 // PUSH DE
        case 0xD6: alu::Sub(m, Fetch8(m, pc)); return 8;                  // SUB n
        case 0xD7: Restart(m, pc, 0x10); return 20;                       // RST 10
        case 0xD8: return Return(m, pc, m.flagC == 1) ? 20 : 8;           // RET C
        case 0xD9: ReturnFromInterrupt(m, pc); return 16;                 // RETI
        case 0xDA: return JumpAbsolute(m, pc, m.flagC == 1) ? 20 : 8;     // JP C,nn
        case 0xDB: return 4;                                              // undefined: NOP
        case 0xDC: return Call(m, pc, m.flagC == 1) ? 24 : 12;            // CALL C,nn
        case 0xDD: return 4;                                              // undefined: NOP
        case 0xDE: alu::Sbc(m, Fetch8(m, pc)); return 4;                  // SBC A,n
        case 0xDF: Restart(m, pc, 0x18); return 20;                       // RST 18
        case 0xE0: Write(m, 0xFF00u + Fetch8(m, pc), m.regA); return 8;   // LDH (n),A
        case 0xE1: PopPair(m, m.regH, m.regL); return 8;                  // POP HL
        case 0xE2: Write(m, 0xFF00u + m.regC, m.regA); return 8;          // LD (C),A
        case 0xE3: return 4;                                              // undefined: NOP
        case 0xE4: return 4;                                              // undefined: NOP
        case 0xE5: PushPair(m, m.regH, m.regL); return 8;                 // PUSH HL
        case 0xE6: alu::And(m, Fetch8(m, pc)); return 8;                  // AND n
        case 0xE7: Restart(m, pc, 0x20); return 20;                       // RST 20
        case 0xE8: m.regSP = alu::OffsetSp(m, Fetch8(m, pc)); return 16;  // ADD SP,e
        case 0xE9: pc = HL(m); return 8;                                  // JP (HL)
        case 0xEA: Write(m, Fetch16(m, pc), m.regA); return 8;            // LD (nn),A
        case 0xEB: return 4;                                              // undefined: NOP
        case 0xEC: return 4;                                              // undefined: NOP
        case 0xED: return 4;                                              // undefined: NOP
        case 0xEE: alu::Xor(m, Fetch8(m, pc)); return 4;                  // XOR n
        case 0xEF: Restart(m, pc, 0x28); return 20;                       // RST 28
        case 0xF0: m.regA = Read(m, 0xFF00u + Fetch8(m, pc)); return 8;   // LDH A,(n)
        case 0xF1: PopAf(m); return 8;                                    // POP AF
        case 0xF2: m.regA = Read(m, 0xFF00u + m.regC); return 8;          // LD A,(C)
        case 0xF3: m.IME = 0; return 4;                                   // DI
        case 0xF4: return 4;                                              // undefined: NOP
        case 0xF5: PushPair(m, m.regA, ComposeF(m)); return 8;            // PUSH AF
        case 0xF6: alu::Or(m, Fetch8(m, pc)); return 4;                   // OR n
        case 0xF7: Restart(m, pc, 0x30); return 20;                       // RST 30
        case 0xF8: LoadHlSpOffset(m, Fetch8(m, pc)); return 4;            // LD HL,SP+e
        case 0xF9: m.regSP = int32_t(HL(m)); return 4;                    // LD SP,HL
        case 0xFA: m.regA = Read(m, Fetch16(m, pc)); return 16;           // LD A,(nn)
        case 0xFB: m.IME = 1; return 4;                                   // EI: at once, no delay
        case 0xFC: return 4;                                              // undefined: NOP
        case 0xFD: return 4;                                              // undefined: NOP
        case 0xFE: alu::Cp(m, Fetch8(m, pc)); return 8;                   // CP n
        case 0xFF: Restart(m, pc, 0x38); return 20;                       // RST 38
    }
    return 4;  // not reached: every byte value has its case above
}

}  // namespace

void Interpret(Machine& m, int16_t cycles) {
    if (!m.Running) return;
    // The pause wait happens once, before the budget: handlers run inside
    // WaitForEvents may step the machine, load a cartridge or clear Running;
    // the budget then runs from whatever state they left. Headless there is
    // nobody to release the pause, so it is not waited for.
    while (m.Paused && m.host != nullptr) m.host->WaitForEvents();

    uint32_t pc = uint32_t(m.regPC);
    int budget = cycles;  // the overshoot of the last instruction is dropped
    while (budget > 0) budget -= Step(m, pc);
    m.regPC = int32_t(pc);
}

}  // namespace wenlo
