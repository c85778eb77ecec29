// Registers as the CPU sees them: the bits that read back, NR52's power
// switch and flags, the length counters with their obscure clocks, and the
// DACs' hold on the channels.
#include <gtest/gtest.h>

#include "tests/audio/apu_rig.h"

namespace wenlo::audio::test {
namespace {

// What each register reads after 0 was written: its write-only and unused
// bits (0xFF10-0xFF2F; NR52 apart).
constexpr uint8_t kMasks[0x20] = {
    0x80, 0x3F, 0x00, 0xFF, 0xBF, 0xFF, 0x3F, 0x00, 0xFF, 0xBF, 0x7F, 0xFF, 0x9F, 0xFF, 0xBF, 0xFF,
    0xFF, 0x00, 0x00, 0xBF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};

TEST(Registers, ReadsGiveTheWrittenBitsOrOne) {
    for (uint8_t reg = 0x10; reg < 0x30; ++reg) {
        if (reg == 0x26) continue;
        for (uint8_t v : {0x00, 0xFF, 0x5A}) {
            Rig r;
            r.Write(reg, v);
            EXPECT_EQ(r.Read(reg), v | kMasks[reg - 0x10])
                << std::hex << "0xFF" << int(reg) << " <- " << int(v);
        }
    }
}

TEST(Registers, WaveRamReadsBackWhileChannel3IsOff) {
    Rig r;
    for (uint8_t i = 0; i < 16; ++i) r.Write(0x30 + i, uint8_t(i * 17 + 3));
    r.Write(0x1A, 0x80);  // DAC on, channel not triggered
    for (uint8_t i = 0; i < 16; ++i) EXPECT_EQ(r.Read(0x30 + i), uint8_t(i * 17 + 3));
}

TEST(Registers, Nr52ShowsPowerAndPlayingChannels) {
    Rig r;
    EXPECT_EQ(r.Read(0x26), 0xF0);
    r.Write(0x26, 0x8F);  // the channel bits are read-only
    EXPECT_EQ(r.Read(0x26), 0xF0);
    r.Write(0x12, 0xF0);
    r.Write(0x14, 0x80);
    EXPECT_EQ(r.Read(0x26), 0xF1);
    r.Write(0x21, 0xF0);
    r.Write(0x23, 0x80);
    EXPECT_EQ(r.Read(0x26), 0xF9);
    r.Write(0x1A, 0x80);
    r.Write(0x1E, 0x80);
    r.Write(0x17, 0xF0);
    r.Write(0x19, 0x80);
    EXPECT_EQ(r.Read(0x26), 0xFF);
    r.Write(0x26, 0x00);
    EXPECT_EQ(r.Read(0x26), 0x70);
}

TEST(Registers, PowerOffClearsEveryRegisterAndIgnoresWrites) {
    Rig r;
    for (uint8_t i = 0; i < 16; ++i) r.Write(0x30 + i, uint8_t(0xA0 + i));
    for (uint8_t reg = 0x10; reg < 0x26; ++reg) r.Write(reg, 0xFF);
    r.Run(10000);
    r.Write(0x26, 0x00);
    for (uint8_t reg = 0x10; reg < 0x26; ++reg)
        EXPECT_EQ(r.Read(reg), kMasks[reg - 0x10]) << std::hex << int(reg);
    for (uint8_t reg = 0x10; reg < 0x26; ++reg) r.Write(reg, 0xFF);
    for (uint8_t reg = 0x10; reg < 0x26; ++reg)
        EXPECT_EQ(r.Read(reg), kMasks[reg - 0x10]) << std::hex << int(reg);
    EXPECT_EQ(r.Read(0x26), 0x70);
    for (uint8_t i = 0; i < 16; ++i) EXPECT_EQ(r.Read(0x30 + i), uint8_t(0xA0 + i)) << "wave RAM is kept";
    // Powered on again, everything is still clear.
    r.Write(0x26, 0x80);
    for (uint8_t reg = 0x10; reg < 0x26; ++reg)
        EXPECT_EQ(r.Read(reg), kMasks[reg - 0x10]) << std::hex << int(reg);
    EXPECT_EQ(r.Read(0x26), 0xF0);
}

TEST(Registers, PowerOffSilencesTheOutput) {
    Rig r;
    r.Write(0x24, 0x77);
    r.Write(0x25, 0xFF);
    r.Write(0x12, 0xF0);
    r.Write(0x14, 0x87);
    r.RunSeconds(0.1);
    r.Write(0x26, 0x00);
    const size_t from = r.Frames() + 100;
    r.RunSeconds(0.1);
    std::vector<double> m = r.Mix(0);
    for (size_t i = from; i < m.size(); ++i) ASSERT_NEAR(m[i], 0, 0.05) << i;
}

TEST(Registers, SequencerStepsWhilePoweredOffAreIgnored) {
    Rig r;
    r.Write(0x26, 0x00);
    r.Run(5 * kStepCycles);
    r.Write(0x26, 0x80);
    EXPECT_EQ(r.apu.seqStep, 0);
}

// Runs sequencer steps until channel `ch` stops; returns the length clocks
// (steps 0, 2, 4, 6) it took, or -1 if it still plays after 300.
int LengthClocksUntilOff(Rig& r, int ch) {
    int clocks = 0;
    for (int guard = 0; guard < 700; ++guard) {
        if (!(r.Read(0x26) >> ch & 1)) return clocks;
        unsigned step = r.apu.seqStep;
        r.Run(r.nextStep - r.now);
        if (step % 2 == 0) ++clocks;
    }
    return -1;
}

struct LengthCase {
    const char* what;
    int ch;
    uint8_t nrx1;  // written first (-1: left as it is)
    bool writeLength;
    unsigned nextStep;  // the sequencer's next step when NRx4 is written
    uint8_t nrx4;
    int clocks;  // length clocks until the channel stops (0: at once)
};

TEST(Registers, LengthCountersStopChannels) {
    const LengthCase cases[] = {
        {"4 left, triggered before a length step", 0, 0x3C, true, 0, 0xC0, 4},
        {"4 left, triggered in the first half: one clock at once", 0, 0x3C, true, 1, 0xC0, 3},
        {"1 left, first half: the extra clock ends it, the trigger reloads 63", 1, 0x3F, true, 1, 0xC0, 63},
        {"expired, reloaded with 64", 0, 0, false, 0, 0xC0, 64},
        {"expired, first half: 63", 1, 0, false, 3, 0xC0, 63},
        {"wave, 4 left", 2, 0xFC, true, 2, 0xC0, 4},
        {"wave, expired: 256", 2, 0, false, 4, 0xC0, 256},
        {"wave, expired, first half: 255", 2, 0, false, 5, 0xC0, 255},
        {"noise, 2 left", 3, 0x3E, true, 6, 0xC0, 2},
        {"noise, 2 left, first half", 3, 0x3E, true, 7, 0xC0, 1},
        {"length not enabled", 0, 0x3F, true, 0, 0x80, -1},
    };
    const uint8_t base[4] = {0x10, 0x15, 0x1A, 0x1F};
    for (const LengthCase& c : cases) {
        Rig r;
        const uint8_t b = base[c.ch];
        if (c.ch == 2) {
            r.Write(0x1A, 0x80);
        } else {
            r.Write(b + 2, 0xF0);
        }
        if (c.writeLength) r.Write(b + 1, c.nrx1);
        r.RunToStep(c.nextStep, 8);
        r.Write(b + 4, c.nrx4);
        EXPECT_EQ(LengthClocksUntilOff(r, c.ch), c.clocks) << c.what;
    }
}

TEST(Registers, EnablingLengthInTheFirstHalfClocksItOnce) {
    struct Case {
        unsigned nextStep;
        uint8_t nr14;  // written while playing, without a trigger
        int clocks;
    };
    const Case cases[] = {
        {1, 0x40, 0},   // 1 left: the extra clock stops the channel at once
        {0, 0x40, 1},   // second half: no extra clock
        {3, 0x00, -1},  // not enabled: nothing
    };
    for (const Case& c : cases) {
        Rig r;
        r.Write(0x12, 0xF0);
        r.Write(0x11, 0x3F);  // 1 left
        r.Write(0x14, 0x80);
        r.RunToStep(c.nextStep, 8);
        r.Write(0x14, c.nr14);
        EXPECT_EQ(LengthClocksUntilOff(r, 0), c.clocks) << "next step " << c.nextStep;
    }
    // Already enabled: writing the enable again clocks nothing.
    Rig r;
    r.Write(0x12, 0xF0);
    r.Write(0x11, 0x3E);  // 2 left
    r.RunToStep(0, 8);
    r.Write(0x14, 0xC0);
    r.RunToStep(1, 8);
    r.Write(0x14, 0x40);
    EXPECT_EQ(LengthClocksUntilOff(r, 0), 1) << "one of two clocked by step 0";
}

TEST(Registers, LengthCountersAreWrittenWhilePoweredOff) {
    Rig r;
    r.Write(0x26, 0x00);
    r.Write(0x11, 0x3E);  // 2 left, though NR11 itself stays clear
    EXPECT_EQ(r.Read(0x11), 0x3F);
    r.Write(0x26, 0x80);
    r.Write(0x12, 0xF0);
    r.RunToStep(0, 8);
    r.Write(0x14, 0xC0);
    EXPECT_EQ(LengthClocksUntilOff(r, 0), 2);
}

TEST(Registers, DacOffStopsTheChannelAndKeepsItStopped) {
    struct Case {
        int ch;
        uint8_t dacReg, on, off, control;
    };
    const Case cases[] = {
        {0, 0x12, 0xF0, 0x07, 0x14},  // bits 3-7 clear: off, whatever the pace
        {1, 0x17, 0x08, 0x00, 0x19},  // volume 0 rising keeps the DAC on
        {2, 0x1A, 0x80, 0x7F, 0x1E},
        {3, 0x21, 0x10, 0x07, 0x23},
    };
    for (const Case& c : cases) {
        Rig r;
        r.Write(c.dacReg, c.on);
        r.Write(c.control, 0x80);
        EXPECT_EQ(r.Read(0x26) >> c.ch & 1, 1) << "channel " << c.ch + 1;
        r.Write(c.dacReg, c.off);
        EXPECT_EQ(r.Read(0x26) >> c.ch & 1, 0) << "channel " << c.ch + 1;
        r.Write(c.control, 0x80);
        EXPECT_EQ(r.Read(0x26) >> c.ch & 1, 0) << "a trigger with the DAC off, channel " << c.ch + 1;
        r.Write(c.dacReg, c.on);
        EXPECT_EQ(r.Read(0x26) >> c.ch & 1, 0) << "the DAC on again, channel " << c.ch + 1;
    }
}

// A trigger with the DAC off starts nothing, yet does its length work: an
// expired count is reloaded (and clocked, in the first half).
TEST(Registers, ATriggerWithTheDacOffStillReloadsTheLength) {
    Rig r;
    r.Write(0x12, 0x00);
    r.Write(0x11, 0x3F);  // 1 left
    r.RunToStep(1, 8);
    r.Write(0x14, 0xC0);  // the enable clocks it to 0; the trigger reloads 64 and clocks it: 63
    EXPECT_EQ(r.Read(0x26) & 1, 0);
    r.RunToStep(0, 8);  // three length clocks: 60
    r.Write(0x12, 0xF0);
    r.Write(0x14, 0xC0);  // not expired: no reload
    EXPECT_EQ(LengthClocksUntilOff(r, 0), 60);
}

TEST(Registers, PostBootValues) {
    Apu a;
    ApuReset(a, 1000, true);
    const std::pair<uint16_t, uint8_t> expected[] = {
        {0xFF10, 0x80}, {0xFF11, 0xBF}, {0xFF12, 0xF3}, {0xFF13, 0xFF}, {0xFF14, 0xBF}, {0xFF16, 0x3F},
        {0xFF17, 0x00}, {0xFF18, 0xFF}, {0xFF19, 0xBF}, {0xFF1A, 0x7F}, {0xFF1B, 0xFF}, {0xFF1C, 0x9F},
        {0xFF1D, 0xFF}, {0xFF1E, 0xBF}, {0xFF20, 0xFF}, {0xFF21, 0x00}, {0xFF22, 0x00}, {0xFF23, 0xBF},
        {0xFF24, 0x77}, {0xFF25, 0xF3}, {0xFF26, 0xF1},
    };
    for (auto [address, value] : expected) EXPECT_EQ(ApuRead(a, address, 1000), value) << std::hex << address;
}

}  // namespace
}  // namespace wenlo::audio::test
