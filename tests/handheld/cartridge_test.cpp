// The handheld's bank controllers, battery files and state file.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/console.h"
#include "handheld/battery.h"
#include "handheld/bus.h"
#include "handheld/state_file.h"
#include "tests/handheld/handheld_fixture.h"

namespace wenlo::test {
namespace {

// A cartridge of `banks` banks whose every bank holds its own number at 0x4000
// of its window, with header type and RAM size code.
RomBuilder BankedRom(int banks, uint8_t type, uint8_t ramCode) {
    RomBuilder rom(banks, type);
    for (int b = 0; b < banks; ++b)
        rom.Bytes()[size_t(b) * 0x4000] = uint8_t(b), rom.Bytes()[size_t(b) * 0x4000 + 1] = uint8_t(b >> 8);
    rom.Bytes()[0x149] = ramCode;
    return rom;
}

int BankAt(hh::Handheld& h, uint16_t address) {
    return hh::BusRead(h, address) | hh::BusRead(h, uint16_t(address + 1)) << 8;
}

TEST(HandheldMbc, RomBanksAsEachControllerMapsThem) {
    struct Write {
        uint16_t address;
        uint8_t value;
    };
    struct Case {
        const char* what;
        uint8_t type;
        int banks;
        std::vector<Write> writes;
        int upper, lower;  // bank seen at 0x4000 and at 0x0000
    };
    const Case cases[] = {
        {"no controller", 0x00, 2, {{0x2000, 5}}, 1, 0},
        {"MBC1 bank 0 selects 1", 0x01, 8, {{0x2000, 0}}, 1, 0},
        {"MBC1 bank 5", 0x01, 8, {{0x2000, 5}}, 5, 0},
        {"MBC1 bank beyond the file wraps", 0x01, 8, {{0x2000, 13}}, 5, 0},
        {"MBC1 upper bits", 0x01, 128, {{0x2000, 2}, {0x4000, 1}}, 0x22, 0},
        {"MBC1 mode 1 maps 0x20 low", 0x01, 128, {{0x4000, 1}, {0x6000, 1}}, 0x21, 0x20},
        {"MBC1 0x20 reads as 0x21", 0x01, 128, {{0x2000, 0}, {0x4000, 1}}, 0x21, 0},
        {"MBC2 bank by address bit 8", 0x05, 16, {{0x2100, 7}}, 7, 0},
        {"MBC2 without bit 8: RAM enable", 0x05, 16, {{0x2000, 7}}, 1, 0},
        {"MBC3 seven bits", 0x11, 128, {{0x2000, 0x45}}, 0x45, 0},
        {"MBC5 bank 0 allowed", 0x19, 8, {{0x2000, 0}}, 0, 0},
        {"MBC5 ninth bit", 0x19, 512, {{0x2000, 0x02}, {0x3000, 1}}, 0x102, 0},
        {"unknown type runs as MBC5", 0x20, 8, {{0x2000, 3}}, 3, 0},
    };
    for (const Case& c : cases) {
        auto h = MakeHandheld(BankedRom(c.banks, c.type, 0));
        for (const Write& w : c.writes) hh::BusWrite(*h, w.address, w.value);
        EXPECT_EQ(BankAt(*h, 0x4000), c.upper) << c.what;
        EXPECT_EQ(BankAt(*h, 0x0000), c.lower) << c.what;
    }
}

TEST(HandheldMbc, CartridgeRamEnableBanksAndMbc2Nibbles) {
    auto h = MakeHandheld(BankedRom(4, 0x1A, 0x03));  // MBC5 + RAM, 32 KiB
    hh::BusWrite(*h, 0xA000, 0x11);
    EXPECT_EQ(hh::BusRead(*h, 0xA000), 0xFF);  // disabled: nothing written, reads high
    hh::BusWrite(*h, 0x0000, 0x0A);
    hh::BusWrite(*h, 0x4000, 2);
    hh::BusWrite(*h, 0xA000, 0x22);
    hh::BusWrite(*h, 0x4000, 0);
    hh::BusWrite(*h, 0xA000, 0x33);
    EXPECT_EQ(h->cartRam[2 * 0x2000], 0x22);
    EXPECT_EQ(hh::BusRead(*h, 0xA000), 0x33);
    EXPECT_TRUE(h->ramDirty);

    auto m2 = MakeHandheld(BankedRom(4, 0x06, 0));  // MBC2: 512 half-bytes
    hh::BusWrite(*m2, 0x0000, 0x0A);
    hh::BusWrite(*m2, 0xA005, 0xAB);
    EXPECT_EQ(hh::BusRead(*m2, 0xA005), 0xFB);  // upper nibble reads 1s
    EXPECT_EQ(hh::BusRead(*m2, 0xA205), 0xFB);  // echoed every 512 bytes
}

TEST(HandheldMbc, Mbc3ClockLatchesHaltsAndCarries) {
    auto h = MakeHandheld(BankedRom(4, 0x10, 0x02));  // MBC3 + timer + RAM + battery
    hh::BusWrite(*h, 0x0000, 0x0A);
    h->now += 3 * 4194304ull;  // three seconds of play
    hh::BusWrite(*h, 0x6000, 0);
    hh::BusWrite(*h, 0x6000, 1);
    hh::BusWrite(*h, 0x4000, 0x08);
    EXPECT_EQ(hh::BusRead(*h, 0xA000), 3);
    h->now += 4194304ull;
    EXPECT_EQ(hh::BusRead(*h, 0xA000), 3);  // latched: unchanged until the next latch

    hh::Rtc r;
    r.regs = {59, 59, 23, 0xFF, 0x01};  // day 511, 23:59:59
    hh::RtcAdvanceSeconds(r, 1);
    EXPECT_EQ(r.regs[3], 0);
    EXPECT_EQ(r.regs[4], 0x80);  // day 0 with the carry
    r.regs[4] |= 0x40;           // halted: time does not pass
    hh::RtcAdvanceSeconds(r, 1000);
    EXPECT_EQ(r.regs[0], 0);
    hh::Rtc far;
    hh::RtcAdvanceSeconds(far, int64_t(86400) * 3'000'000);  // millions of days: modulo 512, carry
    EXPECT_EQ(far.regs[3] | (far.regs[4] & 1) << 8, (3'000'000 % 512));
    EXPECT_TRUE(far.regs[4] & 0x80);
}

TEST(HandheldBattery, RawRamWithTheClockFooter) {
    auto h = MakeHandheld(BankedRom(4, 0x10, 0x02));
    h->cartRam[7] = 0x5A;
    h->mbc.rtc.regs = {10, 20, 3, 4, 1};
    const std::vector<uint8_t> file = hh::BatteryImage(*h, 1'000'000);
    ASSERT_EQ(file.size(), 0x2000 + hh::kRtcFooterSize);
    EXPECT_EQ(file[7], 0x5A);
    EXPECT_EQ(file[0x2000 + 4], 20);  // minutes, the second 32-bit word
    EXPECT_EQ(file[0x2000 + 40] | file[0x2000 + 41] << 8 | file[0x2000 + 42] << 16, 1'000'000);

    // Loaded 100 s later the clock has run on; loaded "before" it was saved
    // (a time in the future), it has not.
    struct Case {
        int64_t now;
        uint8_t seconds;
    };
    for (const Case c : {Case{1'000'100, 50}, Case{999'000, 10}}) {
        auto g = MakeHandheld(BankedRom(4, 0x10, 0x02));
        ASSERT_EQ(hh::LoadBatteryImage(*g, file, c.now), hh::BatteryLoad::Loaded);
        EXPECT_EQ(g->cartRam[7], 0x5A);
        EXPECT_EQ(g->mbc.rtc.regs[0], c.seconds);
    }
}

TEST(HandheldBattery, AFileOfAnotherSizeIsRefusedAndChangesNothing) {
    auto h = MakeHandheld(BankedRom(4, 0x03, 0x02));  // 8 KiB
    for (size_t size : {size_t(0), size_t(0x800), size_t(0x2001), size_t(0x8000)}) {
        const std::vector<uint8_t> file(size, 0x77);
        EXPECT_EQ(hh::LoadBatteryImage(*h, file, 0), hh::BatteryLoad::WrongSize) << size;
        EXPECT_EQ(std::count(h->cartRam.begin(), h->cartRam.end(), 0), 0x2000) << size;
    }
}

TEST(HandheldState, RoundTripsAndRefusesWhatIsNotItsOwn) {
    auto h = MakeHandheld(BankedRom(4, 0x03, 0x02));
    // Long enough for times that are not caught up (the last DMA, a silent
    // channel, the counter's base) to lie far behind, as after any real game.
    h->apu.ch4.nextTick = 0;
    h->dma.start = 0;
    for (int i = 0; i < 1500000; ++i) hh::CpuStep(*h);
    h->wram[0x123] = 0x42;
    h->cartRam[9] = 0x24;
    const std::vector<uint8_t> file = hh::SerializeHandheld(*h);

    auto back = MakeHandheld(BankedRom(4, 0x03, 0x02));
    std::string why;
    ASSERT_TRUE(hh::DeserializeHandheld(*back, file, &why)) << why;
    EXPECT_EQ(back->now, h->now);
    EXPECT_EQ(back->cpu.pc, h->cpu.pc);
    EXPECT_EQ(back->wram[0x123], 0x42);
    EXPECT_EQ(back->cartRam[9], 0x24);
    EXPECT_EQ(hh::SerializeHandheld(*back), file);

    struct Bad {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    std::vector<uint8_t> damaged = file, truncated(file.begin(), file.end() - 1), foreign = file;
    damaged[file.size() / 2] ^= 1;
    foreign[0] = 'X';
    // Files whose checksums hold but whose values no run produces: an index
    // past a table, a bank past the cartridge, a time far from now.
    const auto crafted = [&](auto&& change) {
        auto c = MakeHandheld(BankedRom(4, 0x03, 0x02));
        EXPECT_TRUE(hh::DeserializeHandheld(*c, file, nullptr));
        change(*c);
        return hh::SerializeHandheld(*c);
    };
    const Bad bad[] = {
        {"damaged", damaged, "damaged"},
        {"truncated", truncated, "truncated"},
        {"foreign", foreign, "not a state file"},
        {"empty", {}, "not a state file"},
        {"duty 4", crafted([](hh::Handheld& c) { c.apu.ch1.duty = 4; }), "damaged"},
        {"wave sample 32", crafted([](hh::Handheld& c) { c.apu.ch3.position = 32; }), "damaged"},
        {"sprite entry 40", crafted([](hh::Handheld& c) { c.ppu.spriteCount = 1, c.ppu.sprites[0] = 40; }),
         "damaged"},
        {"line 150 drawn", crafted([](hh::Handheld& c) { c.ppu.line = 150, c.ppu.mode0At = c.now + 8; }),
         "damaged"},
        {"bank past the end", crafted([](hh::Handheld& c) { c.mbc.rom1 = 4 * 0x4000; }), "damaged"},
        {"another controller", crafted([](hh::Handheld& c) { c.mbc.kind = hh::MbcKind::Mbc5; }), "damaged"},
        {"the picture's next line a minute on",
         crafted([](hh::Handheld& c) { c.ppu.nextAt = c.now + 60ull * 4194304; }), "damaged"},
        {"sound an hour behind",
         crafted([](hh::Handheld& c) { c.now += 3600ull * 4194304, c.ppu.nextAt = c.now; }), "damaged"},
    };
    for (const Bad& b : bad) {
        auto m = MakeHandheld(BankedRom(4, 0x03, 0x02));
        const std::vector<uint8_t> before = hh::SerializeHandheld(*m);
        EXPECT_FALSE(hh::DeserializeHandheld(*m, b.bytes, &why)) << b.what;
        EXPECT_NE(why.find(b.reason), std::string::npos) << b.what << ": " << why;
        EXPECT_EQ(hh::SerializeHandheld(*m), before) << b.what;
    }
    auto other = MakeHandheld(BankedRom(8, 0x03, 0x02));
    EXPECT_FALSE(hh::DeserializeHandheld(*other, file, &why));
    EXPECT_NE(why.find("another cartridge"), std::string::npos);
}

}  // namespace
}  // namespace wenlo::test

namespace wenlo::test {
namespace {

TEST(HandheldConsole, RunsAndStepsWithNoCartridgeAndAfterFreeRom) {
    const auto console = MakeConsole(MachineKind::Handheld);
    for (int round = 0; round < 2; ++round) {
        console->SetRunning(true);
        console->RunFrame();
        int32_t cycles = 0;
        console->DebuggerStep(cycles);
        EXPECT_GT(cycles, 0);
        EXPECT_FALSE(console->Loaded());
        console->Free();
    }
}

}  // namespace
}  // namespace wenlo::test
