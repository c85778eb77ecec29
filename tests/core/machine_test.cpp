#include "core/machine.h"

#include <gtest/gtest.h>

#include "core/bus.h"

namespace wenlo {
namespace {

TEST(MachineTest, ResetGivesPostBootRegisters) {
    auto m = std::make_unique<Machine>();
    ResetMachine(*m);
    EXPECT_EQ(GetAF(*m), 0x01B0);
    EXPECT_EQ(GetBC(*m), 0x0013);
    EXPECT_EQ(GetDE(*m), 0x00D8);
    EXPECT_EQ(GetHL(*m), 0x014D);
    EXPECT_EQ(m->regSP, 0xFFFE);
    EXPECT_EQ(m->regPC, 0x0100);
    EXPECT_EQ(m->IME, 1);
    EXPECT_EQ(m->LCDC, 0x91);
    EXPECT_EQ(m->BGP, 0xFC);
    EXPECT_EQ(m->OBP0, 0xFF);
    EXPECT_EQ(m->OBP1, 0xFF);
}

TEST(MachineTest, ResetStoresPostBootSoundAndClearsTheRest) {
    auto m = std::make_unique<Machine>();
    m->SoundRegs.fill(0x55);
    ResetMachine(*m);
    struct Case {
        int address;
        uint8_t value;
    };
    const Case cases[] = {{0xFF10, 0x80}, {0xFF11, 0xBF}, {0xFF12, 0xF3}, {0xFF13, 0x00},
                          {0xFF14, 0xBF}, {0xFF15, 0x00}, {0xFF1A, 0x7F}, {0xFF25, 0xF3},
                          {0xFF26, 0xF1}, {0xFF27, 0x00}, {0xFF30, 0x00}, {0xFF3F, 0x00}};
    for (const auto& c : cases) EXPECT_EQ(ReadByte(*m, c.address), c.value) << std::hex << c.address;
}

TEST(MachineTest, ResetKeepsScrollDivAndRomWindowButClearsRam) {
    auto m = std::make_unique<Machine>();
    m->SCX = 7;
    m->SCY = 9;
    m->DIV = 42;
    m->P1 = 0xEE;
    m->RomWindow[0x4000] = 0x33;
    m->RamBanks[0][1] = 1;
    m->RamBanks[15][2] = 2;
    m->VideoRam[3] = 3;
    m->Oam[4] = 4;
    m->HighRam[5] = 5;
    ResetMachine(*m);
    EXPECT_EQ(m->SCX, 7);
    EXPECT_EQ(m->SCY, 9);
    EXPECT_EQ(m->DIV, 42);
    EXPECT_EQ(m->P1, 0xEE);
    EXPECT_EQ(m->RomWindow[0x4000], 0x33);
    EXPECT_EQ(m->RamBanks[0][1], 0);
    EXPECT_EQ(m->RamBanks[15][2], 0);
    EXPECT_EQ(m->VideoRam[3], 0);
    EXPECT_EQ(m->Oam[4], 0);
    EXPECT_EQ(m->HighRam[5], 0);
}

TEST(MachineTest, ResetEnablesCommandsThroughTheHost) {
    struct CountingHost : Host {
        int enabled = 0;
        void EnableMachineCommands() override { ++enabled; }
    } host;
    auto m = std::make_unique<Machine>();
    m->host = &host;
    ResetMachine(*m);
    EXPECT_EQ(host.enabled, 1);
}

}  // namespace
}  // namespace wenlo
