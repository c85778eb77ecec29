// The sound test cartridge's other notes (the fixture: sound_rom_fixture.h):
// channel 1's sweep, the wave channel's table and volume, the noise
// channel's shift register, panning and volume, and the power switch.
#include "tests/audio/sound_rom_fixture.h"

namespace wenlo::test {
namespace {

TEST_P(SoundRom, SweepMovesThePitchEveryPaceOver128Seconds) {
    // x +- x >> shift at each step, pace/128 s apart, the first within a
    // pace of the trigger; going up, a sum over 2047 stops the channel (it is
    // checked again after each step, so the step to 2037 already stops it).
    // A step shows at the next rising edge: up to a period late.
    const struct {
        Note note;
        int x, pace, shift;
        bool down;
        size_t heard;  // steps measured
        bool stops;
    } cases[] = {{kSweepUp, 1700, 3, 4, false, 3, true}, {kSweepDown, 1984, 4, 3, true, 5, false}};
    const Heard& h = H();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        std::vector<double> hz;
        for (int x = c.x; x <= 2047 && hz.size() < c.heard + 1;
             x = c.down ? x - (x >> c.shift) : x + (x >> c.shift))
            hz.push_back(PulseHz(x));
        const auto t =
            RisingCrossings(h.L(), h.onset[c.note] + 24, h.End(c.note) - 48, h.base[c.note], 3 * h.unit);
        // Each period given to the step whose pitch it is within 3% of.
        struct Run {
            size_t step;
            std::vector<double> periods;
            double start;
        };
        std::vector<Run> runs;
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            const double f = kSampleRate / (t[i + 1] - t[i]);
            for (size_t s = 0; s < hz.size(); ++s) {
                if (std::abs(f / hz[s] - 1) > 0.03) continue;
                if (runs.empty() || runs.back().step != s) runs.push_back({s, {}, t[i]});
                runs.back().periods.push_back(t[i + 1] - t[i]);
            }
        }
        ASSERT_GE(runs.size(), c.heard);
        const double pace = c.pace * kSampleRate / 128;
        for (size_t i = 0; i < c.heard; ++i) {
            ASSERT_EQ(runs[i].step, i);
            const auto& p = runs[i].periods;
            double sum = 0;
            for (size_t k = 1; k + 1 < p.size(); ++k) sum += p[k];  // the first and last may be mixed
            EXPECT_NEAR(kSampleRate / (sum / double(p.size() - 2)) / hz[i], 1, 0.005) << "step " << i;
            if (i == 0) continue;
            const double slack = 1.5 * kSampleRate / hz[i] + kSamplesPerMs;
            const double since = runs[i].start - (i == 1 ? double(h.onset[c.note]) : runs[i - 1].start);
            if (i == 1) {
                EXPECT_GT(since, pace - kSampleRate / 128 - slack);
                EXPECT_LT(since, pace + slack);
            } else {
                EXPECT_NEAR(since, pace, slack) << "step " << i;
            }
        }
        if (c.stops) {
            EXPECT_EQ(runs.size(), c.heard);
            const double stop = runs.back().start + pace;
            const size_t last = LastEdge(h.L(), h.onset[c.note] + 2, h.End(c.note) - 48, 0.2 * h.unit);
            EXPECT_NEAR(double(last), stop, 1.5 * kSampleRate / hz.back() + kSamplesPerMs);
        }
    }
}

// The cartridge's wave table, 32 samples.
constexpr uint8_t kTable[32] = {0,  1,  2,  3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                14, 12, 10, 8, 6, 4, 2, 0, 1, 3, 5,  7,  9,  11, 13, 15};

TEST_P(SoundRom, WaveChannelPlaysItsTableFromSampleOneShiftedByItsVolume) {
    // x 1024: each sample for 2 * 1024 cycles. NR32 100%, 50%, 25%: the
    // samples shifted right by 0, 1, 2. After the trigger the first sample
    // read is sample 1.
    const struct {
        Note note;
        int shift;
    } cases[] = {{kWave100, 0}, {kWave50, 1}, {kWave25, 2}};
    const Heard& h = H();
    const double slot = 2048 * kSampleRate / kClock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        const double onset = double(h.onset[c.note]);
        const size_t slots = size_t((h.End(c.note) - h.onset[c.note] - 48) / slot) - 1;
        // The slots' phase: where the level inside each slot is flattest.
        auto inner = [&](double phase, size_t j) {
            const size_t from = size_t(onset + phase + double(j) * slot) + 5;
            return std::pair{from, from + size_t(slot) - 9};
        };
        double best = 0, bestCost = 1e300;
        for (double phase = 0; phase < slot; phase += 0.25) {
            double cost = 0;
            for (size_t j = 0; j < slots; ++j) {
                auto [from, to] = inner(phase, j);
                cost += Quantile(h.L(), from, to, 1) - Quantile(h.L(), from, to, 0);
            }
            if (cost < bestCost) bestCost = cost, best = phase;
        }
        // The slots from the first read on (the one before holds the sample
        // the channel last read, whatever it was), as DAC inputs.
        const size_t first = best < slot / 2 ? 1 : 0;
        std::vector<double> heard;
        for (size_t j = first; j < slots; ++j) {
            auto [from, to] = inner(best, j);
            heard.push_back(h.Digital(c.note, Quantile(h.L(), from, to, 0.5)));
        }
        ASSERT_GT(heard.size(), 32u * 10);
        size_t rotation = 0;
        double bestError = 1e300;
        for (size_t r = 0; r < 32; ++r) {
            double worst = 0;
            for (size_t j = 0; j < heard.size(); ++j)
                worst = std::max(worst, std::abs(heard[j] - (kTable[(j + r) % 32] >> c.shift)));
            if (worst < bestError) bestError = worst, rotation = r;
        }
        EXPECT_LT(bestError, 0.3);
        EXPECT_EQ(rotation, 1u);
    }
}

