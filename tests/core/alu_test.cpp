// Arithmetic and flag rules, run through the opcodes so that each vector also
// checks the wiring of every operand form (B C D E H L (HL) A and immediate).
#include <gtest/gtest.h>

#include "tests/core/cpu_test_util.h"

namespace wenlo::test {
namespace {

struct Flags {
    int z, n, h, c;
};

void ExpectFlags(const Machine& m, Flags f, const std::string& what) {
    EXPECT_EQ(m.flagZ, f.z) << what << " Z";
    EXPECT_EQ(m.flagN, f.n) << what << " N";
    EXPECT_EQ(m.flagH, f.h) << what << " H";
    EXPECT_EQ(m.flagC, f.c) << what << " C";
}

// ---- ADD ADC SUB SBC AND XOR OR CP -----------------------------------------

enum Op { ADD, ADC, SUB, SBC, AND, XOR, OR, CP };
const char* const kOpNames[] = {"ADD", "ADC", "SUB", "SBC", "AND", "XOR", "OR", "CP"};

struct AluCase {
    Op op;
    int a, v, carryIn;
    int result;  // A afterwards (unchanged for CP)
    Flags flags;
};

const AluCase kAluCases[] = {
    {ADD, 0x80, 0x01, 0, 0x81, {0, 0, 0, 0}},
    {ADD, 0x88, 0x88, 0, 0x10, {0, 0, 1, 1}},
    {ADD, 0xF0, 0x20, 0, 0x10, {0, 0, 0, 1}},
    {ADD, 0x0F, 0x01, 0, 0x10, {0, 0, 1, 0}},
    {ADD, 0x0E, 0x01, 0, 0x0F, {0, 0, 0, 0}},  // low nibbles sum to 0xF exactly: no half carry
    {ADD, 0xFF, 0x01, 0, 0x00, {1, 0, 1, 1}},
    {ADD, 0x00, 0x00, 1, 0x00, {1, 0, 0, 0}},  // the carry does not enter ADD
    {ADC, 0xF0, 0x0F, 1, 0x00, {1, 0, 1, 1}},
    {ADC, 0x0E, 0x01, 1, 0x10, {0, 0, 1, 0}},
    {ADC, 0x01, 0x01, 0, 0x02, {0, 0, 0, 0}},
    {ADC, 0xFF, 0xFF, 1, 0xFF, {0, 0, 1, 1}},
    {ADC, 0x80, 0x80, 0, 0x00, {1, 0, 0, 1}},
    {SUB, 0x3E, 0x3E, 0, 0x00, {1, 1, 0, 0}},
    {SUB, 0x10, 0x01, 0, 0x0F, {0, 1, 1, 0}},
    {SUB, 0x00, 0x01, 0, 0xFF, {0, 1, 1, 1}},
    {SUB, 0x42, 0x12, 1, 0x30, {0, 1, 0, 0}},  // the carry does not enter SUB
    {SBC, 0x10, 0x01, 1, 0x0E, {0, 1, 1, 0}},
    {SBC, 0x55, 0x55, 1, 0xFF, {0, 1, 1, 1}},
    {SBC, 0x42, 0xFF, 1, 0x42, {0, 1, 1, 1}},  // v = 0xFF with carry: A unchanged, C set
    {SBC, 0x00, 0xFF, 1, 0x00, {1, 1, 1, 1}},
    {SBC, 0x3B, 0x2A, 0, 0x11, {0, 1, 0, 0}},
    {SBC, 0x00, 0x00, 1, 0xFF, {0, 1, 1, 1}},
    {AND, 0xF0, 0x3C, 0, 0x30, {0, 0, 1, 0}},
    {AND, 0x0F, 0xF0, 1, 0x00, {1, 0, 1, 0}},
    {AND, 0x5A, 0x5A, 1, 0x5A, {0, 0, 1, 0}},
    {XOR, 0xFF, 0x0F, 1, 0xF0, {0, 0, 0, 0}},
    {XOR, 0x5A, 0x5A, 1, 0x00, {1, 0, 0, 0}},
    {OR, 0x00, 0x00, 1, 0x00, {1, 0, 0, 0}},
    {OR, 0xA0, 0x05, 1, 0xA5, {0, 0, 0, 0}},
    {CP, 0x3C, 0x3C, 0, 0x3C, {1, 1, 0, 0}},
    {CP, 0x3C, 0x40, 0, 0x3C, {0, 1, 0, 1}},
    {CP, 0x3C, 0x2F, 1, 0x3C, {0, 1, 1, 0}},
    {CP, 0x00, 0x01, 0, 0x00, {0, 1, 1, 1}},
};

// Operand forms: 0-7 the register block (B C D E H L (HL) A), 8 immediate.
constexpr int kImmediate = 8;

TEST(AluTest, EightBitGroupInEveryOperandForm) {
    for (const auto& c : kAluCases) {
        for (int form = 0; form <= kImmediate; ++form) {
            if (form == 7 && c.v != c.a) continue;  // A as operand needs v = A
            for (int preset = 0; preset <= 1; ++preset) {
                const std::vector<uint8_t> code =
                    form == kImmediate ? std::vector<uint8_t>{uint8_t(0xC6 + 8 * c.op), uint8_t(c.v)}
                                       : std::vector<uint8_t>{uint8_t(0x80 + 8 * c.op + form)};
                auto m = CodeMachine(code);
                m->regA = uint8_t(c.a);
                m->regB = m->regC = m->regD = m->regE = 0x99;
                SetHL(*m, 0xC000);
                WriteByte(*m, 0xC000, uint8_t(c.v));
                uint8_t* regs[] = {&m->regB, &m->regC, &m->regD, &m->regE, &m->regH, &m->regL};
                if (form < 6) *regs[form] = uint8_t(c.v);
                SetFlags(*m, preset, preset, preset, c.carryIn);
                Interpret(*m, 1);

                const std::string what = std::string(kOpNames[c.op]) + " form " + std::to_string(form) +
                                         " a=" + std::to_string(c.a) + " v=" + std::to_string(c.v);
                EXPECT_EQ(m->regA, c.result) << what;
                ExpectFlags(*m, c.flags, what);
                EXPECT_EQ(m->regPC, form == kImmediate ? 0x102 : 0x101) << what;
            }
        }
    }
}

// ---- INC and DEC ---------------------------------------------------------------

struct StepCase {
    bool inc;
    int x, r;
    int z, h;
};

TEST(AluTest, IncrementAndDecrementOnEveryTargetKeepCarry) {
    const StepCase cases[] = {
        {true, 0x0F, 0x10, 0, 1},  {true, 0xFF, 0x00, 1, 1},  {true, 0x00, 0x01, 0, 0},
        {true, 0x7F, 0x80, 0, 1},  {false, 0x10, 0x0F, 0, 1}, {false, 0x01, 0x00, 1, 0},
        {false, 0x00, 0xFF, 0, 1}, {false, 0x0F, 0x0E, 0, 0},
    };
    for (const auto& c : cases) {
        for (int target = 0; target < 8; ++target) {
            for (int carry = 0; carry <= 1; ++carry) {
                auto m = CodeMachine({uint8_t((c.inc ? 0x04 : 0x05) + 8 * target)});
                SetHL(*m, 0xC010);
                uint8_t* regs[] = {&m->regB, &m->regC, &m->regD, &m->regE,
                                   &m->regH, &m->regL, nullptr,  &m->regA};
                if (regs[target])
                    *regs[target] = uint8_t(c.x);
                else
                    WriteByte(*m, 0xC010, uint8_t(c.x));
                SetFlags(*m, !c.z, c.inc, !c.h, carry);
                Interpret(*m, 1);

                const int got = regs[target] ? *regs[target] : ReadByte(*m, 0xC010);
                const std::string what = std::string(c.inc ? "INC" : "DEC") + " target " +
                                         std::to_string(target) + " x=" + std::to_string(c.x);
                EXPECT_EQ(got, c.r) << what;
                ExpectFlags(*m, {c.z, c.inc ? 0 : 1, c.h, carry}, what);
            }
        }
    }
}

// ---- DAA, CPL, SCF, CCF --------------------------------------------------------

TEST(AluTest, DecimalAdjustOfThisMachine) {
    struct Case {
        int a, n, h, c;
        int result;
        Flags flags;  // N comes back unchanged
    };
    const Case cases[] = {
        {0x3C, 0, 0, 0, 0x42, {0, 0, 0, 0}}, {0x9A, 0, 0, 0, 0x00, {1, 0, 0, 1}},
        {0x0F, 1, 0, 0, 0x09, {0, 1, 0, 0}}, {0x20, 0, 0, 1, 0x80, {0, 0, 0, 0}},  // an earlier carry is lost
        {0x99, 0, 0, 0, 0x99, {0, 0, 0, 0}}, {0x12, 0, 1, 0, 0x18, {0, 0, 0, 0}},  // H alone asks for 6
        {0xFF, 0, 0, 0, 0x65, {0, 0, 0, 1}}, {0x00, 1, 0, 1, 0xA0, {0, 1, 0, 1}},  // below zero sets C
        {0x05, 1, 1, 0, 0xFF, {0, 1, 0, 1}}, {0x66, 1, 1, 1, 0x00, {1, 1, 0, 0}},
        {0xA0, 1, 0, 0, 0x40, {0, 1, 0, 0}},  // digits > 9 decide after a subtraction too
    };
    for (const auto& c : cases) {
        auto m = CodeMachine({0x27});
        m->regA = uint8_t(c.a);
        SetFlags(*m, 1, c.n, c.h, c.c);
        Interpret(*m, 1);
        const std::string what = "DAA a=" + std::to_string(c.a);
        EXPECT_EQ(m->regA, c.result) << what;
        ExpectFlags(*m, c.flags, what);
    }
}

TEST(AluTest, AccumulatorAndCarryFlagInstructions) {
    struct Case {
        const char* name;
        uint8_t op;
        int a;
        Flags before;
        int result;
        Flags after;
    };
    const Case cases[] = {
        {"CPL", 0x2F, 0x35, {0, 0, 0, 0}, 0xCA, {0, 1, 1, 0}},
        {"CPL keeps Z C", 0x2F, 0xFF, {1, 0, 0, 1}, 0x00, {1, 1, 1, 1}},
        {"SCF", 0x37, 0x12, {0, 1, 1, 0}, 0x12, {0, 0, 0, 1}},
        {"SCF keeps Z", 0x37, 0x12, {1, 0, 0, 1}, 0x12, {1, 0, 0, 1}},
        {"CCF sets", 0x3F, 0x12, {1, 1, 1, 0}, 0x12, {1, 0, 0, 1}},
        {"CCF clears", 0x3F, 0x12, {0, 1, 1, 1}, 0x12, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        m->regA = uint8_t(c.a);
        SetFlags(*m, c.before.z, c.before.n, c.before.h, c.before.c);
        Interpret(*m, 1);
        EXPECT_EQ(m->regA, c.result) << c.name;
        ExpectFlags(*m, c.after, c.name);
    }
}

// ---- Rotates on A --------------------------------------------------------------

TEST(AluTest, RotatesOnAClearZeroEvenForZeroResult) {
    struct Case {
        const char* name;
        uint8_t op;
        int a, carryIn;
        int result, carry;
    };
    const Case cases[] = {
        {"RLCA", 0x07, 0x80, 0, 0x01, 1}, {"RLCA", 0x07, 0x41, 1, 0x82, 0}, {"RLCA", 0x07, 0x00, 1, 0x00, 0},
        {"RRCA", 0x0F, 0x01, 0, 0x80, 1}, {"RRCA", 0x0F, 0x82, 1, 0x41, 0}, {"RLA", 0x17, 0x80, 0, 0x00, 1},
        {"RLA", 0x17, 0x41, 1, 0x83, 0},  {"RRA", 0x1F, 0x01, 0, 0x00, 1},  {"RRA", 0x1F, 0x82, 1, 0xC1, 0},
    };
    for (const auto& c : cases) {
        auto m = CodeMachine({c.op});
        m->regA = uint8_t(c.a);
        SetFlags(*m, 1, 1, 1, c.carryIn);
        Interpret(*m, 1);
        const std::string what = std::string(c.name) + " a=" + std::to_string(c.a);
        EXPECT_EQ(m->regA, c.result) << what;
        ExpectFlags(*m, {0, 0, 0, c.carry}, what);
    }
}

// ---- 16-bit additions ----------------------------------------------------------

TEST(AluTest, AddToHlCarriesOutOfBitsElevenAndFifteen) {
    struct Case {
        const char* name;
        uint8_t op;
        int hl, rr;  // rr goes into BC, DE or SP (ignored for ADD HL,HL)
        int32_t sp;
        int result, h, c;
    };
    const Case cases[] = {
        {"ADD HL,HL", 0x29, 0x8000, 0, 0xFFFE, 0x0000, 0, 1},
        {"ADD HL,BC", 0x09, 0x0FFF, 0x0001, 0xFFFE, 0x1000, 1, 0},
        {"ADD HL,DE", 0x19, 0xF800, 0x0900, 0xFFFE, 0x0100, 1, 1},
        {"ADD HL,SP", 0x39, 0x1234, 0, 0x0111, 0x1345, 0, 0},
        {"ADD HL,SP carry", 0x39, 0x0001, 0, 0xFFFF, 0x0000, 1, 1},
        // regSP left at 0x10000 by a POP enters at its full width.
        {"ADD HL,SP past 0xFFFF", 0x39, 0x0001, 0, 0x10000, 0x0001, 0, 1},
    };
    for (const auto& c : cases) {
        for (int z = 0; z <= 1; ++z) {
            auto m = CodeMachine({c.op});
            SetHL(*m, c.hl);
            m->regB = m->regD = uint8_t(c.rr >> 8);
            m->regC = m->regE = uint8_t(c.rr);
            m->regSP = c.sp;
            SetFlags(*m, z, 1, !c.h, !c.c);
            Interpret(*m, 1);
            EXPECT_EQ(GetHL(*m), c.result) << c.name;
            ExpectFlags(*m, {z, 0, c.h, c.c}, c.name);
            EXPECT_EQ(m->regSP, c.sp) << c.name;
        }
    }
}

TEST(AluTest, StackPointerOffsetSetsFlagsFromTheUnsignedByte) {
    struct Case {
        int32_t sp;
        int u;
        int result, h, c;
    };
    const Case cases[] = {
        {0xFFFC, 0xFE, 0xFFFA, 1, 1}, {0xFFF8, 0x02, 0xFFFA, 0, 0},  {0x0FFF, 0x01, 0x1000, 1, 0},
        {0x00FF, 0x01, 0x0100, 0, 0}, {0x0000, 0xFF, 0xFFFF, 0, 0},  {0xFFFF, 0x01, 0x0000, 1, 1},
        {0x0005, 0x80, 0xFF85, 0, 0}, {0x10000, 0x01, 0x0001, 0, 1},
    };
    for (const auto& c : cases) {
        // ADD SP,e: the result goes to SP.
        auto add = CodeMachine({0xE8, uint8_t(c.u)});
        add->regSP = c.sp;
        SetFlags(*add, 1, 1, !c.h, !c.c);
        Interpret(*add, 1);
        const std::string what = "sp=" + std::to_string(c.sp) + " u=" + std::to_string(c.u);
        EXPECT_EQ(add->regSP, c.result) << "ADD SP,e " << what;
        ExpectFlags(*add, {0, 0, c.h, c.c}, "ADD SP,e " + what);
        EXPECT_EQ(add->regPC, 0x102);

        // LD HL,SP+e: the same result goes to HL, SP stays.
        auto load = CodeMachine({0xF8, uint8_t(c.u)});
        load->regSP = c.sp;
        SetFlags(*load, 1, 1, !c.h, !c.c);
        Interpret(*load, 1);
        EXPECT_EQ(GetHL(*load), c.result) << "LD HL,SP+e " << what;
        EXPECT_EQ(load->regSP, c.sp) << "LD HL,SP+e " << what;
        ExpectFlags(*load, {0, 0, c.h, c.c}, "LD HL,SP+e " + what);
        EXPECT_EQ(load->regPC, 0x102);
    }
}

}  // namespace
}  // namespace wenlo::test
