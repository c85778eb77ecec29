// The CB-prefixed table: all 256 second bytes, each operation on each of the
// eight operands, their flags, their cost, and the memory operand's accesses.
#include <gtest/gtest.h>

#include "core/io_regs.h"
#include "tests/core/cpu_test_util.h"

namespace wenlo::test {
namespace {

constexpr int kHlAddress = 0xC040;

// A machine with CB b at 0x0100, the operand (register or the byte at HL =
// kHlAddress) set to v, every other register 0x99 apart from HL.
std::unique_ptr<Machine> CbMachine(uint8_t b, uint8_t v) {
    auto m = CodeMachine({0xCB, b});
    m->regA = m->regB = m->regC = m->regD = m->regE = 0x99;
    SetHL(*m, kHlAddress);
    WriteByte(*m, kHlAddress, 0x99);
    const int operand = b & 7;
    uint8_t* regs[] = {&m->regB, &m->regC, &m->regD, &m->regE, &m->regH, &m->regL, nullptr, &m->regA};
    if (regs[operand])
        *regs[operand] = v;
    else
        WriteByte(*m, kHlAddress, v);
    return m;
}

// The operand after the instruction. H and L as operands move HL, so the
// memory operand is always read at the address fixed above.
int Operand(const Machine& m, int operand) {
    const uint8_t regs[] = {m.regB, m.regC, m.regD, m.regE, m.regH, m.regL, 0, m.regA};
    return operand == 6 ? ReadByte(m, kHlAddress) : regs[operand];
}

TEST(CpuCbTest, EverySecondByteCostsEightAndIsRecorded) {
    for (int b = 0; b < 256; ++b) {
        auto m = CbMachine(uint8_t(b), 0x5A);
        ExpectCost(*m, 8, "CB " + std::to_string(b));
        Interpret(*m, 1);
        EXPECT_EQ(m->regPC, 0x102) << b;
        EXPECT_EQ(m->CurrentOpcode, 0xCB) << b;
        EXPECT_EQ(m->CurrentCBOpcode, b) << b;
    }
}

TEST(CpuCbTest, ExecuteCbReadsAtPcAndStepsPastIt) {
    auto m = CodeMachine();
    Poke(*m, 0xC000, {0x37});  // SWAP A
    m->regPC = 0xC000;
    m->regA = 0x1F;
    EXPECT_EQ(ExecuteCB(*m), 8);
    EXPECT_EQ(m->regPC, 0xC001);
    EXPECT_EQ(m->regA, 0xF1);
    EXPECT_EQ(m->CurrentCBOpcode, 0x37);
}

// ---- Rotates, shifts and SWAP ------------------------------------------------

struct ShiftCase {
    const char* name;
    int op;  // bits 5-3 of the second byte
    int v, carryIn;
    int result, carry;
};

const ShiftCase kShiftCases[] = {
    {"RLC", 0, 0x80, 0, 0x01, 1},  {"RLC", 0, 0x00, 1, 0x00, 0},  {"RLC", 0, 0x41, 1, 0x82, 0},
    {"RRC", 1, 0x01, 0, 0x80, 1},  {"RRC", 1, 0x82, 1, 0x41, 0},  {"RRC", 1, 0x00, 1, 0x00, 0},
    {"RL", 2, 0x80, 0, 0x00, 1},   {"RL", 2, 0x41, 1, 0x83, 0},   {"RL", 2, 0xC0, 1, 0x81, 1},
    {"RR", 3, 0x01, 0, 0x00, 1},   {"RR", 3, 0x01, 1, 0x80, 1},   {"RR", 3, 0x82, 1, 0xC1, 0},
    {"SLA", 4, 0x80, 0, 0x00, 1},  {"SLA", 4, 0x41, 1, 0x82, 0},  {"SLA", 4, 0xFF, 0, 0xFE, 1},
    {"SRA", 5, 0x81, 0, 0xC0, 1},  {"SRA", 5, 0x42, 1, 0x21, 0},  {"SRA", 5, 0x01, 0, 0x00, 1},
    {"SWAP", 6, 0x00, 1, 0x00, 0}, {"SWAP", 6, 0x1F, 1, 0xF1, 0}, {"SWAP", 6, 0xA5, 0, 0x5A, 0},
    {"SRL", 7, 0x81, 0, 0x40, 1},  {"SRL", 7, 0x01, 1, 0x00, 1},  {"SRL", 7, 0xFE, 1, 0x7F, 0},
};

TEST(CpuCbTest, ShiftsOnEveryOperand) {
    for (const auto& c : kShiftCases) {
        for (int operand = 0; operand < 8; ++operand) {
            const uint8_t b = uint8_t(c.op << 3 | operand);
            auto m = CbMachine(b, uint8_t(c.v));
            SetFlags(*m, c.result != 0, 1, 1, c.carryIn);  // Z preset to the wrong answer
            Interpret(*m, 1);
            const std::string what = std::string(c.name) + " operand " + std::to_string(operand) +
                                     " v=" + std::to_string(c.v) + " c=" + std::to_string(c.carryIn);
            EXPECT_EQ(Operand(*m, operand), c.result) << what;
            EXPECT_EQ(m->flagZ, c.result == 0) << what;
            EXPECT_EQ(m->flagN, 0) << what;
            EXPECT_EQ(m->flagH, 0) << what;
            EXPECT_EQ(m->flagC, c.carry) << what;
        }
    }
}

// ---- BIT, RES, SET -------------------------------------------------------------

TEST(CpuCbTest, BitTestsOneBitAndKeepsCarry) {
    for (int bit = 0; bit < 8; ++bit) {
        for (int operand = 0; operand < 8; ++operand) {
            const uint8_t b = uint8_t(0x40 | bit << 3 | operand);
            struct Probe {
                int v, z;
            };
            // Only the tested bit set, and every bit but the tested one.
            const Probe probes[] = {{1 << bit, 0}, {0xFF ^ (1 << bit), 1}};
            for (const auto& p : probes) {
                for (int carry = 0; carry <= 1; ++carry) {
                    auto m = CbMachine(b, uint8_t(p.v));
                    SetFlags(*m, !p.z, 1, 0, carry);
                    Interpret(*m, 1);
                    const std::string what =
                        "BIT " + std::to_string(bit) + " operand " + std::to_string(operand);
                    EXPECT_EQ(m->flagZ, p.z) << what << " v=" << p.v;
                    EXPECT_EQ(m->flagN, 0) << what;
                    EXPECT_EQ(m->flagH, 1) << what;
                    EXPECT_EQ(m->flagC, carry) << what;
                    EXPECT_EQ(Operand(*m, operand), p.v) << what;
                }
            }
        }
    }
}

TEST(CpuCbTest, ResAndSetChangeOneBitAndNoFlag) {
    for (int bit = 0; bit < 8; ++bit) {
        for (int operand = 0; operand < 8; ++operand) {
            struct Case {
                const char* name;
                int group;  // 0x80 RES, 0xC0 SET
                int v, result;
            };
            const Case cases[] = {
                {"RES", 0x80, 0xFF, 0xFF ^ (1 << bit)},
                {"RES", 0x80, 0x00, 0x00},
                {"SET", 0xC0, 0x00, 1 << bit},
                {"SET", 0xC0, 0xFF, 0xFF},
            };
            for (const auto& c : cases) {
                auto m = CbMachine(uint8_t(c.group | bit << 3 | operand), uint8_t(c.v));
                SetFlags(*m, 1, 0, 1, 0);
                Interpret(*m, 1);
                EXPECT_EQ(Operand(*m, operand), c.result)
                    << c.name << " " << bit << " operand " << operand << " v=" << c.v;
                EXPECT_EQ(ComposeF(*m), 0xA0) << c.name << " " << bit << " operand " << operand;
            }
        }
    }
}

// ---- The memory operand --------------------------------------------------------

TEST(CpuCbTest, MemoryOperandWritesBackExceptForBit) {
    // LY at 0xFF44 reads as its value and is cleared by any write, so it
    // shows whether a write happened even when the value did not change.
    struct Case {
        const char* name;
        uint8_t b;
        int ly;  // afterwards
    };
    const Case cases[] = {
        {"BIT 7,(HL)", 0x7E, 5},           {"BIT 0,(HL)", 0x46, 5}, {"RES 7,(HL) unchanged", 0xBE, 0},
        {"SET 0,(HL) unchanged", 0xC6, 0}, {"SWAP (HL)", 0x36, 0},  {"SRL (HL)", 0x3E, 0},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine({0xCB, c.b});
        SetHL(*m, io::LY);
        m->LY = 5;
        Interpret(*m, 1);
        EXPECT_EQ(m->LY, c.ly) << c.name;
    }
}

TEST(CpuCbTest, BitOnMemoryReadsAndTestsTheByte) {
    auto m = CodeMachine({0xCB, 0x7E});  // BIT 7,(HL)
    SetHL(*m, 0xC000);
    WriteByte(*m, 0xC000, 0x7F);
    SetFlags(*m, 0, 1, 0, 1);
    Interpret(*m, 1);
    EXPECT_EQ(ComposeF(*m), 0xB0);  // Z set, N clear, H set, C kept
    EXPECT_EQ(ReadByte(*m, 0xC000), 0x7F);
}

TEST(CpuCbTest, SetOnDmaRegisterStartsASpriteCopy) {
    // 0xFF46 reads as 0, so SET 0 writes 0x01 there: a copy from 0x0100.
    RomBuilder rom;
    rom.Put(0x100, {0xCB, 0xC6});
    for (int i = 2; i < 160; ++i) rom.Bytes()[0x100 + i] = uint8_t(i * 3);
    auto m = MakeMachine(rom);
    SetHL(*m, io::DMA);
    Interpret(*m, 1);
    EXPECT_EQ(m->DMA, 0x01);
    for (int i = 0; i < 160; ++i) ASSERT_EQ(m->Oam[i], m->RomWindow[0x100 + i]) << i;
    EXPECT_EQ(m->Oam[1], 0xC6);
}

}  // namespace
}  // namespace wenlo::test
