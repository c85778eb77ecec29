// The CB-prefixed table: the second byte b names an operation (bits 7-3) and
// an operand (bits 2-0: B C D E H L (HL) A). Every one of the 256 values is an
// instruction, and every one costs 8 cycles here, the (HL) forms included.
//
// Operand (HL) is one ReadByte and, for everything except BIT, one WriteByte
// of the result; RES and SET write even when the byte does not change, which
// matters for registers with write side effects (a SET on 0xFF46 starts a
// sprite copy).
#include "core/alu.h"
#include "core/cpu.h"

namespace wenlo {

namespace {

constexpr int32_t kCbCycles = 8;

// Operands by the low three bits of b; 6 is the byte at HL.
constexpr int kMemoryOperand = 6;
constexpr uint8_t Machine::*kRegisters[8] = {&Machine::regB, &Machine::regC, &Machine::regD, &Machine::regE,
                                             &Machine::regH, &Machine::regL, nullptr,        &Machine::regA};

uint8_t ReadOperand(const Machine& m, unsigned index) {
    return index == kMemoryOperand ? alu::Read(m, alu::HL(m)) : m.*kRegisters[index];
}

void WriteOperand(Machine& m, unsigned index, uint8_t v) {
    if (index == kMemoryOperand)
        alu::Write(m, alu::HL(m), v);
    else
        m.*kRegisters[index] = v;
}

// Rotates, shifts and SWAP: Z from the result, N and H cleared, C the bit
// shifted out (cleared by SWAP). `op` is bits 5-3 of b.
uint8_t Shift(Machine& m, unsigned op, uint8_t v) {
    const unsigned c = m.flagC;
    unsigned r = 0;
    switch (op) {
        case 0: r = v << 1 | v >> 7; break;           // RLC
        case 1: r = v >> 1 | (v & 1) << 7; break;     // RRC
        case 2: r = v << 1 | c; break;                // RL
        case 3: r = v >> 1 | c << 7; break;           // RR
        case 4: r = v << 1; break;                    // SLA
        case 5: r = v >> 1 | (v & 0x80); break;       // SRA: bit 7 stays
        case 6: r = (v & 0x0F) << 4 | v >> 4; break;  // SWAP
        default: r = v >> 1; break;                   // SRL
    }
    // Even operations shift left and lose bit 7, odd ones shift right and
    // lose bit 0; SWAP loses nothing.
    const unsigned out = op == 6 ? 0 : (op & 1) ? v & 1 : v >> 7;
    const uint8_t result = uint8_t(r);
    m.flagZ = result == 0;
    m.flagN = 0;
    m.flagH = 0;
    m.flagC = uint8_t(out);
    return result;
}

}  // namespace

int32_t ExecuteCB(Machine& m) {
    const uint32_t pc = uint32_t(m.regPC);
    const uint8_t b = alu::Read(m, pc);
    m.CurrentCBOpcode = b;
    const unsigned operand = b & 7, bit = (b >> 3) & 7;
    const uint8_t v = ReadOperand(m, operand);

    switch (b >> 6) {
        case 0: WriteOperand(m, operand, Shift(m, bit, v)); break;
        case 1:  // BIT n: Z = the tested bit inverted, N clear, H set, C kept
            m.flagZ = ((v >> bit) & 1) == 0;
            m.flagN = 0;
            m.flagH = 1;
            break;
        case 2: WriteOperand(m, operand, uint8_t(v & ~(1u << bit))); break;  // RES n
        default: WriteOperand(m, operand, uint8_t(v | 1u << bit)); break;    // SET n
    }

    m.regPC = int32_t(pc + 1);
    return kCbCycles;
}

}  // namespace wenlo