// The documented shift register: a trigger sets all 15 bits; each clock
// shifts right, bit 0 xor bit 1 going into bit 14 (and bit 6 in 7-bit
// mode); the channel is at volume while bit 0 is clear.
std::vector<bool> NoiseModel(bool narrow, size_t clocks) {
    uint16_t lfsr = 0x7FFF;
    std::vector<bool> high;
    for (size_t i = 0; i < clocks; ++i) {
        const unsigned x = (lfsr ^ (lfsr >> 1)) & 1;
        lfsr = uint16_t((lfsr >> 1) | x << 14);
        if (narrow) lfsr = uint16_t((lfsr & ~0x40u) | x << 6);
        high.push_back(!(lfsr & 1));
    }
    return high;
}

TEST_P(SoundRom, NoiseFollowsTheShiftRegisterAtItsClock) {
    // NR43 0x44 / 0x4C: divisor 4 * 16, shift 4: a clock every 1,024 cycles
    // (4096 Hz), 15-bit and 7-bit. The output read at the middle of each
    // clock must follow the model over 1,800 clocks: a rate 0.05% off would
    // be a clock out by the end.
    const struct {
        Note note;
        bool narrow;
    } cases[] = {{kNoise15, false}, {kNoise7, true}};
    const Heard& h = H();
    const double clock = 1024 * kSampleRate / kClock;
    const size_t clocks = 1800;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        const auto model = NoiseModel(c.narrow, clocks + 40);
        const size_t firstHigh = size_t(std::find(model.begin(), model.end(), true) - model.begin());
        const auto t =
            RisingCrossings(h.L(), h.onset[c.note] + 24, h.End(c.note), h.base[c.note], 3 * h.unit);
        ASSERT_FALSE(t.empty());
        // A trigger starts the clock's period afresh: the first bit to come
        // out clear does so firstHigh + 1 periods later.
        EXPECT_NEAR((t[0] - double(h.onset[c.note])) / clock, double(firstHigh + 1), 0.5);
        size_t wrong = 0;
        for (size_t k = firstHigh; k < firstHigh + clocks; ++k) {
            const size_t at = size_t(t[0] + (double(k - firstHigh) + 0.5) * clock);
            wrong += (h.L()[at] > h.base[c.note]) != model[k];
        }
        EXPECT_LE(wrong, clocks / 100);
    }
}

TEST_P(SoundRom, Nr51RoutesAndNr50ScalesEachSide) {
    // Channel 2 to the left only (NR51 0x20), the right only (0x02), both
    // with NR50 0x73: the left at volume 7 + 1, the right at 3 + 1.
    const struct {
        Note note;
        int left, right;
    } cases[] = {{kLeft, 8, 0}, {kRight, 0, 8}, {kVolumes, 8, 4}};
    const Heard& h = H();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        const size_t from = h.onset[c.note] - 48, to = h.End(c.note);
        double spread[2], peak[2] = {0, 0};
        for (int s = 0; s < 2; ++s) {
            const auto& x = h.rec.side[s];
            const size_t mid = h.At(c.note, 20);
            spread[s] = Quantile(x, mid, to, 0.75) - Quantile(x, mid, to, 0.25);
            for (size_t n = from; n < to; ++n) peak[s] = std::max(peak[s], std::abs(h.rec.raw[s][n]));
        }
        if (c.left == 0) {
            EXPECT_LE(peak[0], peak[1] / 100);
        } else if (c.right == 0) {
            EXPECT_LE(peak[1], peak[0] / 100);
        } else {
            EXPECT_NEAR(spread[1] / spread[0], double(c.right) / c.left, 0.02);
        }
        EXPECT_NEAR(std::max(spread[0], spread[1]) / h.unit, 15, 0.3);  // volume 15 at 7 + 1
    }
}

TEST_P(SoundRom, PowerOffSilencesTheNoteAndIgnoresATrigger) {
    // NR52 0 after 12 frames of the note: every DAC off at once; the trigger
    // written while off is ignored, so nothing sounds for 12 more frames.
    const Heard& h = H();
    const size_t off = h.onset[kPowerOff] + size_t(12 * kFrameSamples);
    const size_t last =
        LastEdge(h.L(), h.onset[kPowerOff] + 2, off + size_t(12 * kFrameSamples), 0.2 * h.unit);
    EXPECT_NEAR(double(last), double(off), kSamplesPerMs);
    const size_t from = off + size_t(kSamplesPerMs), to = off + size_t(12 * kFrameSamples);
    EXPECT_LT(Quantile(h.L(), from, to, 1) - Quantile(h.L(), from, to, 0), 0.1 * h.unit);
    EXPECT_NEAR(h.Digital(kPowerOff, Quantile(h.L(), from, to, 0.5)), 7.5, 0.1);  // the DACs off
}

}  // namespace
}  // namespace wenlo::test
