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

// A cell of the cost table (core/cost_table.h), folded into its case at
// compile time. Cost is for the unconditional cells; Taken and NotTaken for
// the conditional ones, and a cell of the wrong kind does not compile.
consteval int Cost(unsigned op) {
    if (kCostTable[op].taken != kCostTable[op].notTaken) throw "a conditional cell needs Taken/NotTaken";
    return kCostTable[op].taken;
}
consteval int Taken(unsigned op) {
    if (kCostTable[op].taken == kCostTable[op].notTaken) throw "an unconditional cell needs Cost";
    return kCostTable[op].taken;
}
consteval int NotTaken(unsigned op) {
    if (kCostTable[op].taken == kCostTable[op].notTaken) throw "an unconditional cell needs Cost";
    return kCostTable[op].notTaken;
}
static_assert(cb::kCycles <= kMaxCost, "a CB instruction must not cost more than the dearest cell");

// ---- The table ------------------------------------------------------------------

// Runs the instruction at pc, takes its cost from the budget and returns its
// opcode. Pc is a plain address (uint64_t, every fetch checked) or a window.
template <class Pc>
[[gnu::always_inline]] inline uint8_t Step(Machine& m, Pc& pc, int& budget) {
    const unsigned op = Fetch8(m, pc);
    // clang-format off
    switch (op) {
        // ---- 0x00-0x3F: immediates, 16-bit steps, INC/DEC, rotates on A, JR
        case 0x00: budget -= Cost(0x00); break;                                             // NOP
        case 0x01: LoadPair(m.regB, m.regC, Fetch16(m, pc)); budget -= Cost(0x01); break;   // LD BC,nn
        case 0x02: Write(m, Pair(m.regB, m.regC), m.regA); budget -= Cost(0x02); break;     // LD (BC),A
        case 0x03: IncPair(m.regB, m.regC); budget -= Cost(0x03); break;                    // INC BC
        case 0x04: m.regB = alu::Inc(m, m.regB); budget -= Cost(0x04); break;               // INC B
        case 0x05: m.regB = alu::Dec(m, m.regB); budget -= Cost(0x05); break;               // DEC B
        case 0x06: m.regB = Fetch8(m, pc); budget -= Cost(0x06); break;                     // LD B,n
        case 0x07: alu::Rlca(m); budget -= Cost(0x07); break;                               // RLCA
        case 0x08: StoreSp(m, Fetch16(m, pc)); budget -= Cost(0x08); break;                 // LD (nn),SP
        case 0x09: alu::AddHl(m, Pair(m.regB, m.regC)); budget -= Cost(0x09); break;        // ADD HL,BC
        case 0x0A: m.regA = Read(m, Pair(m.regB, m.regC)); budget -= Cost(0x0A); break;     // LD A,(BC)
        case 0x0B: DecPair(m.regB, m.regC); budget -= Cost(0x0B); break;                    // DEC BC
        case 0x0C: m.regC = alu::Inc(m, m.regC); budget -= Cost(0x0C); break;               // INC C
        case 0x0D: m.regC = alu::Dec(m, m.regC); budget -= Cost(0x0D); break;               // DEC C
        case 0x0E: m.regC = Fetch8(m, pc); budget -= Cost(0x0E); break;                     // LD C,n
        case 0x0F: alu::Rrca(m); budget -= Cost(0x0F); break;                               // RRCA
        // STOP: one byte, this machine's own
        case 0x10: Note(m.compat, CompatFeature::Stop); budget -= Cost(0x10); break;
        case 0x11: LoadPair(m.regD, m.regE, Fetch16(m, pc)); budget -= Cost(0x11); break;   // LD DE,nn
        case 0x12: Write(m, Pair(m.regD, m.regE), m.regA); budget -= Cost(0x12); break;     // LD (DE),A
        case 0x13: IncPair(m.regD, m.regE); budget -= Cost(0x13); break;                    // INC DE
        case 0x14: m.regD = alu::Inc(m, m.regD); budget -= Cost(0x14); break;               // INC D
        case 0x15: m.regD = alu::Dec(m, m.regD); budget -= Cost(0x15); break;               // DEC D
        case 0x16: m.regD = Fetch8(m, pc); budget -= Cost(0x16); break;                     // LD D,n
        case 0x17: alu::Rla(m); budget -= Cost(0x17); break;                                // RLA
        case 0x18: JumpRelative(m, pc, true); budget -= Cost(0x18); break;                  // JR e
        case 0x19: alu::AddHl(m, Pair(m.regD, m.regE)); budget -= Cost(0x19); break;        // ADD HL,DE
        case 0x1A: m.regA = Read(m, Pair(m.regD, m.regE)); budget -= Cost(0x1A); break;     // LD A,(DE)
        case 0x1B: DecPair(m.regD, m.regE); budget -= Cost(0x1B); break;                    // DEC DE
        case 0x1C: m.regE = alu::Inc(m, m.regE); budget -= Cost(0x1C); break;               // INC E
        case 0x1D: m.regE = alu::Dec(m, m.regE); budget -= Cost(0x1D); break;               // DEC E
        case 0x1E: m.regE = Fetch8(m, pc); budget -= Cost(0x1E); break;                     // LD E,n
        case 0x1F: alu::Rra(m); budget -= Cost(0x1F); break;                                // RRA
        // JR NZ,e
        case 0x20: budget -= JumpRelative(m, pc, m.flagZ == 0) ? Taken(0x20) : NotTaken(0x20); break;
        case 0x21: LoadPair(m.regH, m.regL, Fetch16(m, pc)); budget -= Cost(0x21); break;   // LD HL,nn
        case 0x22: StoreHlInc(m); budget -= Cost(0x22); break;                              // LD (HL+),A
        case 0x23: IncPair(m.regH, m.regL); budget -= Cost(0x23); break;                    // INC HL
        case 0x24: m.regH = alu::Inc(m, m.regH); budget -= Cost(0x24); break;               // INC H
        case 0x25: m.regH = alu::Dec(m, m.regH); budget -= Cost(0x25); break;               // DEC H
        case 0x26: m.regH = Fetch8(m, pc); budget -= Cost(0x26); break;                     // LD H,n
        case 0x27: alu::Daa(m); budget -= Cost(0x27); break;                                // DAA
        // JR Z,e
        case 0x28: budget -= JumpRelative(m, pc, m.flagZ == 1) ? Taken(0x28) : NotTaken(0x28); break;
        case 0x29: alu::AddHl(m, HL(m)); budget -= Cost(0x29); break;                       // ADD HL,HL
        case 0x2A: LoadHlInc(m); budget -= Cost(0x2A); break;                               // LD A,(HL+)
        case 0x2B: DecPair(m.regH, m.regL); budget -= Cost(0x2B); break;                    // DEC HL
        case 0x2C: m.regL = alu::Inc(m, m.regL); budget -= Cost(0x2C); break;               // INC L
        case 0x2D: m.regL = alu::Dec(m, m.regL); budget -= Cost(0x2D); break;               // DEC L
        case 0x2E: m.regL = Fetch8(m, pc); budget -= Cost(0x2E); break;                     // LD L,n
        case 0x2F: alu::Cpl(m); budget -= Cost(0x2F); break;                                // CPL
        // JR NC,e
        case 0x30: budget -= JumpRelative(m, pc, m.flagC == 0) ? Taken(0x30) : NotTaken(0x30); break;
        case 0x31: m.regSP = Fetch16(m, pc); budget -= Cost(0x31); break;                   // LD SP,nn
        case 0x32: StoreHlDec(m); budget -= Cost(0x32); break;                              // LD (HL-),A
        case 0x33: m.regSP = MoveSp16(m.regSP, 1); budget -= Cost(0x33); break;             // INC SP
        case 0x34: IncMemory(m); budget -= Cost(0x34); break;                               // INC (HL)
        case 0x35: DecMemory(m); budget -= Cost(0x35); break;                               // DEC (HL)
        case 0x36: Write(m, HL(m), Fetch8(m, pc)); budget -= Cost(0x36); break;             // LD (HL),n
        case 0x37: alu::Scf(m); budget -= Cost(0x37); break;                                // SCF
        // JR C,e
        case 0x38: budget -= JumpRelative(m, pc, m.flagC == 1) ? Taken(0x38) : NotTaken(0x38); break;
        // ADD HL,SP (full regSP)
        case 0x39: alu::AddHl(m, m.regSP); budget -= Cost(0x39); break;
        case 0x3A: LoadHlDec(m); budget -= Cost(0x3A); break;                               // LD A,(HL-)
        case 0x3B: m.regSP = MoveSp16(m.regSP, uint32_t(-1)); budget -= Cost(0x3B); break;  // DEC SP
        case 0x3C: m.regA = alu::Inc(m, m.regA); budget -= Cost(0x3C); break;               // INC A
        case 0x3D: m.regA = alu::Dec(m, m.regA); budget -= Cost(0x3D); break;               // DEC A
        case 0x3E: m.regA = Fetch8(m, pc); budget -= Cost(0x3E); break;                     // LD A,n
        case 0x3F: alu::Ccf(m); budget -= Cost(0x3F); break;                                // CCF

        // ---- 0x40-0x7F: LD r,r' (row = destination B C D E H L (HL) A,
        // column low 3 bits = source in the same order).
        case 0x40: budget -= Cost(0x40); break;                           // LD B,B
        case 0x41: m.regB = m.regC; budget -= Cost(0x41); break;          // LD B,C
        case 0x42: m.regB = m.regD; budget -= Cost(0x42); break;          // LD B,D
        case 0x43: m.regB = m.regE; budget -= Cost(0x43); break;          // LD B,E
        case 0x44: m.regB = m.regH; budget -= Cost(0x44); break;          // LD B,H
        case 0x45: m.regB = m.regL; budget -= Cost(0x45); break;          // LD B,L
        case 0x46: m.regB = Read(m, HL(m)); budget -= Cost(0x46); break;  // LD B,(HL)
        case 0x47: m.regB = m.regA; budget -= Cost(0x47); break;          // LD B,A
        case 0x48: m.regC = m.regB; budget -= Cost(0x48); break;          // LD C,B
        case 0x49: budget -= Cost(0x49); break;                           // LD C,C
        case 0x4A: m.regC = m.regD; budget -= Cost(0x4A); break;          // LD C,D
        case 0x4B: m.regC = m.regE; budget -= Cost(0x4B); break;          // LD C,E
        case 0x4C: m.regC = m.regH; budget -= Cost(0x4C); break;          // LD C,H
        case 0x4D: m.regC = m.regL; budget -= Cost(0x4D); break;          // LD C,L
        case 0x4E: m.regC = Read(m, HL(m)); budget -= Cost(0x4E); break;  // LD C,(HL)
        case 0x4F: m.regC = m.regA; budget -= Cost(0x4F); break;          // LD C,A
        case 0x50: m.regD = m.regB; budget -= Cost(0x50); break;          // LD D,B
        case 0x51: m.regD = m.regC; budget -= Cost(0x51); break;          // LD D,C
        case 0x52: budget -= Cost(0x52); break;                           // LD D,D
        case 0x53: m.regD = m.regE; budget -= Cost(0x53); break;          // LD D,E
        case 0x54: m.regD = m.regH; budget -= Cost(0x54); break;          // LD D,H
        case 0x55: m.regD = m.regL; budget -= Cost(0x55); break;          // LD D,L
        case 0x56: m.regD = Read(m, HL(m)); budget -= Cost(0x56); break;  // LD D,(HL)
        case 0x57: m.regD = m.regA; budget -= Cost(0x57); break;          // LD D,A
        case 0x58: m.regE = m.regB; budget -= Cost(0x58); break;          // LD E,B
        case 0x59: m.regE = m.regC; budget -= Cost(0x59); break;          // LD E,C
        case 0x5A: m.regE = m.regD; budget -= Cost(0x5A); break;          // LD E,D
        case 0x5B: budget -= Cost(0x5B); break;                           // LD E,E
        case 0x5C: m.regE = m.regH; budget -= Cost(0x5C); break;          // LD E,H
        case 0x5D: m.regE = m.regL; budget -= Cost(0x5D); break;          // LD E,L
        case 0x5E: m.regE = Read(m, HL(m)); budget -= Cost(0x5E); break;  // LD E,(HL)
        case 0x5F: m.regE = m.regA; budget -= Cost(0x5F); break;          // LD E,A
        case 0x60: m.regH = m.regB; budget -= Cost(0x60); break;          // LD H,B
        case 0x61: m.regH = m.regC; budget -= Cost(0x61); break;          // LD H,C
        case 0x62: m.regH = m.regD; budget -= Cost(0x62); break;          // LD H,D
        case 0x63: m.regH = m.regE; budget -= Cost(0x63); break;          // LD H,E
        case 0x64: budget -= Cost(0x64); break;                           // LD H,H
        case 0x65: m.regH = m.regL; budget -= Cost(0x65); break;          // LD H,L
        case 0x66: m.regH = Read(m, HL(m)); budget -= Cost(0x66); break;  // LD H,(HL)
        case 0x67: m.regH = m.regA; budget -= Cost(0x67); break;          // LD H,A
        case 0x68: m.regL = m.regB; budget -= Cost(0x68); break;          // LD L,B
        case 0x69: m.regL = m.regC; budget -= Cost(0x69); break;          // LD L,C
        case 0x6A: m.regL = m.regD; budget -= Cost(0x6A); break;          // LD L,D
        case 0x6B: m.regL = m.regE; budget -= Cost(0x6B); break;          // LD L,E
        case 0x6C: m.regL = m.regH; budget -= Cost(0x6C); break;          // LD L,H
        case 0x6D: budget -= Cost(0x6D); break;                           // LD L,L
        case 0x6E: m.regL = Read(m, HL(m)); budget -= Cost(0x6E); break;  // LD L,(HL)
        case 0x6F: m.regL = m.regA; budget -= Cost(0x6F); break;          // LD L,A
        case 0x70: Write(m, HL(m), m.regB); budget -= Cost(0x70); break;  // LD (HL),B
        case 0x71: Write(m, HL(m), m.regC); budget -= Cost(0x71); break;  // LD (HL),C
        case 0x72: Write(m, HL(m), m.regD); budget -= Cost(0x72); break;  // LD (HL),D
        case 0x73: Write(m, HL(m), m.regE); budget -= Cost(0x73); break;  // LD (HL),E
        case 0x74: Write(m, HL(m), m.regH); budget -= Cost(0x74); break;  // LD (HL),H
        case 0x75: Write(m, HL(m), m.regL); budget -= Cost(0x75); break;  // LD (HL),L
        case 0x76: Note(m.compat, CompatFeature::Halt); budget -= Cost(0x76); break;  // HALT: a NOP, this machine's own
        case 0x77: Write(m, HL(m), m.regA); budget -= Cost(0x77); break;  // LD (HL),A
        case 0x78: m.regA = m.regB; budget -= Cost(0x78); break;          // LD A,B
        case 0x79: m.regA = m.regC; budget -= Cost(0x79); break;          // LD A,C
        case 0x7A: m.regA = m.regD; budget -= Cost(0x7A); break;          // LD A,D
        case 0x7B: m.regA = m.regE; budget -= Cost(0x7B); break;          // LD A,E
        case 0x7C: m.regA = m.regH; budget -= Cost(0x7C); break;          // LD A,H
        case 0x7D: m.regA = m.regL; budget -= Cost(0x7D); break;          // LD A,L
        case 0x7E: m.regA = Read(m, HL(m)); budget -= Cost(0x7E); break;  // LD A,(HL)
        case 0x7F: budget -= Cost(0x7F); break;                           // LD A,A

        // ---- 0x80-0xBF: ADD ADC SUB SBC AND XOR OR CP on B C D E H L (HL) A.
        case 0x80: alu::Add(m, m.regB); budget -= Cost(0x80); break;          // ADD A,B
        case 0x81: alu::Add(m, m.regC); budget -= Cost(0x81); break;          // ADD A,C
        case 0x82: alu::Add(m, m.regD); budget -= Cost(0x82); break;          // ADD A,D
        case 0x83: alu::Add(m, m.regE); budget -= Cost(0x83); break;          // ADD A,E
        case 0x84: alu::Add(m, m.regH); budget -= Cost(0x84); break;          // ADD A,H
        case 0x85: alu::Add(m, m.regL); budget -= Cost(0x85); break;          // ADD A,L
        case 0x86: alu::Add(m, Read(m, HL(m))); budget -= Cost(0x86); break;  // ADD A,(HL)
        case 0x87: alu::Add(m, m.regA); budget -= Cost(0x87); break;          // ADD A,A
        case 0x88: alu::Adc(m, m.regB); budget -= Cost(0x88); break;          // ADC A,B
        case 0x89: alu::Adc(m, m.regC); budget -= Cost(0x89); break;          // ADC A,C
        case 0x8A: alu::Adc(m, m.regD); budget -= Cost(0x8A); break;          // ADC A,D
        case 0x8B: alu::Adc(m, m.regE); budget -= Cost(0x8B); break;          // ADC A,E
        case 0x8C: alu::Adc(m, m.regH); budget -= Cost(0x8C); break;          // ADC A,H
        case 0x8D: alu::Adc(m, m.regL); budget -= Cost(0x8D); break;          // ADC A,L
        case 0x8E: alu::Adc(m, Read(m, HL(m))); budget -= Cost(0x8E); break;  // ADC A,(HL)
        case 0x8F: alu::Adc(m, m.regA); budget -= Cost(0x8F); break;          // ADC A,A
        case 0x90: alu::Sub(m, m.regB); budget -= Cost(0x90); break;          // SUB B
        case 0x91: alu::Sub(m, m.regC); budget -= Cost(0x91); break;          // SUB C
        case 0x92: alu::Sub(m, m.regD); budget -= Cost(0x92); break;          // SUB D
        case 0x93: alu::Sub(m, m.regE); budget -= Cost(0x93); break;          // SUB E
        case 0x94: alu::Sub(m, m.regH); budget -= Cost(0x94); break;          // SUB H
        case 0x95: alu::Sub(m, m.regL); budget -= Cost(0x95); break;          // SUB L
        case 0x96: alu::Sub(m, Read(m, HL(m))); budget -= Cost(0x96); break;  // SUB (HL)
        case 0x97: alu::Sub(m, m.regA); budget -= Cost(0x97); break;          // SUB A
        case 0x98: alu::Sbc(m, m.regB); budget -= Cost(0x98); break;          // SBC A,B
        case 0x99: alu::Sbc(m, m.regC); budget -= Cost(0x99); break;          // SBC A,C
        case 0x9A: alu::Sbc(m, m.regD); budget -= Cost(0x9A); break;          // SBC A,D
        case 0x9B: alu::Sbc(m, m.regE); budget -= Cost(0x9B); break;          // SBC A,E
        case 0x9C: alu::Sbc(m, m.regH); budget -= Cost(0x9C); break;          // SBC A,H
        case 0x9D: alu::Sbc(m, m.regL); budget -= Cost(0x9D); break;          // SBC A,L
        case 0x9E: alu::Sbc(m, Read(m, HL(m))); budget -= Cost(0x9E); break;  // SBC A,(HL)
        case 0x9F: alu::Sbc(m, m.regA); budget -= Cost(0x9F); break;          // SBC A,A
        case 0xA0: alu::And(m, m.regB); budget -= Cost(0xA0); break;          // AND B
        case 0xA1: alu::And(m, m.regC); budget -= Cost(0xA1); break;          // AND C
        case 0xA2: alu::And(m, m.regD); budget -= Cost(0xA2); break;          // AND D
        case 0xA3: alu::And(m, m.regE); budget -= Cost(0xA3); break;          // AND E
        case 0xA4: alu::And(m, m.regH); budget -= Cost(0xA4); break;          // AND H
        case 0xA5: alu::And(m, m.regL); budget -= Cost(0xA5); break;          // AND L
        case 0xA6: alu::And(m, Read(m, HL(m))); budget -= Cost(0xA6); break;  // AND (HL)
        case 0xA7: alu::And(m, m.regA); budget -= Cost(0xA7); break;          // AND A
        case 0xA8: alu::Xor(m, m.regB); budget -= Cost(0xA8); break;          // XOR B
        case 0xA9: alu::Xor(m, m.regC); budget -= Cost(0xA9); break;          // XOR C
        case 0xAA: alu::Xor(m, m.regD); budget -= Cost(0xAA); break;          // XOR D
        case 0xAB: alu::Xor(m, m.regE); budget -= Cost(0xAB); break;          // XOR E
        case 0xAC: alu::Xor(m, m.regH); budget -= Cost(0xAC); break;          // XOR H
        case 0xAD: alu::Xor(m, m.regL); budget -= Cost(0xAD); break;          // XOR L
        case 0xAE: alu::Xor(m, Read(m, HL(m))); budget -= Cost(0xAE); break;  // XOR (HL)
        case 0xAF: alu::Xor(m, m.regA); budget -= Cost(0xAF); break;          // XOR A
        case 0xB0: alu::Or(m, m.regB); budget -= Cost(0xB0); break;           // OR B
        case 0xB1: alu::Or(m, m.regC); budget -= Cost(0xB1); break;           // OR C
        case 0xB2: alu::Or(m, m.regD); budget -= Cost(0xB2); break;           // OR D
        case 0xB3: alu::Or(m, m.regE); budget -= Cost(0xB3); break;           // OR E
        case 0xB4: alu::Or(m, m.regH); budget -= Cost(0xB4); break;           // OR H
        case 0xB5: alu::Or(m, m.regL); budget -= Cost(0xB5); break;           // OR L
        case 0xB6: alu::Or(m, Read(m, HL(m))); budget -= Cost(0xB6); break;   // OR (HL)
        case 0xB7: alu::Or(m, m.regA); budget -= Cost(0xB7); break;           // OR A
        case 0xB8: alu::Cp(m, m.regB); budget -= Cost(0xB8); break;           // CP B
        case 0xB9: alu::Cp(m, m.regC); budget -= Cost(0xB9); break;           // CP C
        case 0xBA: alu::Cp(m, m.regD); budget -= Cost(0xBA); break;           // CP D
        case 0xBB: alu::Cp(m, m.regE); budget -= Cost(0xBB); break;           // CP E
        case 0xBC: alu::Cp(m, m.regH); budget -= Cost(0xBC); break;           // CP H
        case 0xBD: alu::Cp(m, m.regL); budget -= Cost(0xBD); break;           // CP L
        case 0xBE: alu::Cp(m, Read(m, HL(m))); budget -= Cost(0xBE); break;   // CP (HL)
        case 0xBF: alu::Cp(m, m.regA); budget -= Cost(0xBF); break;           // CP A

        // ---- 0xC0-0xFF: stack, jumps, calls, returns, immediates, I/O page.
        case 0xC0: budget -= Return(m, pc, m.flagZ == 0) ? Taken(0xC0) : NotTaken(0xC0); break;  // RET NZ
        case 0xC1: PopPair(m, m.regB, m.regC); budget -= Cost(0xC1); break;                 // POP BC
        // JP NZ,nn
        case 0xC2: budget -= JumpAbsolute(m, pc, m.flagZ == 0) ? Taken(0xC2) : NotTaken(0xC2); break;
        case 0xC3: pc = CodeWord(m, pc); budget -= Cost(0xC3); break;                       // JP nn
        case 0xC4: budget -= Call(m, pc, m.flagZ == 0) ? Taken(0xC4) : NotTaken(0xC4); break;  // CALL NZ,nn
        case 0xC5: PushPair(m, m.regB, m.regC); budget -= Cost(0xC5); break;                // PUSH BC
        case 0xC6: alu::Add(m, Fetch8(m, pc)); budget -= Cost(0xC6); break;                 // ADD A,n
        case 0xC7: Restart(m, pc, 0x00); budget -= Cost(0xC7); break;                       // RST 00
        case 0xC8: budget -= Return(m, pc, m.flagZ == 1) ? Taken(0xC8) : NotTaken(0xC8); break;  // RET Z
        case 0xC9: pc = PopWord(m); budget -= Cost(0xC9); break;                            // RET
        // JP Z,nn
        case 0xCA: budget -= JumpAbsolute(m, pc, m.flagZ == 1) ? Taken(0xCA) : NotTaken(0xCA); break;
        // CB xx: the CB table
        case 0xCB: budget -= Prefixed(m, pc); break;
        case 0xCC: budget -= Call(m, pc, m.flagZ == 1) ? Taken(0xCC) : NotTaken(0xCC); break;  // CALL Z,nn
        case 0xCD: Call(m, pc, true); budget -= Cost(0xCD); break;                          // CALL nn
        case 0xCE: alu::Adc(m, Fetch8(m, pc)); budget -= Cost(0xCE); break;                 // ADC A,n
        case 0xCF: Restart(m, pc, 0x08); budget -= Cost(0xCF); break;                       // RST 08
        case 0xD0: budget -= Return(m, pc, m.flagC == 0) ? Taken(0xD0) : NotTaken(0xD0); break;  // RET NC
        case 0xD1: PopPair(m, m.regD, m.regE); budget -= Cost(0xD1); break;                 // POP DE
        // JP NC,nn
        case 0xD2: budget -= JumpAbsolute(m, pc, m.flagC == 0) ? Taken(0xD2) : NotTaken(0xD2); break;
        case 0xD3: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xD3); break;  // undefined: NOP
        case 0xD4: budget -= Call(m, pc, m.flagC == 0) ? Taken(0xD4) : NotTaken(0xD4); break;  // CALL NC,nn
        case 0xD5: PushPair(m, m.regD, m.regE); budget -= Cost(0xD5); break;                // PUSH DE
        case 0xD6: alu::Sub(m, Fetch8(m, pc)); budget -= Cost(0xD6); break;                 // SUB n
        case 0xD7: Restart(m, pc, 0x10); budget -= Cost(0xD7); break;                       // RST 10
        case 0xD8: budget -= Return(m, pc, m.flagC == 1) ? Taken(0xD8) : NotTaken(0xD8); break;  // RET C
        case 0xD9: ReturnFromInterrupt(m, pc); CompatInterruptReturn(m.compat); budget -= Cost(0xD9); break;  // RETI
        // JP C,nn
        case 0xDA: budget -= JumpAbsolute(m, pc, m.flagC == 1) ? Taken(0xDA) : NotTaken(0xDA); break;
        case 0xDB: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xDB); break;  // undefined: NOP
        case 0xDC: budget -= Call(m, pc, m.flagC == 1) ? Taken(0xDC) : NotTaken(0xDC); break;  // CALL C,nn
        case 0xDD: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xDD); break;  // undefined: NOP
        case 0xDE: alu::Sbc(m, Fetch8(m, pc)); budget -= Cost(0xDE); break;                 // SBC A,n
        case 0xDF: Restart(m, pc, 0x18); budget -= Cost(0xDF); break;                       // RST 18
        case 0xE0: Write(m, io::kIoPage + Fetch8(m, pc), m.regA); budget -= Cost(0xE0); break;  // LDH (n),A
        case 0xE1: PopPair(m, m.regH, m.regL); budget -= Cost(0xE1); break;                 // POP HL
        case 0xE2: Write(m, io::kIoPage + m.regC, m.regA); budget -= Cost(0xE2); break;         // LD (C),A
        case 0xE3: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xE3); break;  // undefined: NOP
        case 0xE4: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xE4); break;  // undefined: NOP
        case 0xE5: PushPair(m, m.regH, m.regL); budget -= Cost(0xE5); break;                // PUSH HL
        case 0xE6: alu::And(m, Fetch8(m, pc)); budget -= Cost(0xE6); break;                 // AND n
        case 0xE7: Restart(m, pc, 0x20); budget -= Cost(0xE7); break;                       // RST 20
        case 0xE8: m.regSP = alu::OffsetSp(m, Fetch8(m, pc)); budget -= Cost(0xE8); break;  // ADD SP,e
        case 0xE9: pc = HL(m); budget -= Cost(0xE9); break;                                 // JP (HL)
        case 0xEA: Write(m, Fetch16(m, pc), m.regA); budget -= Cost(0xEA); break;           // LD (nn),A
        case 0xEB: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xEB); break;  // undefined: NOP
        case 0xEC: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xEC); break;  // undefined: NOP
        case 0xED: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xED); break;  // undefined: NOP
        case 0xEE: alu::Xor(m, Fetch8(m, pc)); budget -= Cost(0xEE); break;                 // XOR n
        case 0xEF: Restart(m, pc, 0x28); budget -= Cost(0xEF); break;                       // RST 28
        case 0xF0: m.regA = Read(m, io::kIoPage + Fetch8(m, pc)); budget -= Cost(0xF0); break;  // LDH A,(n)
        case 0xF1: PopAf(m); budget -= Cost(0xF1); break;                                   // POP AF
        case 0xF2: m.regA = Read(m, io::kIoPage + m.regC); budget -= Cost(0xF2); break;         // LD A,(C)
        case 0xF3: m.IME = 0; budget -= Cost(0xF3); break;                                  // DI
        case 0xF4: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xF4); break;  // undefined: NOP
        case 0xF5: PushPair(m, m.regA, ComposeF(m)); budget -= Cost(0xF5); break;           // PUSH AF
        case 0xF6: alu::Or(m, Fetch8(m, pc)); budget -= Cost(0xF6); break;                  // OR n
        case 0xF7: Restart(m, pc, 0x30); budget -= Cost(0xF7); break;                       // RST 30
        case 0xF8: LoadHlSpOffset(m, Fetch8(m, pc)); budget -= Cost(0xF8); break;           // LD HL,SP+e
        case 0xF9: m.regSP = int32_t(HL(m)); budget -= Cost(0xF9); break;                   // LD SP,HL
        case 0xFA: m.regA = Read(m, Fetch16(m, pc)); budget -= Cost(0xFA); break;           // LD A,(nn)
        // EI: no delay, this machine's own
        case 0xFB: m.IME = 1; budget -= Cost(0xFB); break;
        case 0xFC: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xFC); break;  // undefined: NOP
        case 0xFD: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= Cost(0xFD); break;  // undefined: NOP
        case 0xFE: alu::Cp(m, Fetch8(m, pc)); budget -= Cost(0xFE); break;                  // CP n
        case 0xFF: Restart(m, pc, 0x38); budget -= Cost(0xFF); break;                       // RST 38
    }
    // clang-format on
    return uint8_t(op);
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
    const uint8_t op = Step(m, pc, budget);
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
        while (budget > 2 * kMaxCost && pc.Inside()) {
            Step(m, pc, budget);
            if (!pc.Inside()) break;
            Step(m, pc, budget);
        }
        if (pc.Inside()) {
            op = Step(m, pc, budget);  // the last few, one at a time
            continue;
        }
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
