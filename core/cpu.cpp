// The main instruction table. One case per opcode: the code of the case, its
// cell of the cost table (core/cost_table.h: this machine's own cycle counts,
// not the hardware's), and a comment with the mnemonic and, where it is not
// plain, the effect. The working parts live in core/cpu_ops_internal.h.
//
// Conventions inside the loop:
// - The program counter lives in the local `pc` while a budget runs, and the
//   last opcode in `op`; both go back to regPC and CurrentOpcode when the call
//   ends. Nothing on the bus looks at either field and nobody else runs during
//   a budget, so no one can see the difference. In the main loop `pc` is an
//   offset into the region the code runs from (core/code_fetch_internal.h).
// - `pc` already points past the opcode when a case starts; Fetch8/Fetch16
//   read the immediate operands at the following addresses and step past
//   them, so every instruction reads its operands at regPC + 1 and + 2.
// - regPC and regSP are int32 fields that may stand above 0xFFFF or below 0
//   (JR, PUSH and POP do not reduce them). All arithmetic on them wraps at 32
//   bits, and addresses go to the bus unreduced.
//
// This is the hottest code of the emulator. Every helper is forced inline (the
// table is too large for the compiler's own judgement), memory goes through
// the inline paths of bus_internal.h, and each case takes its own cost from the budget,
// so it ends in one subtraction and a jump back to the fetch.
#include "core/cpu.h"

#include "core/compat_hooks_internal.h"
#include "core/cost_table.h"
#include "core/cpu_ops_internal.h"

