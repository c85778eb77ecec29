// The main instruction table. One case per opcode: the code of the case, the
// cost it takes from the budget (this machine's own cycle counts, not the
// hardware's), and a comment with the mnemonic and, where it is not plain, the
// effect.
//
// Conventions inside the loop:
// - The program counter lives in the local `pc` while a budget runs, and the
//   last opcode in `op`; both go back to regPC and CurrentOpcode when the call
//   ends. Nothing on the bus looks at either field and nobody else runs during
//   a budget, so no one can see the difference.
// - `pc` already points past the opcode when a case starts; Fetch8/Fetch16
//   read the immediate operands at the following addresses and step past
//   them, so every instruction reads its operands at regPC + 1 and + 2.
// - regPC and regSP are int32 fields that may stand above 0xFFFF or below 0
//   (JR, PUSH and POP do not reduce them). All arithmetic on them wraps at 32
//   bits, and addresses go to the bus unreduced.
//
// This is the hottest code of the emulator. Every helper is forced inline (the
// table is too large for the compiler's own judgement), memory goes through
// the inline paths of bus.h, and each case takes its own cost from the budget,
// so it ends in one subtraction and a jump back to the fetch.
#include "core/cpu.h"

#include "core/alu.h"
#include "core/compat_hooks.h"
#include "core/cpu_cb.h"

