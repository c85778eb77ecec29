#include "core/bus.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/bus_internal.h"
#include "core/machine.h"
#include "tests/support/rom_builder.h"

namespace wenlo {
namespace {

using Write = std::pair<int32_t, uint8_t>;

// A cartridge whose every byte tells where it lies in the file: the bank
// number at each bank's first byte, and a pattern of the offset elsewhere.
test::RomBuilder MarkedCartridge(int banks, uint8_t cartType) {
    test::RomBuilder rom(banks, cartType, "BUS");
    auto& bytes = rom.Bytes();
    for (size_t i = 0x150; i < bytes.size(); ++i) bytes[i] = uint8_t((i >> 8) ^ i);
    for (int bank = 1; bank < banks; ++bank) bytes[size_t(bank) * 0x4000] = uint8_t(bank);
    return rom;
}

// 0x4000-0x7FFF shows bank `bank` of the cartridge file.
void ExpectBankShown(const Machine& m, int bank, const char* name) {
    const size_t base = size_t(bank) * 0x4000;
    for (int32_t a = 0x4000; a < 0x8000; a += 0x3FF) {
        ASSERT_EQ(ReadByte(m, a), m.RomImage[base + size_t(a - 0x4000)]) << name << " at " << std::hex << a;
    }
    ASSERT_EQ(ReadByte(m, 0x7FFF), m.RomImage[base + 0x3FFF]) << name;
}

void Apply(Machine& m, const std::vector<Write>& writes) {
    for (const auto& [address, value] : writes) WriteByte(m, address, value);
}

TEST(BusTest, CartridgeRamSwitch) {
    struct Case {
        const char* name;
        uint8_t cartType;
        uint8_t value;
        int16_t enabled;
    };
    const Case cases[] = {
        {"0x0A enables", 0x01, 0x0A, 1},
        {"upper nibble ignored", 0x01, 0x1A, 1},
        {"0xFA enables", 0x03, 0xFA, 1},
        {"0x0B disables", 0x01, 0x0B, 0},
        {"0x00 disables", 0x02, 0x00, 0},
        {"0xA0 is not 0x0A", 0x01, 0xA0, 0},
        {"no controller: no effect", 0x00, 0x0A, 0},
    };
    for (const Case& c : cases) {
        for (int32_t address : {0x0000, 0x1000, 0x1FFF}) {
            auto m = test::MakeMachine(MarkedCartridge(4, c.cartType));
            m->RamEnabled = c.enabled ? 0 : 1;  // the write must change it
            if (c.cartType == 0x00) m->RamEnabled = 0;
            WriteByte(*m, address, c.value);
            EXPECT_EQ(m->RamEnabled, c.enabled) << c.name << " at " << std::hex << address;
            // The switch decides whether 0xA000 keeps what is written there.
            WriteByte(*m, 0xA010, 0x5E);
            EXPECT_EQ(ReadByte(*m, 0xA010), c.enabled ? 0x5E : 0x00) << c.name;
            EXPECT_EQ(m->RamBanks[1][0x10], c.enabled ? 0x5E : 0x00) << c.name;
        }
    }
}

TEST(BusTest, CartridgeRamReadNeedsNonZeroWriteNeedsExactlyOne) {
    auto m = test::MakeMachine(MarkedCartridge(4, 0x01));
    m->RamBanks[1][0x123] = 0x77;
    m->RamEnabled = -1;  // a value only a state file can bring
    EXPECT_EQ(ReadByte(*m, 0xA123), 0x77);
    WriteByte(*m, 0xA123, 0x11);
    EXPECT_EQ(m->RamBanks[1][0x123], 0x77);
}

TEST(BusTest, RomBankSelection) {
    struct Case {
        const char* name;
        int banks;
        uint8_t cartType;
        std::vector<Write> writes;
        int bank;
    };
    const Case cases[] = {
        // 64 KiB: mask 3.
        {"64K 0x05 masks to 1", 4, 0x01, {{0x2000, 0x05}}, 1},
        {"64K 0x00 becomes 1", 4, 0x01, {{0x2000, 0x00}}, 1},
        {"64K 0x02", 4, 0x01, {{0x2000, 0x02}}, 2},
        {"64K 0x03 at the top of the range", 4, 0x01, {{0x3FFF, 0x03}}, 3},
        {"64K 0x04 masks to 0, becomes 1", 4, 0x01, {{0x2000, 0x04}}, 1},
        {"64K 0x1F masks to 3", 4, 0x01, {{0x2000, 0x1F}}, 3},
        {"64K upper bits masked away", 4, 0x01, {{0x4000, 0x03}, {0x2000, 0x02}}, 2},
        // 2 MiB: mask 0x7F, upper bits through 0x4000-0x5FFF.
        {"2M 0x01 to 0x4000 then 0x00", 128, 0x01, {{0x4000, 0x01}, {0x2000, 0x00}}, 0x20},
        {"2M upper bits kept on a low write", 128, 0x01, {{0x4000, 0x02}, {0x2000, 0x05}}, 0x45},
        {"2M low bits kept on an upper write", 128, 0x01, {{0x2000, 0x07}, {0x5FFF, 0x03}}, 0x67},
        {"2M upper write uses two bits", 128, 0x01, {{0x2000, 0x01}, {0x4000, 0xFE}}, 0x41},
        {"2M 0x20 written low gives 1", 128, 0x01, {{0x2000, 0x20}}, 1},
        {"2M mode 1 keeps the upper bits", 128, 0x01, {{0x4000, 0x01}, {0x6000, 0x01}, {0x2000, 0x03}}, 0x23},
        {"2M mode 1: 0x4000 selects RAM", 128, 0x01, {{0x2000, 0x03}, {0x6000, 0x01}, {0x4000, 0x02}}, 3},
        // 1 MiB: mask 0x3F drops bit 6.
        {"1M 0x02 to 0x4000 masks to 1", 64, 0x01, {{0x4000, 0x02}}, 1},
        {"1M 0x01 to 0x4000", 64, 0x01, {{0x4000, 0x01}, {0x2000, 0x04}}, 0x24},
        // Types 0x02 and 0x03 never leave ROM-banking mode.
        {"type 2 ignores the mode", 128, 0x02, {{0x6000, 0x01}, {0x4000, 0x01}, {0x2000, 0x02}}, 0x22},
        {"type 3 ignores the mode", 128, 0x03, {{0x6000, 0x01}, {0x4000, 0x03}}, 0x61},
    };
    for (const Case& c : cases) {
        auto m = test::MakeMachine(MarkedCartridge(c.banks, c.cartType));
        Apply(*m, c.writes);
        EXPECT_EQ(m->RomBank, c.bank) << c.name;
        ExpectBankShown(*m, c.bank, c.name);
        // 0x0000-0x3FFF stays bank 0 whatever is selected.
        EXPECT_EQ(ReadByte(*m, 0x3FFF), m->RomImage[0x3FFF]) << c.name;
        EXPECT_EQ(ReadByte(*m, 0x0147), c.cartType) << c.name;
    }
}

TEST(BusTest, BankingModeOnlyForTypeOne) {
    struct Case {
        uint8_t cartType;
        uint8_t mode;
    };
    const Case cases[] = {{0x01, 1}, {0x02, 0}, {0x03, 0}, {0x00, 0}};
    for (const Case& c : cases) {
        auto m = test::MakeMachine(MarkedCartridge(4, c.cartType));
        WriteByte(*m, 0x6000, 0x01);
        EXPECT_EQ(m->BankMode, c.mode) << int(c.cartType);
        WriteByte(*m, 0x7FFF, 0xFE);  // bit 0 only
        EXPECT_EQ(m->BankMode, 0) << int(c.cartType);
    }
}

TEST(BusTest, WithoutAControllerRomWritesChangeNothing) {
    auto m = test::MakeMachine(MarkedCartridge(2, 0x00));
    const auto window = m->RomWindow;
    const std::vector<Write> writes = {{0x0000, 0x0A}, {0x2000, 0x02}, {0x3FFF, 0x01},
                                       {0x4000, 0x03}, {0x6000, 0x01}, {0x7FFF, 0xFF}};
    Apply(*m, writes);
    EXPECT_TRUE(m->RomWindow == window);
    EXPECT_EQ(m->RomBank, 1);
    EXPECT_EQ(m->BankMode, 0);
    EXPECT_EQ(m->RamEnabled, 0);
}

TEST(BusTest, EveryBankWriteCopiesAgain) {
    auto m = test::MakeMachine(MarkedCartridge(4, 0x01));
    WriteByte(*m, 0x2000, 2);
    m->RomWindow[0x4000] = 0xEE;  // as if something had spoilt the copy
    WriteByte(*m, 0x2000, 2);     // same bank: copied all the same
    EXPECT_EQ(ReadByte(*m, 0x4000), 2);
}

TEST(BusTest, CartridgeRamBankZeroIsWorkRam) {
    auto m = test::MakeMachine(MarkedCartridge(4, 0x01));
    Apply(*m, {{0x0000, 0x0A}, {0x6000, 0x01}, {0x4000, 0x00}});
    ASSERT_EQ(m->RamBank, 0);
    WriteByte(*m, 0xA000, 0x77);
    EXPECT_EQ(ReadByte(*m, 0xC000), 0x77);
    WriteByte(*m, 0xDFFF, 0x66);
    EXPECT_EQ(ReadByte(*m, 0xBFFF), 0x66);
    // Bank 1 is its own slot.
    WriteByte(*m, 0x4000, 0x01);
    WriteByte(*m, 0xA000, 0x55);
    EXPECT_EQ(ReadByte(*m, 0xC000), 0x77);
    EXPECT_EQ(m->RamBanks[1][0], 0x55);
}

TEST(BusTest, MemoryRegionsReadBackWhatWasWritten) {
    struct Case {
        const char* name;
        int32_t writeAt;
        int32_t readAt;
        uint8_t Machine::*field;  // a register field that must hold the value, or null
    };
    const Case cases[] = {
        {"video RAM", 0x8000, 0x8000, nullptr},
        {"video RAM end", 0x9FFF, 0x9FFF, nullptr},
        {"echo to work RAM", 0xE123, 0xC123, nullptr},
        {"work RAM to echo", 0xC123, 0xE123, nullptr},
        {"echo end", 0xFDFF, 0xDDFF, nullptr},
        {"work RAM top, no echo above", 0xDFFF, 0xDFFF, nullptr},
        {"sprite table", 0xFE45, 0xFE45, nullptr},
        {"sprite table end", 0xFE9F, 0xFE9F, nullptr},
        {"sound first", 0xFF10, 0xFF10, nullptr},
        {"sound last", 0xFF3F, 0xFF3F, nullptr},
        {"0xFF4C is RAM", 0xFF4C, 0xFF4C, nullptr},
        {"0xFF50 is RAM", 0xFF50, 0xFF50, nullptr},
        {"0xFF7F is RAM", 0xFF7F, 0xFF7F, nullptr},
        {"high RAM", 0xFF80, 0xFF80, nullptr},
        {"high RAM end", 0xFFFE, 0xFFFE, nullptr},
        {"TIMA", 0xFF05, 0xFF05, &Machine::TIMA},
        {"TMA", 0xFF06, 0xFF06, &Machine::TMA},
        {"IF all bits", 0xFF0F, 0xFF0F, &Machine::IF},
        {"LCDC", 0xFF40, 0xFF40, &Machine::LCDC},
        {"STAT all bits", 0xFF41, 0xFF41, &Machine::STAT},
        {"SCY", 0xFF42, 0xFF42, &Machine::SCY},
        {"SCX", 0xFF43, 0xFF43, &Machine::SCX},
        {"LYC", 0xFF45, 0xFF45, &Machine::LYC},
        {"BGP", 0xFF47, 0xFF47, &Machine::BGP},
        {"OBP0", 0xFF48, 0xFF48, &Machine::OBP0},
        {"OBP1", 0xFF49, 0xFF49, &Machine::OBP1},
        {"IE", 0xFFFF, 0xFFFF, &Machine::IE},
    };
    auto m = test::MakeMachine(MarkedCartridge(2, 0x00));
    uint8_t value = 0x3B;
    for (const Case& c : cases) {
        value = uint8_t(value * 5 + 1);
        WriteByte(*m, c.writeAt, value);
        EXPECT_EQ(ReadByte(*m, c.readAt), value) << c.name;
        if (c.field) {
            EXPECT_EQ((*m).*c.field, value) << c.name;
        }
    }
    // The arrays behind them, by index.
    EXPECT_EQ(m->Oam[0x45], ReadByte(*m, 0xFE45));
    EXPECT_EQ(m->SoundRegs[0x2F], ReadByte(*m, 0xFF3F));
    EXPECT_EQ(m->HighRam[0xFF50 - 0xFF4C], ReadByte(*m, 0xFF50));
    EXPECT_EQ(m->HighRam[0xFFFE - 0xFF4C], ReadByte(*m, 0xFFFE));
    EXPECT_EQ(m->RamBanks[0][0x123], ReadByte(*m, 0xC123));
    EXPECT_EQ(m->VideoRam[0x1FFF], ReadByte(*m, 0x9FFF));
}

TEST(BusTest, WritesThatAreDroppedOrClear) {
    struct Case {
        const char* name;
        int32_t address;
        uint8_t readBack;
    };
    const Case cases[] = {
        {"unusable area", 0xFEA5, 0x00},  {"unusable end", 0xFEFF, 0x00}, {"serial", 0xFF01, 0x00},
        {"serial control", 0xFF02, 0x00}, {"0xFF03", 0xFF03, 0x00},       {"timer control", 0xFF07, 0x00},
        {"0xFF0E", 0xFF0E, 0x00},         {"window Y", 0xFF4A, 0x00},     {"window X", 0xFF4B, 0x00},
        {"DMA reads 0", 0xFF46, 0x00},    {"LY clears", 0xFF44, 0x00},    {"DIV clears", 0xFF04, 0x00},
    };
    auto m = test::MakeMachine(MarkedCartridge(2, 0x00));
    m->LY = 0x90;
    m->DIV = 0x42;
    for (const Case& c : cases) {
        WriteByte(*m, c.address, 0xA7);
        EXPECT_EQ(ReadByte(*m, c.address), c.readBack) << c.name;
    }
    EXPECT_EQ(m->LY, 0);
    EXPECT_EQ(m->DIV, 0);
    EXPECT_EQ(m->DMA, 0xA7);  // kept, though it reads 0
}

TEST(BusTest, DroppedWritesTouchNoOtherState) {
    auto m = test::MakeMachine(MarkedCartridge(4, 0x01));
    const int32_t dropped[] = {0xFEA0, 0xFEFF,  0xFF01,  0xFF03,  0xFF07,  0xFF0E,    0xFF4A,   0xFF4B,
                               -1,     -0x4000, 0x10000, 0x1C000, 0x1FF04, INT32_MIN, INT32_MAX};
    for (int32_t address : dropped) {
        auto before = std::make_unique<Machine>(*m);
        WriteByte(*m, address, 0x5A);
        EXPECT_EQ(ReadByte(*m, address), 0) << std::hex << address;
        EXPECT_TRUE(m->RomWindow == before->RomWindow && m->VideoRam == before->VideoRam &&
                    m->RamBanks == before->RamBanks && m->Oam == before->Oam &&
                    m->HighRam == before->HighRam && m->SoundRegs == before->SoundRegs)
            << std::hex << address;
        EXPECT_TRUE(m->DIV == before->DIV && m->LY == before->LY && m->P1 == before->P1 &&
                    m->IE == before->IE && m->RomBank == before->RomBank &&
                    m->RamEnabled == before->RamEnabled)
            << std::hex << address;
    }
}

TEST(BusTest, AddressesOutsideSixteenBitsReadZero) {
    auto m = test::MakeMachine(MarkedCartridge(2, 0x00));
    m->RamBanks[0].fill(0x99);
    m->HighRam.fill(0x99);
    m->RomWindow.fill(0x99);
    m->IE = 0x99;
    // Each would alias a filled byte if only the low 16 bits were used.
    for (int32_t address : {-1, -2, -0x4000, 0x10000, 0x1C000, 0x1FFFF, 0x2FF80, INT32_MIN, INT32_MAX})
        EXPECT_EQ(ReadByte(*m, address), 0) << std::hex << address;
}

TEST(BusTest, SpriteDmaCopiesThroughTheBus) {
    struct Case {
        const char* name;
        uint8_t page;
    };
    const Case cases[] = {{"work RAM", 0xC0},      {"echo", 0xE0},      {"ROM bank 0", 0x01},
                          {"switched bank", 0x40}, {"video RAM", 0x9F}, {"I/O page", 0xFF}};
    auto m = test::MakeMachine(MarkedCartridge(4, 0x01));
    WriteByte(*m, 0x2000, 2);
    for (int i = 0; i < 0x2000; ++i) {
        m->RamBanks[0][size_t(i)] = uint8_t(i * 3 + 1);
        m->VideoRam[size_t(i)] = uint8_t(i * 7 + 5);
    }
    m->IE = 0x1F;
    m->SCX = 0x21;
    for (const Case& c : cases) {
        m->Oam.fill(0xEE);
        std::vector<uint8_t> expected;
        for (int i = 0; i < 160; ++i) expected.push_back(ReadByte(*m, c.page * 256 + i));
        WriteByte(*m, 0xFF46, c.page);
        EXPECT_EQ(std::vector<uint8_t>(m->Oam.begin(), m->Oam.end()), expected) << c.name;
        EXPECT_EQ(m->DMA, c.page) << c.name;
    }
    // The work RAM case byte for byte: 0xC000-0xC09F.
    WriteByte(*m, 0xFF46, 0xC0);
    for (int i = 0; i < 160; ++i) ASSERT_EQ(m->Oam[size_t(i)], uint8_t(i * 3 + 1)) << i;
}

// ---- Inline paths (bus.h) against the full decode ------------------------------

// A machine whose every region holds bytes that tell where they lie, so that a
// byte read from the wrong region or offset shows.
std::unique_ptr<Machine> PatternedMachine(bool ramEnabled, uint8_t ramBank) {
    auto m = test::MakeMachine(MarkedCartridge(4, 0x01));
    WriteByte(*m, 0x2000, 3);  // a switched bank unlike bank 0
    for (size_t slot = 0; slot < m->RamBanks.size(); ++slot)
        for (size_t i = 0; i < 0x2000; ++i) m->RamBanks[slot][i] = uint8_t(i * 7 + slot * 31 + 1);
    for (size_t i = 0; i < m->VideoRam.size(); ++i) m->VideoRam[i] = uint8_t(i * 5 + 3);
    for (size_t i = 0; i < m->HighRam.size(); ++i) m->HighRam[i] = uint8_t(i * 11 + 9);
    for (size_t i = 0; i < m->Oam.size(); ++i) m->Oam[i] = uint8_t(i * 13 + 2);
    for (size_t i = 0; i < m->SoundRegs.size(); ++i) m->SoundRegs[i] = uint8_t(i + 0x40);
    m->IE = 0x1D;
    m->SCX = 0x77;
    m->RamEnabled = ramEnabled ? 1 : 0;
    m->RamBank = ramBank;
    return m;
}

// Every address of the map and some beyond it, each region's first and last
// byte included: 0x7FFF/0x8000, 0x9FFF/0xA000, 0xDFFF/0xE000 (echo),
// 0xFF4B/0xFF4C, 0xFF7F/0xFF80, 0xFFFE/0xFFFF.
std::vector<uint32_t> AllAddresses() {
    std::vector<uint32_t> all;
    for (uint32_t a = 0; a <= 0x10001; ++a) all.push_back(a);
    for (uint32_t a : {0xFFFFFFFFu, 0xFFFFFFFEu, 0x1C000u, 0x1FF80u, 0x80000000u, 0x7FFFFFFFu})
        all.push_back(a);
    return all;
}

TEST(BusFastPathTest, ReadsGiveTheFullDecodesAnswer) {
    struct Case {
        const char* name;
        bool ramEnabled;
        uint8_t ramBank;
    };
    const Case cases[] = {
        {"cartridge RAM off", false, 2}, {"cartridge RAM bank 2", true, 2}, {"bank 0", true, 0}};
    for (const Case& c : cases) {
        auto m = PatternedMachine(c.ramEnabled, c.ramBank);
        for (uint32_t a : AllAddresses()) {
            const int expect = ReadByte(*m, int32_t(a));
            ASSERT_EQ(ReadByteFast(*m, a), expect) << c.name << " at " << std::hex << a;
            const int word = expect | ReadByte(*m, int32_t(a + 1)) << 8;
            ASSERT_EQ(ReadWordFast(*m, a), word) << c.name << " word at " << std::hex << a;
        }
    }
}

// The same writes through the inline paths and through WriteByte leave two
// machines alike, side effects (banking, DMA, LY and DIV clear) included.
bool SameMachine(const Machine& a, const Machine& b) {
    return a.RomWindow == b.RomWindow && a.VideoRam == b.VideoRam && a.RamBanks == b.RamBanks &&
           a.Oam == b.Oam && a.HighRam == b.HighRam && a.SoundRegs == b.SoundRegs && a.P1 == b.P1 &&
           a.DIV == b.DIV && a.TIMA == b.TIMA && a.TMA == b.TMA && a.IF == b.IF && a.LCDC == b.LCDC &&
           a.STAT == b.STAT && a.SCY == b.SCY && a.SCX == b.SCX && a.LY == b.LY && a.LYC == b.LYC &&
           a.DMA == b.DMA && a.BGP == b.BGP && a.OBP0 == b.OBP0 && a.OBP1 == b.OBP1 && a.IE == b.IE &&
           a.RomBank == b.RomBank && a.RamBank == b.RamBank && a.BankMode == b.BankMode &&
           a.RamEnabled == b.RamEnabled;
}

TEST(BusFastPathTest, WritesHaveTheFullDecodesEffect) {
    // Around every edge of the fast regions and of the registers beside them,
    // plus a sample of the whole map (every 0x3F bytes: not every ROM write,
    // as each bank switch copies 16 KiB).
    std::vector<uint32_t> addresses;
    for (uint32_t edge : {0x0000u, 0x2000u, 0x4000u, 0x6000u, 0x8000u, 0xA000u, 0xC000u, 0xE000u, 0xFE00u,
                          0xFEA0u, 0xFF00u, 0xFF10u, 0xFF40u, 0xFF4Cu, 0xFF80u, 0xFFFFu, 0x10000u})
        for (uint32_t a = edge - 3; a != edge + 3; ++a) addresses.push_back(a);
    for (uint32_t a = 0; a < 0x10000; a += 0x3F) addresses.push_back(a);
    for (bool ramEnabled : {false, true}) {
        auto fast = PatternedMachine(ramEnabled, 1);
        auto full = PatternedMachine(ramEnabled, 1);
        uint8_t v = 0x21;
        for (uint32_t a : addresses) {
            v = uint8_t(v * 3 + 7);
            WriteByteFast(*fast, a, v);
            WriteByte(*full, int32_t(a), v);
            ASSERT_TRUE(SameMachine(*fast, *full)) << "byte at " << std::hex << a;
            // Low byte first, then the high byte, as two writes would do.
            WriteWordFast(*fast, a, uint16_t(v << 8 | uint8_t(~v)));
            WriteByte(*full, int32_t(a), uint8_t(~v));
            WriteByte(*full, int32_t(a + 1), v);
            ASSERT_TRUE(SameMachine(*fast, *full)) << "word at " << std::hex << a;
        }
    }
}

TEST(BusTest, SpriteDmaFromEveryPageCopiesWhatTheBusReads) {
    // Plain pages are copied in one piece, the others byte by byte; the bytes
    // are those 160 reads at the page would give before the copy (a copy from
    // the sprite table itself leaves it as it is).
    for (bool ramEnabled : {false, true}) {
        auto m = PatternedMachine(ramEnabled, 2);
        for (int page = 0; page < 256; ++page) {
            std::vector<uint8_t> expected;
            for (int i = 0; i < 160; ++i) expected.push_back(ReadByte(*m, page * 256 + i));
            WriteByte(*m, 0xFF46, uint8_t(page));
            ASSERT_EQ(std::vector<uint8_t>(m->Oam.begin(), m->Oam.end()), expected)
                << "page " << std::hex << page << (ramEnabled ? " with" : " without") << " cartridge RAM";
        }
    }
}

TEST(BusTest, JoypadRegisterIsComposedOnWrite) {
    struct Case {
        const char* name;
        uint8_t buttons, directions, written, read;
    };
    const Case cases[] = {
        {"A held, buttons selected", 0x01, 0x00, 0x10, 0xEE},
        {"Down held, directions selected", 0x00, 0x08, 0x20, 0xD7},
        {"nothing selected", 0x0F, 0x0F, 0x00, 0xFF},
        {"both selected: buttons", 0x01, 0x02, 0x30, 0xEE},
        {"no key, buttons", 0x00, 0x00, 0x10, 0xEF},
        {"no key, directions", 0x00, 0x00, 0x20, 0xDF},
        {"all buttons", 0x0F, 0x00, 0xD0, 0xE0},
        {"all directions", 0x00, 0x0F, 0xE0, 0xD0},
        {"directions do not show with buttons", 0x00, 0x0F, 0x10, 0xEF},
    };
    for (const Case& c : cases) {
        auto m = test::MakeMachine(MarkedCartridge(2, 0x00));
        m->JoypadButtons = c.buttons;
        m->JoypadDirections = c.directions;
        WriteByte(*m, 0xFF00, c.written);
        EXPECT_EQ(ReadByte(*m, 0xFF00), c.read) << c.name;
        // A key change shows only after the next write.
        m->JoypadButtons = 0x0F;
        m->JoypadDirections = 0x0F;
        EXPECT_EQ(ReadByte(*m, 0xFF00), c.read) << c.name;
    }
}

TEST(BusTest, JoypadRegisterReadsZeroBeforeTheFirstWrite) {
    auto m = std::make_unique<Machine>();
    m->JoypadButtons = 0x0F;
    ResetMachine(*m);
    EXPECT_EQ(ReadByte(*m, 0xFF00), 0x00);
}

TEST(BusTest, ShortFileBanksReadAsFF) {
    struct Case {
        const char* name;
        size_t fileSize;
        uint8_t bank;
        size_t fromFile;  // bytes of the window that come from the file
    };
    const Case cases[] = {
        {"bank 1 of a 20 KiB file", 0x5000, 1, 0x1000},
        {"bank 1 of a one-bank file", 0x4000, 1, 0},
        {"bank 1 of a header-only file", 0x150, 1, 0},
        {"bank 3 of a 56 KiB file", 0xE000, 3, 0x2000},
    };
    for (const Case& c : cases) {
        test::RomBuilder rom(4, 0x01);
        rom.Bytes().resize(c.fileSize);
        for (size_t i = 0x150; i < c.fileSize; ++i) rom.Bytes()[i] = uint8_t(i % 251);
        auto m = test::MakeMachine(rom);
        m->RomBank = c.bank;
        SwitchRomBank(*m);
        const size_t base = size_t(c.bank) * 0x4000;
        for (size_t i = 0; i < 0x4000; ++i) {
            const uint8_t expected = i < c.fromFile ? m->RomImage[base + i] : 0xFF;
            ASSERT_EQ(m->RomWindow[0x4000 + i], expected) << c.name << " at " << i;
        }
    }
}

}  // namespace
}  // namespace wenlo