namespace wenlo {

namespace {

using namespace cpu_ops;

// The cells of the cost table, folded into each case (core/cost_table.h).
using cell::Cost;
using cell::NotTaken;
using cell::Taken;
static_assert(cb::kCycles <= kMaxCost, "a CB instruction must not cost more than the dearest cell");

// ---- The table ------------------------------------------------------------------

// Runs the instruction at pc, takes its cost from the budget and leaves its
// opcode in `opcode`. Pc is a plain address (uint64_t, every fetch checked) or
// a window. Returns whether the instruction may have moved pc other than
// past its own bytes (a jump, call, return or restart): as each case returns
// a constant, the compiler sends the others straight on to the next
// instruction, and only these test where pc went.
template <class Pc>
[[gnu::always_inline]] inline bool Step(Machine& m, Pc& pc, int& budget, uint8_t& opcode) {
    const unsigned op = Fetch8(m, pc);
    opcode = uint8_t(op);
    // clang-format off
    switch (op) {
        // ---- 0x00-0x3F: immediates, 16-bit steps, INC/DEC, rotates on A, JR
        case 0x00: budget -= Cost(0x00); return false;                                             // NOP
        case 0x01: LoadPair(m.regB, m.regC, Fetch16(m, pc)); budget -= Cost(0x01); return false;   // LD BC,nn
        case 0x02: Write(m, Pair(m.regB, m.regC), m.regA); budget -= Cost(0x02); return false;     // LD (BC),A
        case 0x03: IncPair(m.regB, m.regC); budget -= Cost(0x03); return false;                    // INC BC
        case 0x04: m.regB = alu::Inc(m, m.regB); budget -= Cost(0x04); return false;               // INC B
        case 0x05: m.regB = alu::Dec(m, m.regB); budget -= Cost(0x05); return false;               // DEC B
        case 0x06: m.regB = Fetch8(m, pc); budget -= Cost(0x06); return false;                     // LD B,n
        case 0x07: alu::Rlca(m); budget -= Cost(0x07); return false;                               // RLCA
        case 0x08: StoreSp(m, Fetch16(m, pc)); budget -= Cost(0x08); return false;                 // LD (nn),SP
        case 0x09: alu::AddHl(m, Pair(m.regB, m.regC)); budget -= Cost(0x09); return false;        // ADD HL,BC
        case 0x0A: m.regA = Read(m, Pair(m.regB, m.regC)); budget -= Cost(0x0A); return false;     // LD A,(BC)
        case 0x0B: DecPair(m.regB, m.regC); budget -= Cost(0x0B); return false;                    // DEC BC
        case 0x0C: m.regC = alu::Inc(m, m.regC); budget -= Cost(0x0C); return false;               // INC C
        case 0x0D: m.regC = alu::Dec(m, m.regC); budget -= Cost(0x0D); return false;               // DEC C
        case 0x0E: m.regC = Fetch8(m, pc); budget -= Cost(0x0E); return false;                     // LD C,n
        case 0x0F: alu::Rrca(m); budget -= Cost(0x0F); return false;                               // RRCA
        // STOP: one byte, this machine's own
        case 0x10: Note(m.compat, CompatFeature::Stop); budget -= Cost(0x10); return false;
        case 0x11: LoadPair(m.regD, m.regE, Fetch16(m, pc)); budget -= Cost(0x11); return false;   // LD DE,nn
        case 0x12: Write(m, Pair(m.regD, m.regE), m.regA); budget -= Cost(0x12); return false;     // LD (DE),A
        case 0x13: IncPair(m.regD, m.regE); budget -= Cost(0x13); return false;                    // INC DE
        case 0x14: m.regD = alu::Inc(m, m.regD); budget -= Cost(0x14); return false;               // INC D
        case 0x15: m.regD = alu::Dec(m, m.regD); budget -= Cost(0x15); return false;               // DEC D
        case 0x16: m.regD = Fetch8(m, pc); budget -= Cost(0x16); return false;                     // LD D,n
        case 0x17: alu::Rla(m); budget -= Cost(0x17); return false;                                // RLA
        case 0x18: JumpRelative(m, pc, true); budget -= Cost(0x18); return true;                  // JR e
        case 0x19: alu::AddHl(m, Pair(m.regD, m.regE)); budget -= Cost(0x19); return false;        // ADD HL,DE
        case 0x1A: m.regA = Read(m, Pair(m.regD, m.regE)); budget -= Cost(0x1A); return false;     // LD A,(DE)
        case 0x1B: DecPair(m.regD, m.regE); budget -= Cost(0x1B); return false;                    // DEC DE
        case 0x1C: m.regE = alu::Inc(m, m.regE); budget -= Cost(0x1C); return false;               // INC E
        case 0x1D: m.regE = alu::Dec(m, m.regE); budget -= Cost(0x1D); return false;               // DEC E
        case 0x1E: m.regE = Fetch8(m, pc); budget -= Cost(0x1E); return false;                     // LD E,n
        case 0x1F: alu::Rra(m); budget -= Cost(0x1F); return false;                                // RRA
        // JR NZ,e
        case 0x20: budget -= JumpRelative(m, pc, m.flagZ == 0) ? Taken(0x20) : NotTaken(0x20); return true;
        case 0x21: LoadPair(m.regH, m.regL, Fetch16(m, pc)); budget -= Cost(0x21); return false;   // LD HL,nn
        case 0x22: StoreHlInc(m); budget -= Cost(0x22); return false;                              // LD (HL+),A
        case 0x23: IncPair(m.regH, m.regL); budget -= Cost(0x23); return false;                    // INC HL
        case 0x24: m.regH = alu::Inc(m, m.regH); budget -= Cost(0x24); return false;               // INC H
        case 0x25: m.regH = alu::Dec(m, m.regH); budget -= Cost(0x25); return false;               // DEC H
        case 0x26: m.regH = Fetch8(m, pc); budget -= Cost(0x26); return false;                     // LD H,n
        case 0x27: alu::Daa(m); budget -= Cost(0x27); return false;                                // DAA
        // JR Z,e
        case 0x28: budget -= JumpRelative(m, pc, m.flagZ == 1) ? Taken(0x28) : NotTaken(0x28); return true;
        case 0x29: alu::AddHl(m, HL(m)); budget -= Cost(0x29); return false;                       // ADD HL,HL
        case 0x2A: LoadHlInc(m); budget -= Cost(0x2A); return false;                               // LD A,(HL+)
        case 0x2B: DecPair(m.regH, m.regL); budget -= Cost(0x2B); return false;                    // DEC HL
        case 0x2C: m.regL = alu::Inc(m, m.regL); budget -= Cost(0x2C); return false;               // INC L
        case 0x2D: m.regL = alu::Dec(m, m.regL); budget -= Cost(0x2D); return false;               // DEC L
        case 0x2E: m.regL = Fetch8(m, pc); budget -= Cost(0x2E); return false;                     // LD L,n
        case 0x2F: alu::Cpl(m); budget -= Cost(0x2F); return false;                                // CPL
        // JR NC,e
        case 0x30: budget -= JumpRelative(m, pc, m.flagC == 0) ? Taken(0x30) : NotTaken(0x30); return true;
        case 0x31: m.regSP = Fetch16(m, pc); budget -= Cost(0x31); return false;                   // LD SP,nn
        case 0x32: StoreHlDec(m); budget -= Cost(0x32); return false;                              // LD (HL-),A
        case 0x33: m.regSP = MoveSp16(m.regSP, 1); budget -= Cost(0x33); return false;             // INC SP
        case 0x34: IncMemory(m); budget -= Cost(0x34); return false;                               // INC (HL)
        case 0x35: DecMemory(m); budget -= Cost(0x35); return false;                               // DEC (HL)
        case 0x36: Write(m, HL(m), Fetch8(m, pc)); budget -= Cost(0x36); return false;             // LD (HL),n
        case 0x37: alu::Scf(m); budget -= Cost(0x37); return false;                                // SCF
        // JR C,e
        case 0x38: budget -= JumpRelative(m, pc, m.flagC == 1) ? Taken(0x38) : NotTaken(0x38); return true;
        // ADD HL,SP (full regSP)
        case 0x39: alu::AddHl(m, m.regSP); budget -= Cost(0x39); return false;
        case 0x3A: LoadHlDec(m); budget -= Cost(0x3A); return false;                               // LD A,(HL-)
        case 0x3B: m.regSP = MoveSp16(m.regSP, uint32_t(-1)); budget -= Cost(0x3B); return false;  // DEC SP
        case 0x3C: m.regA = alu::Inc(m, m.regA); budget -= Cost(0x3C); return false;               // INC A
        case 0x3D: m.regA = alu::Dec(m, m.regA); budget -= Cost(0x3D); return false;               // DEC A
        case 0x3E: m.regA = Fetch8(m, pc); budget -= Cost(0x3E); return false;                     // LD A,n
        case 0x3F: alu::Ccf(m); budget -= Cost(0x3F); return false;                                // CCF

        // ---- 0x40-0x7F: LD r,r' (row = destination B C D E H L (HL) A,
        // column low 3 bits = source in the same order).
        case 0x40: budget -= Cost(0x40); return false;                           // LD B,B
        case 0x41: m.regB = m.regC; budget -= Cost(0x41); return false;          // LD B,C
        case 0x42: m.regB = m.regD; budget -= Cost(0x42); return false;          // LD B,D
        case 0x43: m.regB = m.regE; budget -= Cost(0x43); return false;          // LD B,E
        case 0x44: m.regB = m.regH; budget -= Cost(0x44); return false;          // LD B,H
        case 0x45: m.regB = m.regL; budget -= Cost(0x45); return false;          // LD B,L
        case 0x46: m.regB = Read(m, HL(m)); budget -= Cost(0x46); return false;  // LD B,(HL)
        case 0x47: m.regB = m.regA; budget -= Cost(0x47); return false;          // LD B,A
        case 0x48: m.regC = m.regB; budget -= Cost(0x48); return false;          // LD C,B
        case 0x49: budget -= Cost(0x49); return false;                           // LD C,C
        case 0x4A: m.regC = m.regD; budget -= Cost(0x4A); return false;          // LD C,D
        case 0x4B: m.regC = m.regE; budget -= Cost(0x4B); return false;          // LD C,E
        case 0x4C: m.regC = m.regH; budget -= Cost(0x4C); return false;          // LD C,H
        case 0x4D: m.regC = m.regL; budget -= Cost(0x4D); return false;          // LD C,L
        case 0x4E: m.regC = Read(m, HL(m)); budget -= Cost(0x4E); return false;  // LD C,(HL)
        case 0x4F: m.regC = m.regA; budget -= Cost(0x4F); return false;          // LD C,A
        case 0x50: m.regD = m.regB; budget -= Cost(0x50); return false;          // LD D,B
        case 0x51: m.regD = m.regC; budget -= Cost(0x51); return false;          // LD D,C
        case 0x52: budget -= Cost(0x52); return false;                           // LD D,D
        case 0x53: m.regD = m.regE; budget -= Cost(0x53); return false;          // LD D,E
        case 0x54: m.regD = m.regH; budget -= Cost(0x54); return false;          // LD D,H
        case 0x55: m.regD = m.regL; budget -= Cost(0x55); return false;          // LD D,L
        case 0x56: m.regD = Read(m, HL(m)); budget -= Cost(0x56); return false;  // LD D,(HL)
        case 0x57: m.regD = m.regA; budget -= Cost(0x57); return false;          // LD D,A
        case 0x58: m.regE = m.regB; budget -= Cost(0x58); return false;          // LD E,B
        case 0x59: m.regE = m.regC; budget -= Cost(0x59); return false;          // LD E,C
        case 0x5A: m.regE = m.regD; budget -= Cost(0x5A); return false;          // LD E,D
        case 0x5B: budget -= Cost(0x5B); return false;                           // LD E,E
        case 0x5C: m.regE = m.regH; budget -= Cost(0x5C); return false;          // LD E,H
        case 0x5D: m.regE = m.regL; budget -= Cost(0x5D); return false;          // LD E,L
        case 0x5E: m.regE = Read(m, HL(m)); budget -= Cost(0x5E); return false;  // LD E,(HL)
        case 0x5F: m.regE = m.regA; budget -= Cost(0x5F); return false;          // LD E,A
        case 0x60: m.regH = m.regB; budget -= Cost(0x60); return false;          // LD H,B
        case 0x61: m.regH = m.regC; budget -= Cost(0x61); return false;          // LD H,C
        case 0x62: m.regH = m.regD; budget -= Cost(0x62); return false;          // LD H,D
        case 0x63: m.regH = m.regE; budget -= Cost(0x63); return false;          // LD H,E
        case 0x64: budget -= Cost(0x64); return false;                           // LD H,H
        case 0x65: m.regH = m.regL; budget -= Cost(0x65); return false;          // LD H,L
        case 0x66: m.regH = Read(m, HL(m)); budget -= Cost(0x66); return false;  // LD H,(HL)
        case 0x67: m.regH = m.regA; budget -= Cost(0x67); return false;          // LD H,A
        case 0x68: m.regL = m.regB; budget -= Cost(0x68); return false;          // LD L,B
        case 0x69: m.regL = m.regC; budget -= Cost(0x69); return false;          // LD L,C
        case 0x6A: m.regL = m.regD; budget -= Cost(0x6A); return false;          // LD L,D
        case 0x6B: m.regL = m.regE; budget -= Cost(0x6B); return false;          // LD L,E
        case 0x6C: m.regL = m.regH; budget -= Cost(0x6C); return false;          // LD L,H
        case 0x6D: budget -= Cost(0x6D); return false;                           // LD L,L
        case 0x6E: m.regL = Read(m, HL(m)); budget -= Cost(0x6E); return false;  // LD L,(HL)
        case 0x6F: m.regL = m.regA; budget -= Cost(0x6F); return false;          // LD L,A
        case 0x70: Write(m, HL(m), m.regB); budget -= Cost(0x70); return false;  // LD (HL),B
        case 0x71: Write(m, HL(m), m.regC); budget -= Cost(0x71); return false;  // LD (HL),C
        case 0x72: Write(m, HL(m), m.regD); budget -= Cost(0x72); return false;  // LD (HL),D
        case 0x73: Write(m, HL(m), m.regE); budget -= Cost(0x73); return false;  // LD (HL),E
        case 0x74: Write(m, HL(m), m.regH); budget -= Cost(0x74); return false;  // LD (HL),H
        case 0x75: Write(m, HL(m), m.regL); budget -= Cost(0x75); return false;  // LD (HL),L
        case 0x76: Note(m.compat, CompatFeature::Halt); budget -= Cost(0x76); return false;  // HALT: a NOP, this machine's own
        case 0x77: Write(m, HL(m), m.regA); budget -= Cost(0x77); return false;  // LD (HL),A
        case 0x78: m.regA = m.regB; budget -= Cost(0x78); return false;          // LD A,B
        case 0x79: m.regA = m.regC; budget -= Cost(0x79); return false;          // LD A,C
        case 0x7A: m.regA = m.regD; budget -= Cost(0x7A); return false;          // LD A,D
        case 0x7B: m.regA = m.regE; budget -= Cost(0x7B); return false;          // LD A,E
        case 0x7C: m.regA = m.regH; budget -= Cost(0x7C); return false;          // LD A,H
        case 0x7D: m.regA = m.regL; budget -= Cost(0x7D); return false;          // LD A,L
        case 0x7E: m.regA = Read(m, HL(m)); budget -= Cost(0x7E); return false;  // LD A,(HL)
        case 0x7F: budget -= Cost(0x7F); return false;                           // LD A,A

        // ---- 0x80-0xBF: ADD ADC SUB SBC AND XOR OR CP on B C D E H L (HL) A.
        case 0x80: alu::Add(m, m.regB); budget -= Cost(0x80); return false;          // ADD A,B
        case 0x81: alu::Add(m, m.regC); budget -= Cost(0x81); return false;          // ADD A,C
        case 0x82: alu::Add(m, m.regD); budget -= Cost(0x82); return false;          // ADD A,D
        case 0x83: alu::Add(m, m.regE); budget -= Cost(0x83); return false;          // ADD A,E
        case 0x84: alu::Add(m, m.regH); budget -= Cost(0x84); return false;          // ADD A,H
        case 0x85: alu::Add(m, m.regL); budget -= Cost(0x85); return false;          // ADD A,L
        case 0x86: alu::Add(m, Read(m, HL(m))); budget -= Cost(0x86); return false;  // ADD A,(HL)
        case 0x87: alu::Add(m, m.regA); budget -= Cost(0x87); return false;          // ADD A,A
        case 0x88: alu::Adc(m, m.regB); budget -= Cost(0x88); return false;          // ADC A,B
        case 0x89: alu::Adc(m, m.regC); budget -= Cost(0x89); return false;          // ADC A,C
        case 0x8A: alu::Adc(m, m.regD); budget -= Cost(0x8A); return false;          // ADC A,D
        case 0x8B: alu::Adc(m, m.regE); budget -= Cost(0x8B); return false;          // ADC A,E
        case 0x8C: alu::Adc(m, m.regH); budget -= Cost(0x8C); return false;          // ADC A,H
        case 0x8D: alu::Adc(m, m.regL); budget -= Cost(0x8D); return false;          // ADC A,L
        case 0x8E: alu::Adc(m, Read(m, HL(m))); budget -= Cost(0x8E); return false;  // ADC A,(HL)
        case 0x8F: alu::Adc(m, m.regA); budget -= Cost(0x8F); return false;          // ADC A,A
        case 0x90: alu::Sub(m, m.regB); budget -= Cost(0x90); return false;          // SUB B
        case 0x91: alu::Sub(m, m.regC); budget -= Cost(0x91); return false;          // SUB C
        case 0x92: alu::Sub(m, m.regD); budget -= Cost(0x92); return false;          // SUB D
        case 0x93: alu::Sub(m, m.regE); budget -= Cost(0x93); return false;          // SUB E
        case 0x94: alu::Sub(m, m.regH); budget -= Cost(0x94); return false;          // SUB H
        case 0x95: alu::Sub(m, m.regL); budget -= Cost(0x95); return false;          // SUB L
        case 0x96: alu::Sub(m, Read(m, HL(m))); budget -= Cost(0x96); return false;  // SUB (HL)
        case 0x97: alu::Sub(m, m.regA); budget -= Cost(0x97); return false;          // SUB A
        case 0x98: alu::Sbc(m, m.regB); budget -= Cost(0x98); return false;          // SBC A,B
        case 0x99: alu::Sbc(m, m.regC); budget -= Cost(0x99); return false;          // SBC A,C
        case 0x9A: alu::Sbc(m, m.regD); budget -= Cost(0x9A); return false;          // SBC A,D
        case 0x9B: alu::Sbc(m, m.regE); budget -= Cost(0x9B); return false;          // SBC A,E
        case 0x9C: alu::Sbc(m, m.regH); budget -= Cost(0x9C); return false;          // SBC A,H
        case 0x9D: alu::Sbc(m, m.regL); budget -= Cost(0x9D); return false;          // SBC A,L
        case 0x9E: alu::Sbc(m, Read(m, HL(m))); budget -= Cost(0x9E); return false;  // SBC A,(HL)
        case 0x9F: alu::Sbc(m, m.regA); budget -= Cost(0x9F); return false;          // SBC A,A
        case 0xA0: alu::And(m, m.regB); budget -= Cost(0xA0); return false;          // AND B
        case 0xA1: alu::And(m, m.regC); budget -= Cost(0xA1); return false;          // AND C
        case 0xA2: alu::And(m, m.regD); budget -= Cost(0xA2); return false;          // AND D
        case 0xA3: alu::And(m, m.regE); budget -= Cost(0xA3); return false;          // AND E
        case 0xA4: alu::And(m, m.regH); budget -= Cost(0xA4); return false;          // AND H
        case 0xA5: alu::And(m, m.regL); budget -= Cost(0xA5); return false;          // AND L
        case 0xA6: alu::And(m, Read(m, HL(m))); budget -= Cost(0xA6); return false;  // AND (HL)
        case 0xA7: alu::And(m, m.regA); budget -= Cost(0xA7); return false;          // AND A
        case 0xA8: alu::Xor(m, m.regB); budget -= Cost(0xA8); return false;          // XOR B
        case 0xA9: alu::Xor(m, m.regC); budget -= Cost(0xA9); return false;          // XOR C
        case 0xAA: alu::Xor(m, m.regD); budget -= Cost(0xAA); return false;          // XOR D
        case 0xAB: alu::Xor(m, m.regE); budget -= Cost(0xAB); return false;          // XOR E
        case 0xAC: alu::Xor(m, m.regH); budget -= Cost(0xAC); return false;          // XOR H
        case 0xAD: alu::Xor(m, m.regL); budget -= Cost(0xAD); return false;          // XOR L
        case 0xAE: alu::Xor(m, Read(m, HL(m))); budget -= Cost(0xAE); return false;  // XOR (HL)
        case 0xAF: alu::Xor(m, m.regA); budget -= Cost(0xAF); return false;          // XOR A
        case 0xB0: alu::Or(m, m.regB); budget -= Cost(0xB0); return false;           // OR B
        case 0xB1: alu::Or(m, m.regC); budget -= Cost(0xB1); return false;           // OR C
        case 0xB2: alu::Or(m, m.regD); budget -= Cost(0xB2); return false;           // OR D
        case 0xB3: alu::Or(m, m.regE); budget -= Cost(0xB3); return false;           // OR E
        case 0xB4: alu::Or(m, m.regH); budget -= Cost(0xB4); return false;           // OR H
        case 0xB5: alu::Or(m, m.regL); budget -= Cost(0xB5); return false;           // OR L
        case 0xB6: alu::Or(m, Read(m, HL(m))); budget -= Cost(0xB6); return false;   // OR (HL)
        case 0xB7: alu::Or(m, m.regA); budget -= Cost(0xB7); return false;           // OR A
        case 0xB8: alu::Cp(m, m.regB); budget -= Cost(0xB8); return false;           // CP B
        case 0xB9: alu::Cp(m, m.regC); budget -= Cost(0xB9); return false;           // CP C
        case 0xBA: alu::Cp(m, m.regD); budget -= Cost(0xBA); return false;           // CP D
        case 0xBB: alu::Cp(m, m.regE); budget -= Cost(0xBB); return false;           // CP E
        case 0xBC: alu::Cp(m, m.regH); budget -= Cost(0xBC); return false;           // CP H
        case 0xBD: alu::Cp(m, m.regL); budget -= Cost(0xBD); return false;           // CP L
        case 0xBE: alu::Cp(m, Read(m, HL(m))); budget -= Cost(0xBE); return false;   // CP (HL)
        case 0xBF: alu::Cp(m, m.regA); budget -= Cost(0xBF); return false;           // CP A

        // ---- 0xC0-0xFF: stack, jumps, calls, returns, immediates, I/O page.
        case 0xC0: budget -= Return(m, pc, m.flagZ == 0) ? Taken(0xC0) : NotTaken(0xC0); return true;  // RET NZ
        case 0xC1: PopPair(m, m.regB, m.regC); budget -= Cost(0xC1); return false;                 // POP BC
        // JP NZ,nn
        case 0xC2: budget -= JumpAbsolute(m, pc, m.flagZ == 0) ? Taken(0xC2) : NotTaken(0xC2); return true;
        case 0xC3: pc = CodeWord(m, pc); budget -= Cost(0xC3); return true;                       // JP nn
        case 0xC4: budget -= Call(m, pc, m.flagZ == 0) ? Taken(0xC4) : NotTaken(0xC4); return true;  // CALL NZ,nn
        case 0xC5: PushPair(m, m.regB, m.regC); budget -= Cost(0xC5); return false;                // PUSH BC
        case 0xC6: alu::Add(m, Fetch8(m, pc)); budget -= Cost(0xC6); return false;                 // ADD A,n
        case 0xC7: Restart(m, pc, 0x00); budget -= Cost(0xC7); return true;                       // RST 00
        case 0xC8: budget -= Return(m, pc, m.flagZ == 1) ? Taken(0xC8) : NotTaken(0xC8); return true;  // RET Z
        case 0xC9: pc = PopWord(m); budget -= Cost(0xC9); return true;                            // RET
        // JP Z,nn
        case 0xCA: budget -= JumpAbsolute(m, pc, m.flagZ == 1) ? Taken(0xCA) : NotTaken(0xCA); return true;
        // CB xx: the CB table
        case 0xCB: budget -= Prefixed(m, pc); return false;
        case 0xCC: budget -= Call(m, pc, m.flagZ == 1) ? Taken(0xCC) : NotTaken(0xCC); return true;  // CALL Z,nn
        case 0xCD: Call(m, pc, true); budget -= Cost(0xCD); return true;                          // CALL nn
        case 0xCE: alu::Adc(m, Fetch8(m, pc)); budget -= Cost(0xCE); return false;                 // ADC A,n
        case 0xCF: Restart(m, pc, 0x08); budget -= Cost(0xCF); return true;                       // RST 08
        case 0xD0: budget -= Return(m, pc, m.flagC == 0) ? Taken(0xD0) : NotTaken(0xD0); return true;  // RET NC
        case 0xD1: PopPair(m, m.regD, m.regE); budget -= Cost(0xD1); return false;                 // POP DE
        // JP NC,nn
        case 0xD2: budget -= JumpAbsolute(m, pc, m.flagC == 0) ? Taken(0xD2) : NotTaken(0xD2); return true;
        case 0xD3: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xD3); return false;  // undefined: NOP
        case 0xD4: budget -= Call(m, pc, m.flagC == 0) ? Taken(0xD4) : NotTaken(0xD4); return true;  // CALL NC,nn
        case 0xD5: PushPair(m, m.regD, m.regE); budget -= Cost(0xD5); return false;                // PUSH DE
        case 0xD6: alu::Sub(m, Fetch8(m, pc)); budget -= Cost(0xD6); return false;                 // SUB n
        case 0xD7: Restart(m, pc, 0x10); budget -= Cost(0xD7); return true;                       // RST 10
        case 0xD8: budget -= Return(m, pc, m.flagC == 1) ? Taken(0xD8) : NotTaken(0xD8); return true;  // RET C
        case 0xD9: ReturnFromInterrupt(m, pc); CompatInterruptReturn(m.compat); budget -= Cost(0xD9); return true;  // RETI
        // JP C,nn
        case 0xDA: budget -= JumpAbsolute(m, pc, m.flagC == 1) ? Taken(0xDA) : NotTaken(0xDA); return true;
        case 0xDB: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xDB); return false;  // undefined: NOP
        case 0xDC: budget -= Call(m, pc, m.flagC == 1) ? Taken(0xDC) : NotTaken(0xDC); return true;  // CALL C,nn
        case 0xDD: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xDD); return false;  // undefined: NOP
        case 0xDE: alu::Sbc(m, Fetch8(m, pc)); budget -= Cost(0xDE); return false;                 // SBC A,n
        case 0xDF: Restart(m, pc, 0x18); budget -= Cost(0xDF); return true;                       // RST 18
        case 0xE0: Write(m, io::kIoPage + Fetch8(m, pc), m.regA); budget -= Cost(0xE0); return false;  // LDH (n),A
        case 0xE1: PopPair(m, m.regH, m.regL); budget -= Cost(0xE1); return false;                 // POP HL
        case 0xE2: Write(m, io::kIoPage + m.regC, m.regA); budget -= Cost(0xE2); return false;         // LD (C),A
        case 0xE3: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xE3); return false;  // undefined: NOP
        case 0xE4: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xE4); return false;  // undefined: NOP
        case 0xE5: PushPair(m, m.regH, m.regL); budget -= Cost(0xE5); return false;                // PUSH HL
        case 0xE6: alu::And(m, Fetch8(m, pc)); budget -= Cost(0xE6); return false;                 // AND n
        case 0xE7: Restart(m, pc, 0x20); budget -= Cost(0xE7); return true;                       // RST 20
        case 0xE8: m.regSP = alu::OffsetSp(m, Fetch8(m, pc)); budget -= Cost(0xE8); return false;  // ADD SP,e
        case 0xE9: pc = HL(m); budget -= Cost(0xE9); return true;                                 // JP (HL)
        case 0xEA: Write(m, Fetch16(m, pc), m.regA); budget -= Cost(0xEA); return false;           // LD (nn),A
        case 0xEB: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xEB); return false;  // undefined: NOP
        case 0xEC: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xEC); return false;  // undefined: NOP
        case 0xED: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xED); return false;  // undefined: NOP
        case 0xEE: alu::Xor(m, Fetch8(m, pc)); budget -= Cost(0xEE); return false;                 // XOR n
        case 0xEF: Restart(m, pc, 0x28); budget -= Cost(0xEF); return true;                       // RST 28
        case 0xF0: m.regA = Read(m, io::kIoPage + Fetch8(m, pc)); budget -= Cost(0xF0); return false;  // LDH A,(n)
        case 0xF1: PopAf(m); budget -= Cost(0xF1); return false;                                   // POP AF
        case 0xF2: m.regA = Read(m, io::kIoPage + m.regC); budget -= Cost(0xF2); return false;         // LD A,(C)
        case 0xF3: m.IME = 0; budget -= Cost(0xF3); return false;                                  // DI
        case 0xF4: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xF4); return false;  // undefined: NOP
        case 0xF5: PushPair(m, m.regA, ComposeF(m)); budget -= Cost(0xF5); return false;           // PUSH AF
        case 0xF6: alu::Or(m, Fetch8(m, pc)); budget -= Cost(0xF6); return false;                  // OR n
        case 0xF7: Restart(m, pc, 0x30); budget -= Cost(0xF7); return true;                       // RST 30
        case 0xF8: LoadHlSpOffset(m, Fetch8(m, pc)); budget -= Cost(0xF8); return false;           // LD HL,SP+e
        case 0xF9: m.regSP = int32_t(HL(m)); budget -= Cost(0xF9); return false;                   // LD SP,HL
        case 0xFA: m.regA = Read(m, Fetch16(m, pc)); budget -= Cost(0xFA); return false;           // LD A,(nn)
        // EI: no delay, this machine's own
        case 0xFB: m.IME = 1; budget -= Cost(0xFB); return false;
        case 0xFC: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xFC); return false;  // undefined: NOP
        case 0xFD: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xFD); return false;  // undefined: NOP
        case 0xFE: alu::Cp(m, Fetch8(m, pc)); budget -= Cost(0xFE); return false;                  // CP n
        case 0xFF: Restart(m, pc, 0x38); budget -= Cost(0xFF); return true;                       // RST 38
    }
    // clang-format on
    return false;
}