namespace wenlo {

namespace {

using alu::HL;
using alu::Read;
using alu::Write;

// The dearest instruction (CALL, taken). Interpret's loop relies on no
// instruction costing more.
constexpr int kMaxCost = 24;

[[gnu::always_inline]] inline uint32_t Pair(uint8_t hi, uint8_t lo) { return uint32_t(hi) << 8 | lo; }

// ---- Code bytes ----------------------------------------------------------------
//
// Opcodes and their operands come from the ROM window nearly always; code in
// RAM takes the full decode (ReadByte), which keeps these paths short and the
// dispatch single. `pc` is held in 64 bits so that it indexes the window
// directly; only its low 32 bits are the program counter. They are all that
// reaches the bus and regPC, and a value above 0xFFFFFFFF fails the window
// test and is reduced by the full decode, so the extra bits never show.

// The byte comes back widened, so that the dispatch indexes its table with it
// as it is.
[[gnu::always_inline]] inline unsigned CodeByte(const Machine& m, uint64_t address) {
    if (address <= uint64_t(io::kRomEnd)) [[likely]]
        return m.RomWindow[address];
    return ReadByte(m, int32_t(uint32_t(address)));
}

// Little-endian word at an address and the next one.
[[gnu::always_inline]] inline uint16_t CodeWord(const Machine& m, uint64_t address) {
    if (address < uint64_t(io::kRomEnd)) [[likely]]
        return bus_detail::LoadWord(&m.RomWindow[address]);
    return uint16_t(CodeByte(m, address) | CodeByte(m, address + 1) << 8);
}

[[gnu::always_inline]] inline uint8_t Fetch8(const Machine& m, uint64_t& pc) {
    return uint8_t(CodeByte(m, pc++));
}

[[gnu::always_inline]] inline uint16_t Fetch16(const Machine& m, uint64_t& pc) {
    const uint16_t v = CodeWord(m, pc);
    pc += 2;
    return v;
}

// ---- Loads and 16-bit steps ------------------------------------------------------

[[gnu::always_inline]] inline void LoadPair(uint8_t& hi, uint8_t& lo, uint16_t v) {
    hi = uint8_t(v >> 8);
    lo = uint8_t(v);
}

// 16-bit increment and decrement of BC, DE and HL, done on the two bytes: the
// high byte moves only when the low byte wraps, so the pair wraps at 16 bits.
[[gnu::always_inline]] inline void IncPair(uint8_t& hi, uint8_t& lo) {
    if (++lo == 0) ++hi;
}
[[gnu::always_inline]] inline void DecPair(uint8_t& hi, uint8_t& lo) {
    if (lo-- == 0) --hi;
}

// LD (HL+),A / LD (HL-),A / LD A,(HL+) / LD A,(HL-): the access comes first,
// then HL moves.
[[gnu::always_inline]] inline void StoreHlInc(Machine& m) {
    Write(m, HL(m), m.regA);
    IncPair(m.regH, m.regL);
}
[[gnu::always_inline]] inline void StoreHlDec(Machine& m) {
    Write(m, HL(m), m.regA);
    DecPair(m.regH, m.regL);
}
[[gnu::always_inline]] inline void LoadHlInc(Machine& m) {
    m.regA = Read(m, HL(m));
    IncPair(m.regH, m.regL);
}
[[gnu::always_inline]] inline void LoadHlDec(Machine& m) {
    m.regA = Read(m, HL(m));
    DecPair(m.regH, m.regL);
}

// INC (HL) / DEC (HL): one read, one write back.
[[gnu::always_inline]] inline void IncMemory(Machine& m) {
    const uint32_t a = HL(m);
    Write(m, a, alu::Inc(m, Read(m, a)));
}
[[gnu::always_inline]] inline void DecMemory(Machine& m) {
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

// regSP -= 2; low byte at regSP, then high byte at regSP + 1. A value past
// 0xFFFF (a return address) keeps its bits 15-8 in the high byte.
[[gnu::always_inline]] inline void PushWord(Machine& m, uint32_t value) {
    const uint32_t sp = uint32_t(m.regSP) - 2;
    m.regSP = int32_t(sp);
    WriteWordFast(m, sp, uint16_t(value));
}

[[gnu::always_inline]] inline void PushPair(Machine& m, uint8_t hi, uint8_t lo) { PushWord(m, Pair(hi, lo)); }

// The high byte (at regSP + 1) and the low byte; then regSP += 2. Reads have
// no side effects, so the order of the two does not show.
[[gnu::always_inline]] inline uint16_t PopWord(Machine& m) {
    const uint32_t sp = uint32_t(m.regSP);
    m.regSP = int32_t(sp + 2);
    return ReadWordFast(m, sp);
}

[[gnu::always_inline]] inline void PopPair(Machine& m, uint8_t& hi, uint8_t& lo) {
    LoadPair(hi, lo, PopWord(m));
}

// POP AF: bits 3-0 of the popped F are dropped.
inline void PopAf(Machine& m) {
    const uint16_t v = PopWord(m);
    m.regA = uint8_t(v >> 8);
    SplitF(m, uint8_t(v));
}

// ---- Jumps, calls, returns (each returns whether it was taken) -------------

// JR: the offset is relative to the next instruction; no reduction to 16 bits.
[[gnu::always_inline]] inline bool JumpRelative(const Machine& m, uint64_t& pc, bool taken) {
    const int8_t e = int8_t(Fetch8(m, pc));
    if (taken) pc += uint64_t(int64_t(e));
    return taken;
}

// JP cc: regPC moves past the operand first; the target is then read back
// from the two bytes behind it.
[[gnu::always_inline]] inline bool JumpAbsolute(const Machine& m, uint64_t& pc, bool taken) {
    pc += 2;
    if (taken) pc = CodeWord(m, pc - 2);
    return taken;
}

// CALL: the return address is pushed before the target is read, so a push
// that lands on the operand bytes (or switches the ROM bank) changes where
// the call goes.
[[gnu::always_inline]] inline bool Call(Machine& m, uint64_t& pc, bool taken) {
    pc += 2;
    if (taken) {
        PushWord(m, uint32_t(pc));
        pc = CodeWord(m, pc - 2);
    }
    return taken;
}

[[gnu::always_inline]] inline bool Return(Machine& m, uint64_t& pc, bool taken) {
    if (taken) pc = PopWord(m);
    return taken;
}

// RETI: IME is set after the pop, with no delay.
inline void ReturnFromInterrupt(Machine& m, uint64_t& pc) {
    pc = PopWord(m);
    m.IME = 1;
}

[[gnu::always_inline]] inline void Restart(Machine& m, uint64_t& pc, uint32_t vector) {
    PushWord(m, uint32_t(pc));
    pc = vector;
}

// CB xx: the second table runs in place (cpu_cb.h); regPC needs no update,
// as nothing there looks at it.
[[gnu::always_inline]] inline int Prefixed(Machine& m, uint64_t& pc) {
    const uint8_t b = Fetch8(m, pc);
    m.CurrentCBOpcode = b;
    cb::Execute(m, b);
    return cb::kCycles;
}

// ---- The table ------------------------------------------------------------------

// Runs the instruction at pc, takes its cost from the budget and returns its
// opcode.
[[gnu::always_inline]] inline uint8_t Step(Machine& m, uint64_t& pc, int& budget) {
    const unsigned op = CodeByte(m, pc++);
    // clang-format off
    switch (op) {
        // ---- 0x00-0x3F: immediates, 16-bit steps, INC/DEC, rotates on A, JR
        case 0x00: budget -= 4; break;                                             // NOP
        case 0x01: LoadPair(m.regB, m.regC, Fetch16(m, pc)); budget -= 7; break;   // LD BC,nn
        case 0x02: Write(m, Pair(m.regB, m.regC), m.regA); budget -= 7; break;     // LD (BC),A
        case 0x03: IncPair(m.regB, m.regC); budget -= 4; break;                    // INC BC
        case 0x04: m.regB = alu::Inc(m, m.regB); budget -= 4; break;               // INC B
        case 0x05: m.regB = alu::Dec(m, m.regB); budget -= 7; break;               // DEC B
        case 0x06: m.regB = Fetch8(m, pc); budget -= 7; break;                     // LD B,n
        case 0x07: alu::Rlca(m); budget -= 4; break;                               // RLCA
        case 0x08: StoreSp(m, Fetch16(m, pc)); budget -= 8; break;                 // LD (nn),SP
        case 0x09: alu::AddHl(m, Pair(m.regB, m.regC)); budget -= 4; break;        // ADD HL,BC
        case 0x0A: m.regA = Read(m, Pair(m.regB, m.regC)); budget -= 7; break;     // LD A,(BC)
        case 0x0B: DecPair(m.regB, m.regC); budget -= 7; break;                    // DEC BC
        case 0x0C: m.regC = alu::Inc(m, m.regC); budget -= 4; break;               // INC C
        case 0x0D: m.regC = alu::Dec(m, m.regC); budget -= 4; break;               // DEC C
        case 0x0E: m.regC = Fetch8(m, pc); budget -= 7; break;                     // LD C,n
        case 0x0F: alu::Rrca(m); budget -= 4; break;                               // RRCA
        case 0x10: Note(m.compat, CompatFeature::Stop); budget -= 10; break;  // STOP: one byte; the next byte runs as the next instruction
        case 0x11: LoadPair(m.regD, m.regE, Fetch16(m, pc)); budget -= 7; break;   // LD DE,nn
        case 0x12: Write(m, Pair(m.regD, m.regE), m.regA); budget -= 10; break;    // LD (DE),A
        case 0x13: IncPair(m.regD, m.regE); budget -= 4; break;                    // INC DE
        case 0x14: m.regD = alu::Inc(m, m.regD); budget -= 4; break;               // INC D
        case 0x15: m.regD = alu::Dec(m, m.regD); budget -= 7; break;               // DEC D
        case 0x16: m.regD = Fetch8(m, pc); budget -= 7; break;                     // LD D,n
        case 0x17: alu::Rla(m); budget -= 4; break;                                // RLA
        case 0x18: JumpRelative(m, pc, true); budget -= 7; break;                  // JR e
        case 0x19: alu::AddHl(m, Pair(m.regD, m.regE)); budget -= 4; break;        // ADD HL,DE
        case 0x1A: m.regA = Read(m, Pair(m.regD, m.regE)); budget -= 7; break;     // LD A,(DE)
        case 0x1B: DecPair(m.regD, m.regE); budget -= 7; break;                    // DEC DE
        case 0x1C: m.regE = alu::Inc(m, m.regE); budget -= 4; break;               // INC E
        case 0x1D: m.regE = alu::Dec(m, m.regE); budget -= 7; break;               // DEC E
        case 0x1E: m.regE = Fetch8(m, pc); budget -= 7; break;                     // LD E,n
        case 0x1F: alu::Rra(m); budget -= 4; break;                                // RRA
        case 0x20: budget -= JumpRelative(m, pc, m.flagZ == 0) ? 17 : 7; break;    // JR NZ,e
        case 0x21: LoadPair(m.regH, m.regL, Fetch16(m, pc)); budget -= 7; break;   // LD HL,nn
        case 0x22: StoreHlInc(m); budget -= 7; break;                              // LD (HL+),A
        case 0x23: IncPair(m.regH, m.regL); budget -= 4; break;                    // INC HL
        case 0x24: m.regH = alu::Inc(m, m.regH); budget -= 4; break;               // INC H
        case 0x25: m.regH = alu::Dec(m, m.regH); budget -= 7; break;               // DEC H
        case 0x26: m.regH = Fetch8(m, pc); budget -= 7; break;                     // LD H,n
        case 0x27: alu::Daa(m); budget -= 7; break;                                // DAA
        case 0x28: budget -= JumpRelative(m, pc, m.flagZ == 1) ? 17 : 7; break;    // JR Z,e
        case 0x29: alu::AddHl(m, HL(m)); budget -= 4; break;                       // ADD HL,HL
        case 0x2A: LoadHlInc(m); budget -= 7; break;                               // LD A,(HL+)
        case 0x2B: DecPair(m.regH, m.regL); budget -= 7; break;                    // DEC HL
        case 0x2C: m.regL = alu::Inc(m, m.regL); budget -= 4; break;               // INC L
        case 0x2D: m.regL = alu::Dec(m, m.regL); budget -= 7; break;               // DEC L
        case 0x2E: m.regL = Fetch8(m, pc); budget -= 7; break;                     // LD L,n
        case 0x2F: alu::Cpl(m); budget -= 4; break;                                // CPL
        case 0x30: budget -= JumpRelative(m, pc, m.flagC == 0) ? 17 : 7; break;    // JR NC,e
        case 0x31: m.regSP = Fetch16(m, pc); budget -= 10; break;                  // LD SP,nn
        case 0x32: StoreHlDec(m); budget -= 7; break;                              // LD (HL-),A
        case 0x33: m.regSP = MoveSp16(m.regSP, 1); budget -= 7; break;             // INC SP
        case 0x34: IncMemory(m); budget -= 4; break;                               // INC (HL)
        case 0x35: DecMemory(m); budget -= 7; break;                               // DEC (HL)
        case 0x36: Write(m, HL(m), Fetch8(m, pc)); budget -= 7; break;             // LD (HL),n
        case 0x37: alu::Scf(m); budget -= 4; break;                                // SCF
        case 0x38: budget -= JumpRelative(m, pc, m.flagC == 1) ? 17 : 7; break;    // JR C,e
        case 0x39: alu::AddHl(m, m.regSP); budget -= 4; break;                     // ADD HL,SP (full regSP)
        case 0x3A: LoadHlDec(m); budget -= 7; break;                               // LD A,(HL-)
        case 0x3B: m.regSP = MoveSp16(m.regSP, uint32_t(-1)); budget -= 7; break;  // DEC SP
        case 0x3C: m.regA = alu::Inc(m, m.regA); budget -= 4; break;               // INC A
        case 0x3D: m.regA = alu::Dec(m, m.regA); budget -= 7; break;               // DEC A
        case 0x3E: m.regA = Fetch8(m, pc); budget -= 7; break;                     // LD A,n
        case 0x3F: alu::Ccf(m); budget -= 4; break;                                // CCF

        // ---- 0x40-0x7F: LD r,r' (row = destination B C D E H L (HL) A,
        // column low 3 bits = source in the same order); all cost 4.
        case 0x40: budget -= 4; break;                           // LD B,B
        case 0x41: m.regB = m.regC; budget -= 4; break;          // LD B,C
        case 0x42: m.regB = m.regD; budget -= 4; break;          // LD B,D
        case 0x43: m.regB = m.regE; budget -= 4; break;          // LD B,E
        case 0x44: m.regB = m.regH; budget -= 4; break;          // LD B,H
        case 0x45: m.regB = m.regL; budget -= 4; break;          // LD B,L
        case 0x46: m.regB = Read(m, HL(m)); budget -= 4; break;  // LD B,(HL)
        case 0x47: m.regB = m.regA; budget -= 4; break;          // LD B,A
        case 0x48: m.regC = m.regB; budget -= 4; break;          // LD C,B
        case 0x49: budget -= 4; break;                           // LD C,C
        case 0x4A: m.regC = m.regD; budget -= 4; break;          // LD C,D
        case 0x4B: m.regC = m.regE; budget -= 4; break;          // LD C,E
        case 0x4C: m.regC = m.regH; budget -= 4; break;          // LD C,H
        case 0x4D: m.regC = m.regL; budget -= 4; break;          // LD C,L
        case 0x4E: m.regC = Read(m, HL(m)); budget -= 4; break;  // LD C,(HL)
        case 0x4F: m.regC = m.regA; budget -= 4; break;          // LD C,A
        case 0x50: m.regD = m.regB; budget -= 4; break;          // LD D,B
        case 0x51: m.regD = m.regC; budget -= 4; break;          // LD D,C
        case 0x52: budget -= 4; break;                           // LD D,D
        case 0x53: m.regD = m.regE; budget -= 4; break;          // LD D,E
        case 0x54: m.regD = m.regH; budget -= 4; break;          // LD D,H
        case 0x55: m.regD = m.regL; budget -= 4; break;          // LD D,L
        case 0x56: m.regD = Read(m, HL(m)); budget -= 4; break;  // LD D,(HL)
        case 0x57: m.regD = m.regA; budget -= 4; break;          // LD D,A
        case 0x58: m.regE = m.regB; budget -= 4; break;          // LD E,B
        case 0x59: m.regE = m.regC; budget -= 4; break;          // LD E,C
        case 0x5A: m.regE = m.regD; budget -= 4; break;          // LD E,D
        case 0x5B: budget -= 4; break;                           // LD E,E
        case 0x5C: m.regE = m.regH; budget -= 4; break;          // LD E,H
        case 0x5D: m.regE = m.regL; budget -= 4; break;          // LD E,L
        case 0x5E: m.regE = Read(m, HL(m)); budget -= 4; break;  // LD E,(HL)
        case 0x5F: m.regE = m.regA; budget -= 4; break;          // LD E,A
        case 0x60: m.regH = m.regB; budget -= 4; break;          // LD H,B
        case 0x61: m.regH = m.regC; budget -= 4; break;          // LD H,C
        case 0x62: m.regH = m.regD; budget -= 4; break;          // LD H,D
        case 0x63: m.regH = m.regE; budget -= 4; break;          // LD H,E
        case 0x64: budget -= 4; break;                           // LD H,H
        case 0x65: m.regH = m.regL; budget -= 4; break;          // LD H,L
        case 0x66: m.regH = Read(m, HL(m)); budget -= 4; break;  // LD H,(HL)
        case 0x67: m.regH = m.regA; budget -= 4; break;          // LD H,A
        case 0x68: m.regL = m.regB; budget -= 4; break;          // LD L,B
        case 0x69: m.regL = m.regC; budget -= 4; break;          // LD L,C
        case 0x6A: m.regL = m.regD; budget -= 4; break;          // LD L,D
        case 0x6B: m.regL = m.regE; budget -= 4; break;          // LD L,E
        case 0x6C: m.regL = m.regH; budget -= 4; break;          // LD L,H
        case 0x6D: budget -= 4; break;                           // LD L,L
        case 0x6E: m.regL = Read(m, HL(m)); budget -= 4; break;  // LD L,(HL)
        case 0x6F: m.regL = m.regA; budget -= 4; break;          // LD L,A
        case 0x70: Write(m, HL(m), m.regB); budget -= 4; break;  // LD (HL),B
        case 0x71: Write(m, HL(m), m.regC); budget -= 4; break;  // LD (HL),C
        case 0x72: Write(m, HL(m), m.regD); budget -= 4; break;  // LD (HL),D
        case 0x73: Write(m, HL(m), m.regE); budget -= 4; break;  // LD (HL),E
        case 0x74: Write(m, HL(m), m.regH); budget -= 4; break;  // LD (HL),H
        case 0x75: Write(m, HL(m), m.regL); budget -= 4; break;  // LD (HL),L
        case 0x76: Note(m.compat, CompatFeature::Halt); budget -= 4; break;  // HALT: a NOP here; nothing waits for an interrupt
        case 0x77: Write(m, HL(m), m.regA); budget -= 4; break;  // LD (HL),A
        case 0x78: m.regA = m.regB; budget -= 4; break;          // LD A,B
        case 0x79: m.regA = m.regC; budget -= 4; break;          // LD A,C
        case 0x7A: m.regA = m.regD; budget -= 4; break;          // LD A,D
        case 0x7B: m.regA = m.regE; budget -= 4; break;          // LD A,E
        case 0x7C: m.regA = m.regH; budget -= 4; break;          // LD A,H
        case 0x7D: m.regA = m.regL; budget -= 4; break;          // LD A,L
        case 0x7E: m.regA = Read(m, HL(m)); budget -= 4; break;  // LD A,(HL)
        case 0x7F: budget -= 4; break;                           // LD A,A

        // ---- 0x80-0xBF: ADD ADC SUB SBC AND XOR OR CP on B C D E H L (HL) A.
        // Costs are 4 except where the case says otherwise.
        case 0x80: alu::Add(m, m.regB); budget -= 4; break;          // ADD A,B
        case 0x81: alu::Add(m, m.regC); budget -= 4; break;          // ADD A,C
        case 0x82: alu::Add(m, m.regD); budget -= 4; break;          // ADD A,D
        case 0x83: alu::Add(m, m.regE); budget -= 4; break;          // ADD A,E
        case 0x84: alu::Add(m, m.regH); budget -= 4; break;          // ADD A,H
        case 0x85: alu::Add(m, m.regL); budget -= 4; break;          // ADD A,L
        case 0x86: alu::Add(m, Read(m, HL(m))); budget -= 8; break;  // ADD A,(HL)
        case 0x87: alu::Add(m, m.regA); budget -= 4; break;          // ADD A,A
        case 0x88: alu::Adc(m, m.regB); budget -= 4; break;          // ADC A,B
        case 0x89: alu::Adc(m, m.regC); budget -= 4; break;          // ADC A,C
        case 0x8A: alu::Adc(m, m.regD); budget -= 4; break;          // ADC A,D
        case 0x8B: alu::Adc(m, m.regE); budget -= 4; break;          // ADC A,E
        case 0x8C: alu::Adc(m, m.regH); budget -= 4; break;          // ADC A,H
        case 0x8D: alu::Adc(m, m.regL); budget -= 4; break;          // ADC A,L
        case 0x8E: alu::Adc(m, Read(m, HL(m))); budget -= 4; break;  // ADC A,(HL)
        case 0x8F: alu::Adc(m, m.regA); budget -= 4; break;          // ADC A,A
        case 0x90: alu::Sub(m, m.regB); budget -= 4; break;          // SUB B
        case 0x91: alu::Sub(m, m.regC); budget -= 4; break;          // SUB C
        case 0x92: alu::Sub(m, m.regD); budget -= 4; break;          // SUB D
        case 0x93: alu::Sub(m, m.regE); budget -= 4; break;          // SUB E
        case 0x94: alu::Sub(m, m.regH); budget -= 4; break;          // SUB H
        case 0x95: alu::Sub(m, m.regL); budget -= 4; break;          // SUB L
        case 0x96: alu::Sub(m, Read(m, HL(m))); budget -= 8; break;  // SUB (HL)
        case 0x97: alu::Sub(m, m.regA); budget -= 8; break;          // SUB A
        case 0x98: alu::Sbc(m, m.regB); budget -= 4; break;          // SBC A,B
        case 0x99: alu::Sbc(m, m.regC); budget -= 4; break;          // SBC A,C
        case 0x9A: alu::Sbc(m, m.regD); budget -= 4; break;          // SBC A,D
        case 0x9B: alu::Sbc(m, m.regE); budget -= 4; break;          // SBC A,E
        case 0x9C: alu::Sbc(m, m.regH); budget -= 4; break;          // SBC A,H
        case 0x9D: alu::Sbc(m, m.regL); budget -= 4; break;          // SBC A,L
        case 0x9E: alu::Sbc(m, Read(m, HL(m))); budget -= 4; break;  // SBC A,(HL)
        case 0x9F: alu::Sbc(m, m.regA); budget -= 4; break;          // SBC A,A
        case 0xA0: alu::And(m, m.regB); budget -= 4; break;          // AND B
        case 0xA1: alu::And(m, m.regC); budget -= 4; break;          // AND C
        case 0xA2: alu::And(m, m.regD); budget -= 4; break;          // AND D
        case 0xA3: alu::And(m, m.regE); budget -= 4; break;          // AND E
        case 0xA4: alu::And(m, m.regH); budget -= 4; break;          // AND H
        case 0xA5: alu::And(m, m.regL); budget -= 4; break;          // AND L
        case 0xA6: alu::And(m, Read(m, HL(m))); budget -= 8; break;  // AND (HL)
        case 0xA7: alu::And(m, m.regA); budget -= 4; break;          // AND A
        case 0xA8: alu::Xor(m, m.regB); budget -= 4; break;          // XOR B
        case 0xA9: alu::Xor(m, m.regC); budget -= 4; break;          // XOR C
        case 0xAA: alu::Xor(m, m.regD); budget -= 4; break;          // XOR D
        case 0xAB: alu::Xor(m, m.regE); budget -= 4; break;          // XOR E
        case 0xAC: alu::Xor(m, m.regH); budget -= 4; break;          // XOR H
        case 0xAD: alu::Xor(m, m.regL); budget -= 4; break;          // XOR L
        case 0xAE: alu::Xor(m, Read(m, HL(m))); budget -= 8; break;  // XOR (HL)
        case 0xAF: alu::Xor(m, m.regA); budget -= 4; break;          // XOR A
        case 0xB0: alu::Or(m, m.regB); budget -= 4; break;           // OR B
        case 0xB1: alu::Or(m, m.regC); budget -= 4; break;           // OR C
        case 0xB2: alu::Or(m, m.regD); budget -= 4; break;           // OR D
        case 0xB3: alu::Or(m, m.regE); budget -= 4; break;           // OR E
        case 0xB4: alu::Or(m, m.regH); budget -= 4; break;           // OR H
        case 0xB5: alu::Or(m, m.regL); budget -= 4; break;           // OR L
        case 0xB6: alu::Or(m, Read(m, HL(m))); budget -= 8; break;   // OR (HL)
        case 0xB7: alu::Or(m, m.regA); budget -= 4; break;           // OR A
        case 0xB8: alu::Cp(m, m.regB); budget -= 4; break;           // CP B
        case 0xB9: alu::Cp(m, m.regC); budget -= 4; break;           // CP C
        case 0xBA: alu::Cp(m, m.regD); budget -= 4; break;           // CP D
        case 0xBB: alu::Cp(m, m.regE); budget -= 4; break;           // CP E
        case 0xBC: alu::Cp(m, m.regH); budget -= 4; break;           // CP H
        case 0xBD: alu::Cp(m, m.regL); budget -= 4; break;           // CP L
        case 0xBE: alu::Cp(m, Read(m, HL(m))); budget -= 8; break;   // CP (HL)
        case 0xBF: alu::Cp(m, m.regA); budget -= 4; break;           // CP A

        // ---- 0xC0-0xFF: stack, jumps, calls, returns, immediates, I/O page.
        // Conditional entries cost taken : not taken.
        case 0xC0: budget -= Return(m, pc, m.flagZ == 0) ? 20 : 8; break;           // RET NZ
        case 0xC1: PopPair(m, m.regB, m.regC); budget -= 8; break;                  // POP BC
        case 0xC2: budget -= JumpAbsolute(m, pc, m.flagZ == 0) ? 16 : 12; break;    // JP NZ,nn
        case 0xC3: pc = CodeWord(m, pc); budget -= 16; break;                         // JP nn
        case 0xC4: budget -= Call(m, pc, m.flagZ == 0) ? 24 : 12; break;            // CALL NZ,nn
        case 0xC5: PushPair(m, m.regB, m.regC); budget -= 4; break;                 // PUSH BC
        case 0xC6: alu::Add(m, Fetch8(m, pc)); budget -= 4; break;                  // ADD A,n
        case 0xC7: Restart(m, pc, 0x00); budget -= 20; break;                       // RST 00
        case 0xC8: budget -= Return(m, pc, m.flagZ == 1) ? 20 : 8; break;           // RET Z
        case 0xC9: pc = PopWord(m); budget -= 20; break;                            // RET
        case 0xCA: budget -= JumpAbsolute(m, pc, m.flagZ == 1) ? 20 : 8; break;     // JP Z,nn
        case 0xCB: budget -= Prefixed(m, pc); break;  // CB xx: the second table (cpu_cb.h)
        case 0xCC: budget -= Call(m, pc, m.flagZ == 1) ? 24 : 12; break;            // CALL Z,nn
        case 0xCD: Call(m, pc, true); budget -= 24; break;                          // CALL nn
        case 0xCE: alu::Adc(m, Fetch8(m, pc)); budget -= 8; break;                  // ADC A,n
        case 0xCF: Restart(m, pc, 0x08); budget -= 20; break;                       // RST 08
        case 0xD0: budget -= Return(m, pc, m.flagC == 0) ? 20 : 8; break;           // RET NC
        case 0xD1: PopPair(m, m.regD, m.regE); budget -= 8; break;                  // POP DE
        case 0xD2: budget -= JumpAbsolute(m, pc, m.flagC == 0) ? 20 : 8; break;     // JP NC,nn
        case 0xD3: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xD4: budget -= Call(m, pc, m.flagC == 0) ? 24 : 12; break;            // CALL NC,nn
        case 0xD5: PushPair(m, m.regD, m.regE); budget -= 8; break;                 // PUSH DE
        case 0xD6: alu::Sub(m, Fetch8(m, pc)); budget -= 8; break;                  // SUB n
        case 0xD7: Restart(m, pc, 0x10); budget -= 20; break;                       // RST 10
        case 0xD8: budget -= Return(m, pc, m.flagC == 1) ? 20 : 8; break;           // RET C
        case 0xD9: ReturnFromInterrupt(m, pc); CompatInterruptReturn(m.compat); budget -= 16; break;  // RETI
        case 0xDA: budget -= JumpAbsolute(m, pc, m.flagC == 1) ? 20 : 8; break;     // JP C,nn
        case 0xDB: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xDC: budget -= Call(m, pc, m.flagC == 1) ? 24 : 12; break;            // CALL C,nn
        case 0xDD: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xDE: alu::Sbc(m, Fetch8(m, pc)); budget -= 4; break;                  // SBC A,n
        case 0xDF: Restart(m, pc, 0x18); budget -= 20; break;                       // RST 18
        case 0xE0: Write(m, 0xFF00u + Fetch8(m, pc), m.regA); budget -= 8; break;   // LDH (n),A
        case 0xE1: PopPair(m, m.regH, m.regL); budget -= 8; break;                  // POP HL
        case 0xE2: Write(m, 0xFF00u + m.regC, m.regA); budget -= 8; break;          // LD (C),A
        case 0xE3: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xE4: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xE5: PushPair(m, m.regH, m.regL); budget -= 8; break;                 // PUSH HL
        case 0xE6: alu::And(m, Fetch8(m, pc)); budget -= 8; break;                  // AND n
        case 0xE7: Restart(m, pc, 0x20); budget -= 20; break;                       // RST 20
        case 0xE8: m.regSP = alu::OffsetSp(m, Fetch8(m, pc)); budget -= 16; break;  // ADD SP,e
        case 0xE9: pc = HL(m); budget -= 8; break;                                  // JP (HL)
        case 0xEA: Write(m, Fetch16(m, pc), m.regA); budget -= 8; break;            // LD (nn),A
        case 0xEB: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xEC: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xED: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xEE: alu::Xor(m, Fetch8(m, pc)); budget -= 4; break;                  // XOR n
        case 0xEF: Restart(m, pc, 0x28); budget -= 20; break;                       // RST 28
        case 0xF0: m.regA = Read(m, 0xFF00u + Fetch8(m, pc)); budget -= 8; break;   // LDH A,(n)
        case 0xF1: PopAf(m); budget -= 8; break;                                    // POP AF
        case 0xF2: m.regA = Read(m, 0xFF00u + m.regC); budget -= 8; break;          // LD A,(C)
        case 0xF3: m.IME = 0; budget -= 4; break;                                   // DI
        case 0xF4: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xF5: PushPair(m, m.regA, ComposeF(m)); budget -= 8; break;            // PUSH AF
        case 0xF6: alu::Or(m, Fetch8(m, pc)); budget -= 4; break;                   // OR n
        case 0xF7: Restart(m, pc, 0x30); budget -= 20; break;                       // RST 30
        case 0xF8: LoadHlSpOffset(m, Fetch8(m, pc)); budget -= 4; break;            // LD HL,SP+e
        case 0xF9: m.regSP = int32_t(HL(m)); budget -= 4; break;                    // LD SP,HL
        case 0xFA: m.regA = Read(m, Fetch16(m, pc)); budget -= 16; break;           // LD A,(nn)
        case 0xFB: m.IME = 1; budget -= 4; break;                                   // EI: at once, no delay
        case 0xFC: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xFD: Note(m.compat, CompatFeature::UndefinedOpcode); budget -= 4; break;  // undefined: NOP
        case 0xFE: alu::Cp(m, Fetch8(m, pc)); budget -= 8; break;                   // CP n
        case 0xFF: Restart(m, pc, 0x38); budget -= 20; break;                       // RST 38
    }
    // clang-format on
    return uint8_t(op);
}

}  // namespace

void Interpret(Machine& m, int16_t cycles) {
    if (!m.Running) return;
    // The pause wait happens once, before the budget: handlers run inside
    // WaitForEvents may step the machine, load a cartridge or clear Running;
    // the budget then runs from whatever state they left. Headless there is
    // nobody to release the pause, so it is not waited for.
    while (m.Paused && m.host != nullptr) m.host->WaitForEvents();

    uint64_t pc = uint32_t(m.regPC);
    uint8_t op = m.CurrentOpcode;
    int budget = cycles;  // the overshoot of the last instruction is dropped
    // While the budget exceeds the dearest instruction, the next instruction
    // leaves it above 0 whatever it is, so the one after it runs too: the loop
    // takes two steps per test of the budget. The last few go one at a time.
    while (budget > kMaxCost) {
        Step(m, pc, budget);
        op = Step(m, pc, budget);
    }
    while (budget > 0) op = Step(m, pc, budget);
    m.CurrentOpcode = op;
    m.regPC = int32_t(uint32_t(pc));
}

}  // namespace wenlo
