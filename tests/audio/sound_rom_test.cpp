// The sound test cartridge (tests/handheld/roms/sound.s) played on both
// machines through wenlo-run --wav, and its notes measured in the WAV file:
// the pulse channels' pitch, duty, envelope and length, against the sound
// hardware reference (the other channels: sound_rom_channels_test.cpp).
#include "tests/audio/sound_rom_fixture.h"

namespace wenlo::test {
namespace {

TEST_P(SoundRom, EveryNoteStartsOnItsFrame) {
    // The cartridge counts frames of 70,224 cycles on both machines.
    const Heard& h = H();
    for (int k = 1; k < kNotes; ++k)
        EXPECT_NEAR(double(h.onset[k]), double(h.scheduled[k]), 0.05 * kFrameSamples) << "note " << k;
    EXPECT_GT(h.unit, 0);
}

TEST_P(SoundRom, PulsePitchIs131072Over2048MinusX) {
    const struct {
        Note note;
        int x;
    } cases[] = {{kPitch1024, 1024}, {kPitch1750, 1750}, {kPitch1985, 1985}, {kPitchCh1, 1899}};
    const Heard& h = H();
    for (const auto& c : cases) {
        const size_t from = h.At(c.note, 20), to = h.End(c.note) - size_t(20 * kSamplesPerMs);
        const double f = Frequency(RisingCrossings(h.L(), from, to, h.base[c.note], 3 * h.unit));
        EXPECT_NEAR(f / PulseHz(c.x), 1, 0.005) << "x " << c.x << ": " << f << " Hz";
    }
}

TEST_P(SoundRom, DutyIsTheShareOfEachPeriodAtVolume) {
    // Eighths of the period at volume: 12.5%, 25%, 50%, 75%; power-off
    // clears NR21, so the note after it plays 12.5%. Each edge lands on a
    // sample, at most 1/94 of a 512 Hz period off.
    const struct {
        Note note;
        int eighths;
    } cases[] = {{kDuty1, 1}, {kDuty2, 2}, {kDuty4, 4}, {kDuty6, 6}, {kAfterPowerOn, 1}};
    const Heard& h = H();
    for (const auto& c : cases) {
        const auto t =
            RisingCrossings(h.L(), h.At(c.note, 20), h.End(c.note) - 960, h.base[c.note], 3 * h.unit);
        ASSERT_GT(t.size(), 50u) << c.note;
        EXPECT_NEAR(Frequency(t) / PulseHz(1792), 1, 0.005) << c.note;
        size_t high = 0;
        const size_t from = size_t(std::ceil(t.front())), to = size_t(std::ceil(t.back()));
        for (size_t n = from; n < to; ++n) high += h.L()[n] > h.base[c.note];
        EXPECT_NEAR(double(high) / double(to - from), c.eighths / 8.0, 0.02) << "note " << c.note;
    }
}

TEST_P(SoundRom, EnvelopeStepsOnceEveryPaceSixtyFourthsOfASecond) {
    // 50% duty at 1024 Hz: two periods a window. The first step comes within
    // a pace of the trigger (one 512 Hz step later if the trigger was just
    // before an envelope step), the others a pace apart.
    const struct {
        Note note;
        int from, dir, pace;
    } cases[] = {{kEnvelopeDown, 15, -1, 1}, {kEnvelopeUp, 0, +1, 2}};
    const Heard& h = H();
    const size_t w = 94;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        const auto levels = Levels(h, h.onset[c.note] + 48, h.End(c.note) - 48, w);
        std::vector<std::pair<size_t, std::vector<double>>> runs;  // start, levels
        for (const auto& [at, level] : levels) {
            if (runs.empty() || std::lround(level) != std::lround(runs.back().second.back()))
                runs.push_back({at, {}});
            runs.back().second.push_back(level);
        }
        ASSERT_EQ(runs.size(), 16u);
        const double pace = c.pace * kSampleRate / 64, slack = 2.0 * double(w);
        for (size_t i = 0; i < runs.size(); ++i) {
            auto& lv = runs[i].second;
            std::nth_element(lv.begin(), lv.begin() + long(lv.size() / 2), lv.end());
            EXPECT_NEAR(lv[lv.size() / 2], c.from + c.dir * int(i), 0.3) << "step " << i;
            if (i == 1) {
                const double first = double(runs[1].first - h.onset[c.note]);
                EXPECT_GT(first, pace - kSampleRate / 64 - slack);
                EXPECT_LT(first, pace + kSampleRate / 512 + slack);
            } else if (i > 1) {
                EXPECT_NEAR(double(runs[i].first - runs[i - 1].first), pace, slack) << "step " << i;
            }
        }
    }
}

TEST_P(SoundRom, LengthStopsTheNoteAfterItsTicksAt256Hz) {
    // n ticks from the trigger: the first regular tick within 1/512 s, or,
    // with the sequencer's next step clocking no length, one at once and the
    // next within 1/256 s; so (n - 1.5)/256 to (n - 0.5)/256 s, and the last
    // edge up to a millisecond from the stop.
    const struct {
        Note note;
        int ticks;
    } cases[] = {{kLength2, 32}, {kLength3, 64}, {kLength4, 16}};
    const Heard& h = H();
    for (const auto& c : cases) {
        const size_t end = LastEdge(h.L(), h.onset[c.note] + 2, h.End(c.note) - 48, 0.2 * h.unit);
        const double ms = double(end - h.onset[c.note]) / kSamplesPerMs;
        EXPECT_GT(ms, (c.ticks - 1.5) / 256 * 1000 - 1) << "note " << c.note;
        EXPECT_LT(ms, (c.ticks - 0.5) / 256 * 1000 + 1) << "note " << c.note;
    }
}

INSTANTIATE_TEST_SUITE_P(BothMachines, SoundRom, ::testing::Values("wenlo", "handheld"));

}  // namespace
}  // namespace wenlo::test