// One instruction outside every window, or across a region's end, with every
// fetch checked. Out of line and by value: the loop keeps its window and
// budget in registers.
struct StepOutside {
    uint64_t pc;
    int budget;
    uint8_t op;
};
[[gnu::noinline]] StepOutside RunOutsideWindow(Machine& m, uint64_t pc, int budget) {
    uint8_t op;
    Step(m, pc, budget, op);
    return {pc, budget, op};
}

}  // namespace

void Interpret(Machine& m, int16_t cycles) {
    if (!m.Running) return;
    // The pause wait happens once, before the budget: handlers run inside
    // WaitForEvents may step the machine, load a cartridge or clear Running;
    // the budget then runs from whatever state they left. Headless there is
    // nobody to release the pause, so it is not waited for.
    while (m.Paused && m.host != nullptr) m.host->WaitForEvents();

    WindowPc pc = WindowAt(m, uint32_t(m.regPC));
    uint8_t op = m.CurrentOpcode;
    int budget = cycles;  // the overshoot of the last instruction is dropped
    while (budget > 0) {
        // While the budget exceeds twice the dearest instruction, the next
        // two leave it above 0 whatever they are: two steps per test of the
        // budget, and neither opcode needs keeping, as another instruction
        // always follows them.
        while (budget > 2 * kMaxCost && pc.PairInside()) {
            if (Step(m, pc, budget, op) && !pc.Inside()) {
                pc = WindowAt(m, pc.Address());
                if (!pc.Inside()) break;
                continue;
            }
            Step(m, pc, budget, op);
        }
        while (budget > 0 && pc.Inside()) Step(m, pc, budget, op);  // the last few, one at a time
        if (budget <= 0) break;
        // Out of the window: a jump into another region takes the window
        // there; the rest runs one checked instruction.
        pc = WindowAt(m, pc.Address());
        if (pc.Inside()) continue;
        const StepOutside step = RunOutsideWindow(m, pc.Address(), budget);
        op = step.op;
        budget = step.budget;
        pc = step.pc;  // the window is taken at the next turn
    }
    m.CurrentOpcode = op;
    m.regPC = int32_t(uint32_t(pc.Address()));
}

}  // namespace wenlo
