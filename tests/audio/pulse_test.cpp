// The pulse channels through their registers: pitch, duty, envelope and
// channel 1's sweep, measured in the output (the sweep's period also in the
// unit's state, where the output cannot show it exactly).
#include <gtest/gtest.h>

#include "tests/audio/apu_rig.h"

namespace wenlo::audio::test {
namespace {

// Register offsets of the two pulse channels: NRx1..NRx4.
struct PulseRegs {
    uint8_t nrx1, nrx2, nrx3, nrx4;
};
constexpr PulseRegs kPulse[2] = {{0x11, 0x12, 0x13, 0x14}, {0x16, 0x17, 0x18, 0x19}};

void Play(Rig& r, int ch, unsigned x, uint8_t duty = 2, uint8_t nrx2 = 0xF0) {
    r.Write(0x24, 0x77);
    r.Write(0x25, 0xFF);
    const PulseRegs& p = kPulse[ch];
    r.Write(p.nrx1, uint8_t(duty << 6));
    r.Write(p.nrx2, nrx2);
    r.Write(p.nrx3, uint8_t(x));
    r.Write(p.nrx4, uint8_t(0x80 | x >> 8));
}

TEST(Pulse, PitchIs131072Over2048MinusThePeriod) {
    for (int ch = 0; ch < 2; ++ch) {
        for (unsigned x : {0u, 1024u, 1750u, 1923u, 2015u, 2030u}) {
            Rig r;
            Play(r, ch, x);
            r.RunSeconds(0.5);
            const double want = 131072.0 / (2048 - x);
            const double got = Frequency(r.Side(0, 2400), r.rate);
            EXPECT_NEAR(got / want, 1.0, 0.005) << "channel " << ch + 1 << " period " << x;
        }
    }
}

TEST(Pulse, DutyIsTheShareOfTimeHigh) {
    const double duty[4] = {0.125, 0.25, 0.5, 0.75};
    for (int ch = 0; ch < 2; ++ch) {
        for (uint8_t d = 0; d < 4; ++d) {
            Rig r;
            Play(r, ch, 1920, d);  // 1,024 Hz: 47 frames a period
            r.RunSeconds(0.25);
            std::vector<double> m = r.Mix(0);
            // Digital 0 and 15 at gain 8 are -120 and 120.
            size_t high = 0, n = 0;
            for (size_t i = 2400; i < m.size(); ++i, ++n) high += m[i] > 0;
            EXPECT_NEAR(double(high) / n, duty[d], 0.01) << "channel " << ch + 1 << " duty " << int(d);
        }
    }
}

// The volume at time `t` after a trigger at t0, from NRx2 and the 64 Hz
// envelope ticks (at every 65,536 cycles from time 0 on).
int ExpectedVolume(uint8_t nrx2, uint64_t t0, uint64_t t, bool extraTick) {
    int v = nrx2 >> 4, pace = nrx2 & 7;
    if (pace == 0) return v;
    int ticks = int(t / 65536 - t0 / 65536);
    int first = pace + (extraTick ? 1 : 0);
    int changes = ticks < first ? 0 : 1 + (ticks - first) / pace;
    v += (nrx2 & 8) ? changes : -changes;
    return std::clamp(v, 0, 15);
}

TEST(Pulse, EnvelopeStepsTheVolumeAt64HzTimesItsPace) {
    struct Case {
        uint8_t nrx2;
        bool beforeEnvelopeStep;  // triggered just before step 7: one tick more
    };
    const Case cases[] = {{0xF1, false}, {0xF3, false}, {0x09, false}, {0x5A, false},
                          {0xA0, false}, {0xF1, true},  {0x0B, true}};
    for (int ch = 0; ch < 2; ++ch) {
        for (const Case& c : cases) {
            Rig r;
            if (c.beforeEnvelopeStep) {
                r.RunToStep(7, 100);
            } else {
                r.RunToStep(1, kStepCycles - 100);  // just after step 0
            }
            const uint64_t t0 = r.now;
            Play(r, ch, 1024, 2, c.nrx2);  // 128 Hz: high from step 5 to step 1
            r.RunSeconds(1.5);
            std::vector<double> m = r.Mix(0);
            for (int k = 0; k < 40; ++k) {
                uint64_t centre = t0 + 7 * 4096 + uint64_t(k) * 32768;
                double level = m[r.FrameAt(centre)] / 8;
                int want = ExpectedVolume(c.nrx2, t0, centre, c.beforeEnvelopeStep);
                ASSERT_NEAR(level, 2 * want - 15, 0.01) << "channel " << ch + 1 << " NRx2 " << std::hex
                                                        << int(c.nrx2) << std::dec << " period " << k;
            }
        }
    }
}

// The sweep from a trigger just after step 0; iterations come at every
// pace-th sweep clock (steps 2 and 6).
struct SweepCase {
    uint8_t nr10;
    unsigned x;
    std::vector<unsigned> periods;  // NR13/NR14 after each iteration
    int offAt;                      // iteration that stops the channel (0: the trigger), -1: never
};

TEST(Pulse, SweepIteratesAndStopsOnOverflow) {
    const SweepCase cases[] = {
        // Add, step 1: each iteration adds half; the iteration to 0x798 is
        // written, but its check (0x798 + 0x3CC > 2047) stops the channel.
        {0x11, 0x100, {0x180, 0x240, 0x360, 0x510, 0x798}, 5},
        // The same at pace 3.
        {0x31, 0x100, {0x180, 0x240}, -1},
        // Subtract: halves, never stops.
        {0x19, 0x400, {0x200, 0x100, 0x080, 0x040}, -1},
        {0x1B, 0x780, {0x690, 0x5BE, 0x507}, -1},
        // Step 1 at 0x700: 0x700 + 0x380 overflows at the trigger, pace 0 too.
        {0x01, 0x700, {}, 0},
        {0x11, 0x700, {}, 0},
        // Step 0: nothing is written back, but the check (period * 2) still runs.
        {0x10, 0x500, {}, 1},
        {0x10, 0x300, {0x300, 0x300}, -1},
        // Pace 0: no iterations at all.
        {0x03, 0x400, {0x400, 0x400}, -1},
    };
    for (const SweepCase& c : cases) {
        Rig r;
        r.RunToStep(1, kStepCycles - 100);
        r.Write(0x10, c.nr10);
        Play(r, 0, c.x);
        const unsigned pace = (c.nr10 >> 4) & 7;
        int iteration = 0, clocks = 0;
        bool on = r.Read(0x26) & 1;
        EXPECT_EQ(on, c.offAt != 0) << "at the trigger, NR10 " << std::hex << int(c.nr10);
        for (int step = 1; step < 64 && on; ++step) {
            r.Run(kStepCycles);  // step `step` done
            if (step % 8 != 2 && step % 8 != 6) continue;
            ++clocks;
            if (pace == 0 || clocks % pace != 0) continue;
            ++iteration;
            on = r.Read(0x26) & 1;
            EXPECT_EQ(on, iteration != c.offAt) << "iteration " << iteration;
            if (iteration <= int(c.periods.size())) {
                EXPECT_EQ(r.apu.ch1.period, c.periods[iteration - 1])
                    << "NR10 " << std::hex << int(c.nr10) << " iteration " << std::dec << iteration;
            }
            if (iteration >= int(c.periods.size()) && c.offAt < 0) break;
        }
        if (pace == 0) {
            EXPECT_EQ(r.apu.ch1.period, c.x);
        }
    }
}

TEST(Pulse, SweptPeriodIsHeard) {
    Rig r;
    r.RunToStep(1, kStepCycles - 100);
    r.Write(0x10, 0x74);  // pace 7, add, step 4: 0x600 -> 0x660 at the 7th sweep clock
    Play(r, 0, 0x600);
    r.Run(7 * 4 * kStepCycles + 2 * kStepCycles);  // just past the first iteration
    const size_t from = r.Frames() + 200;
    r.Run(6 * 4 * kStepCycles);  // the next comes a sweep clock later
    std::vector<double> x = r.Side(0, from);
    EXPECT_NEAR(Frequency(x, r.rate) / (131072.0 / (2048 - 0x660)), 1.0, 0.005);
}

TEST(Pulse, ClearingSubtractionAfterItWasUsedStopsChannel1) {
    struct Case {
        uint8_t nr10;
        int sweepClocks;  // before NR10 is written again, without subtraction
        bool stays;
    };
    const Case cases[] = {
        {0x19, 0, false},  // step 1: subtracted at the trigger already
        {0x18, 0, true},   // step 0: nothing computed yet
        {0x18, 1, false},  // the first iteration subtracted
        {0x13, 1, true},   // never subtracted
    };
    for (const Case& c : cases) {
        Rig r;
        r.RunToStep(1, kStepCycles - 100);
        r.Write(0x10, c.nr10);
        Play(r, 0, 0x400);
        if (c.sweepClocks) r.Run(2 * kStepCycles);  // past step 2
        r.Write(0x10, c.nr10 & ~0x08);
        EXPECT_EQ(bool(r.Read(0x26) & 1), c.stays) << "NR10 " << std::hex << int(c.nr10);
    }
}

}  // namespace
}  // namespace wenlo::audio::test
