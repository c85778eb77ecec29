// The wave and noise channels: the wave table as heard, wave RAM shared with
// a playing channel, and the noise register's period in both widths.
#include <gtest/gtest.h>

#include "tests/audio/apu_rig.h"

namespace wenlo::audio::test {
namespace {

void LoadWave(Rig& r, const uint8_t (&samples)[32]) {
    for (int i = 0; i < 16; ++i)
        r.Write(uint8_t(0x30 + i), uint8_t(samples[i * 2] << 4 | samples[i * 2 + 1]));
}

void PlayWave(Rig& r, unsigned x, uint8_t nr32) {
    r.Write(0x24, 0x77);
    r.Write(0x25, 0xFF);
    r.Write(0x1A, 0x80);
    r.Write(0x1C, nr32);
    r.Write(0x1D, uint8_t(x));
    r.Write(0x1E, uint8_t(0x80 | x >> 8));
}

TEST(Wave, PlaysTheTableFromSample1AtEachOutputLevel) {
    uint8_t table[32];
    for (int i = 0; i < 32; ++i) table[i] = uint8_t((i * 7 + 3) & 15);
    for (uint8_t code = 0; code < 4; ++code) {
        const int shift[4] = {4, 0, 1, 2};
        Rig r;
        LoadWave(r, table);
        const uint64_t t0 = r.now;
        PlayWave(r, 1024, uint8_t(code << 5));  // a sample every 2,048 cycles: 23 frames
        r.RunSeconds(0.1);
        std::vector<double> m = r.Mix(0);
        // Before the first read the buffer's sample plays: 0 after power-on.
        EXPECT_NEAR(m[r.FrameAt(t0 + 1024)], -15 * 8, 0.01);
        for (int k = 1; k < 70; ++k) {
            int want = table[k % 32] >> shift[code];
            ASSERT_NEAR(m[r.FrameAt(t0 + 2048 * k + 1024)], (2 * want - 15) * 8, 0.01)
                << "level code " << int(code) << " sample " << k;
        }
    }
}

TEST(Wave, PitchIs65536Over2048MinusThePeriod) {
    uint8_t table[32];
    for (int i = 0; i < 32; ++i) table[i] = i < 16 ? 15 : 0;
    for (unsigned x : {1024u, 1800u, 1985u}) {
        Rig r;
        LoadWave(r, table);
        PlayWave(r, x, 0x20);
        r.RunSeconds(0.5);
        EXPECT_NEAR(Frequency(r.Side(0, 2400), r.rate) / (65536.0 / (2048 - x)), 1.0, 0.005) << x;
    }
}

// The channel reads wave RAM every 96 cycles from x = 2000; while playing,
// the CPU reaches it only in the two cycles of a read, and then reaches the
// byte being read.
TEST(Wave, RamIsReachableOnlyWhileTheChannelReadsIt) {
    struct Case {
        uint64_t after;  // cycles after the read of sample `reads`
        bool reachable;
    };
    const Case cases[] = {{0, true}, {1, true}, {2, false}, {50, false}, {95, false}, {96, true}};
    for (const Case& c : cases) {
        Rig r;
        for (int i = 0; i < 16; ++i) r.Write(uint8_t(0x30 + i), uint8_t(0x10 + i));
        const uint64_t t0 = r.now;
        PlayWave(r, 2000, 0x20);
        const int reads = 5;  // sample 5: byte 2
        r.Run(t0 + 96 * reads + c.after - r.now);
        const unsigned byte = (reads + (c.after >= 96 ? 1 : 0)) / 2;
        EXPECT_EQ(r.Read(0x3F), c.reachable ? 0x10 + byte : 0xFF) << "read " << c.after;
        r.Write(0x30, 0xEE);
        r.Write(0x1A, 0x00);  // stop it to look
        EXPECT_EQ(r.Read(0x30 + byte), c.reachable ? 0xEE : 0x10 + byte) << "write " << c.after;
        if (byte != 0) {
            EXPECT_EQ(r.Read(0x30), 0x10) << "write " << c.after;
        }
    }
}

TEST(Wave, RetriggerWhileReadingCorruptsTheFirstBytes) {
    struct Case {
        int reads;  // the sample read at the retrigger's cycle (or 1 cycle before it)
        uint64_t late;
        uint8_t first[4];
    };
    const Case cases[] = {
        {5, 0, {0x12, 0x11, 0x12, 0x13}},   // byte 2 into byte 0
        {13, 1, {0x14, 0x15, 0x16, 0x17}},  // byte 6: bytes 4-7 into 0-3
        {29, 0, {0x1C, 0x1D, 0x1E, 0x1F}},  // byte 14: bytes 12-15
        {13, 2, {0x10, 0x11, 0x12, 0x13}},  // not reading: nothing
    };
    for (const Case& c : cases) {
        Rig r;
        for (int i = 0; i < 16; ++i) r.Write(uint8_t(0x30 + i), uint8_t(0x10 + i));
        const uint64_t t0 = r.now;
        PlayWave(r, 2000, 0x20);
        r.Run(t0 + 96 * c.reads + c.late - r.now);
        r.Write(0x1E, 0x87);
        r.Write(0x1A, 0x00);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(r.Read(uint8_t(0x30 + i)), c.first[i]) << c.reads << " byte " << i;
        for (int i = 4; i < 16; ++i)
            EXPECT_EQ(r.Read(uint8_t(0x30 + i)), 0x10 + i) << c.reads << " byte " << i;
    }
}

// Mean absolute difference between x and x shifted by `lag` (the output's
// 16-bit steps are 1/64 of a level unit).
double LagError(const std::vector<double>& x, size_t from, size_t lag, size_t n) {
    double e = 0;
    for (size_t i = from; i < from + n; ++i) e += std::abs(x[i + lag] - x[i]);
    return e / n;
}

TEST(Noise, RepeatsAfter127Or32767Clocks) {
    struct Case {
        uint8_t nr43;
        size_t framesPerClock;  // at 32,768 frames a second: 128 cycles a frame
        size_t clocks;          // the register's period
    };
    const Case cases[] = {
        {0x39, 1, 127}, {0x3A, 2, 127}, {0x48, 1, 127}, {0x31, 1, 32767}, {0x40, 1, 32767},
    };
    for (const Case& c : cases) {
        Rig r(32768);
        r.Write(0x24, 0x77);
        r.Write(0x25, 0xFF);
        r.Write(0x21, 0xF0);
        r.Write(0x22, c.nr43);
        r.Write(0x23, 0x80);
        const size_t period = c.framesPerClock * c.clocks;
        r.Run((period * 2 + 2000) * 128);
        std::vector<double> m = r.Mix(0);
        const size_t n = std::min<size_t>(period, 4000);
        EXPECT_LT(LagError(m, 100, period, n), 0.02) << std::hex << int(c.nr43);
        EXPECT_GT(LagError(m, 100, period - c.framesPerClock, n), 20) << std::hex << int(c.nr43);
        if (c.clocks != 127) {
            EXPECT_GT(LagError(m, 100, 127 * c.framesPerClock, n), 20);
        }
    }
}

TEST(Noise, ClockShift14And15NeverClock) {
    for (uint8_t nr43 : {0xE0, 0xF7}) {
        Rig r;
        r.Write(0x24, 0x77);
        r.Write(0x25, 0xFF);
        r.Write(0x21, 0xF0);
        r.Write(0x22, nr43);
        r.Write(0x23, 0x80);
        r.RunSeconds(0.2);
        std::vector<double> m = r.Mix(0);
        EXPECT_NEAR(PeakToPeak(m, 100, m.size()), 0, 0.05) << std::hex << int(nr43);
        // A clockable shift written afterwards starts it.
        r.Write(0x22, 0x60);  // a clock every 512 cycles
        const size_t from = r.Frames() + 20;
        r.RunSeconds(0.05);
        m = r.Mix(0);
        EXPECT_GT(PeakToPeak(m, from, m.size()), 200) << std::hex << int(nr43);
    }
}

}  // namespace
}  // namespace wenlo::audio::test
