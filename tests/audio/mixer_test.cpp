// The mixer and the output: NR51's panning and NR50's volumes, the band
// limit's alias products, and a steered output rate.
#include <gtest/gtest.h>

#include "tests/audio/apu_rig.h"

namespace wenlo::audio::test {
namespace {

// Starts channel `ch` as a slow square between digital 0 and 15 (the noise
// channel as slow noise between them).
void PlaySquare(Rig& r, int ch) {
    switch (ch) {
        case 0:
            r.Write(0x11, 0x80);
            r.Write(0x12, 0xF0);
            r.Write(0x14, 0x84);  // 128 Hz
            break;
        case 1:
            r.Write(0x16, 0x80);
            r.Write(0x17, 0xF0);
            r.Write(0x19, 0x84);
            break;
        case 2:
            for (int i = 0; i < 16; ++i) r.Write(uint8_t(0x30 + i), i < 8 ? 0xFF : 0x00);
            r.Write(0x1A, 0x80);
            r.Write(0x1C, 0x20);
            r.Write(0x1E, 0x84);
            break;
        default:
            r.Write(0x21, 0xF0);
            r.Write(0x22, 0x90);  // a clock every 4,096 cycles
            r.Write(0x23, 0x80);
            break;
    }
}

// The distance between the signal's quartiles: a square's height, whatever
// the ringing at its edges.
double Swing(std::vector<double> x, size_t from) {
    x.erase(x.begin(), x.begin() + from);
    std::sort(x.begin(), x.end());
    return x[x.size() * 3 / 4] - x[x.size() / 4];
}

TEST(Mixer, PanningAndVolumePerSide) {
    struct Case {
        int ch;
        uint8_t nr51, nr50;
        int left, right;  // the gains: routed * (volume + 1)
    };
    const Case cases[] = {
        {0, 0x11, 0x77, 8, 8}, {0, 0x10, 0x77, 8, 0}, {0, 0x01, 0x77, 0, 8}, {0, 0x11, 0xFF, 8, 8},
        {1, 0x22, 0x70, 8, 1}, {1, 0x11, 0x77, 0, 0}, {2, 0x44, 0x07, 1, 8}, {2, 0x40, 0x37, 4, 0},
        {3, 0x80, 0x35, 4, 0}, {3, 0x88, 0x35, 4, 6}, {3, 0x77, 0x77, 0, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        r.Write(0x25, c.nr51);
        r.Write(0x24, c.nr50);
        PlaySquare(r, c.ch);
        r.RunSeconds(1.0);
        const int want[2] = {c.left, c.right};
        for (int side = 0; side < 2; ++side) {
            EXPECT_NEAR(Swing(r.Mix(side), 2000), 30.0 * want[side], 0.05)
                << "channel " << c.ch + 1 << " NR51 " << std::hex << int(c.nr51) << " NR50 " << int(c.nr50)
                << (side ? " right" : " left");
        }
    }
}

TEST(Mixer, PanningChangesMidNoteMoveTheLevel) {
    Rig r;
    r.Write(0x24, 0x77);
    r.Write(0x25, 0x11);
    PlaySquare(r, 0);
    r.RunSeconds(0.5);
    r.Write(0x25, 0x10);  // right off
    r.Write(0x24, 0x37);  // left at 4
    const size_t from = r.Frames();
    r.RunSeconds(0.5);
    EXPECT_NEAR(Swing(r.Mix(0), from + 100), 30.0 * 4, 0.05);
    EXPECT_NEAR(Swing(r.Mix(1), from + 100), 0, 0.05);
}

// A pulse near 4 kHz at 48 kHz: its harmonics above 24 kHz would fold back
// between the harmonics below it; none may come within 50 dB of the
// fundamental.
TEST(Mixer, AliasesOfA4kHzPulseStay50dBDown) {
    const unsigned x = 2015;  // 131072 / 33 = 3,971.9 Hz
    const double f0 = 131072.0 / (2048 - x);
    for (uint8_t duty = 0; duty < 4; ++duty) {
        Rig r;
        r.Write(0x24, 0x77);
        r.Write(0x25, 0x11);
        r.Write(0x11, uint8_t(duty << 6));
        r.Write(0x12, 0xF0);
        r.Write(0x13, uint8_t(x));
        r.Write(0x14, uint8_t(0x80 | x >> 8));
        r.RunSeconds(1.6);
        const size_t n = 65536;
        std::vector<double> s = r.Side(0, 4800);
        ASSERT_GE(s.size(), n);
        std::vector<double> p = PowerSpectrum(s, n);
        const double binHz = r.rate / n;
        auto near = [&](size_t bin, double f) { return std::abs(double(bin) - f / binHz) <= 8; };
        double fundamental = 0, worst = 0;
        size_t worstBin = 0;
        for (size_t i = 20; i < p.size(); ++i) {
            if (near(i, f0)) fundamental = std::max(fundamental, p[i]);
            bool harmonic = false;
            for (int h = 1; h * f0 < r.rate / 2 + 8 * binHz; ++h) harmonic |= near(i, h * f0);
            if (!harmonic && p[i] > worst) {
                worst = p[i];
                worstBin = i;
            }
        }
        EXPECT_LT(Decibels(worst / fundamental), -50)
            << "duty " << int(duty) << ": at " << worstBin * binHz << " Hz";
    }
}

TEST(Mixer, SteeredRateGivesThatManyFramesWithoutAJump) {
    Rig r;
    r.Write(0x24, 0x77);
    r.Write(0x25, 0x11);
    r.Write(0x11, 0x80);
    r.Write(0x12, 0xF0);
    r.Write(0x13, 0x80);
    r.Write(0x14, 0x87);  // 1,024 Hz
    r.RunSeconds(1.0);
    const size_t before = r.Frames();
    EXPECT_NEAR(double(before), 48000, 2);
    ApuSetOutputRate(r.apu, 48240);  // +0.5%
    r.rate = 48240;
    r.RunSeconds(1.0);
    EXPECT_NEAR(double(r.Frames() - before), 48240, 2);
    // The largest step between neighbouring frames across the change is no
    // larger than elsewhere in the tone.
    std::vector<double> s = r.Side(0);
    auto jump = [&](size_t from, size_t to) {
        double j = 0;
        for (size_t i = from + 1; i < to; ++i) j = std::max(j, std::abs(s[i] - s[i - 1]));
        return j;
    };
    EXPECT_LE(jump(before - 50, before + 50), jump(before - 5000, before - 50) * 1.02);
}

TEST(Mixer, FramesNotTakenAreDroppedOldestFirst) {
    Rig r;
    r.Write(0x24, 0x77);
    r.Write(0x25, 0x11);
    r.Write(0x12, 0xF0);
    r.Write(0x14, 0x87);
    ApuRunTo(r.apu, r.now + 4 * kClockHz);  // nobody takes them
    r.now += 4 * kClockHz;
    EXPECT_LE(ApuSamplesReady(r.apu), r.apu.out.capacity);
    EXPECT_NEAR(double(r.apu.out.dropped + ApuSamplesReady(r.apu)), 4 * 48000, 2);
}

}  // namespace
}  // namespace wenlo::audio::test
