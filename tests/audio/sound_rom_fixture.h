// The sound test cartridge (tests/handheld/roms/sound.s) played on both
// machines through wenlo-run --wav, each machine's run made once and shared
// by the tests in sound_rom_test.cpp and sound_rom_channels_test.cpp.
//
// Levels are counted in DAC steps: U, one step of one DAC's input (0-15), is
// taken from a note at volume 15, and a DAC that is off sits at 7.5 steps
// (the sound hardware reference: the DACs turn 0..15 into -1..1, off is 0).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/audio/sound_analysis.h"
#include "tests/support/rom_builder.h"
#include "tools/headless.h"

namespace wenlo::test {

// The cartridge's notes in order, and the frames each plays (every one is
// followed by 12 frames of silence; the power-off note by 24).
enum Note : int {
    kPitch1024,
    kPitch1750,
    kPitch1985,
    kPitchCh1,
    kDuty1,
    kDuty2,
    kDuty4,
    kDuty6,
    kEnvelopeDown,
    kEnvelopeUp,
    kLength2,
    kLength3,
    kLength4,
    kSweepUp,
    kSweepDown,
    kWave100,
    kWave50,
    kWave25,
    kNoise15,
    kNoise7,
    kLeft,
    kRight,
    kVolumes,
    kPowerOff,
    kAfterPowerOn,
    kNotes
};
constexpr int kNoteFrames[kNotes] = {30, 30, 30, 30, 20, 20, 20, 20, 18, 36, 20, 20, 20,
                                     15, 12, 15, 15, 15, 30, 30, 12, 12, 12, 12, 12};
constexpr int kRunFrames = 900;

inline const std::string kSoundRom = std::string(WENLO_SOURCE_DIR) + "/tests/handheld/roms/sound.gb";

inline double PulseHz(int x) { return 131072.0 / (2048 - x); }

// One machine's run, with every note found.
struct Heard {
    Recording rec;
    std::array<size_t, kNotes> onset{};      // the sample where the note's DAC comes on
    std::array<size_t, kNotes> scheduled{};  // where the frames counted put it
    std::array<double, kNotes> base{};       // the left side's silence just before it
    double unit = 0;                         // U, on the left side

    const std::vector<double>& L() const { return rec.side[0]; }
    size_t End(Note n) const { return onset[n] + size_t(kNoteFrames[n] * kFrameSamples); }
    size_t At(Note n, double ms) const { return onset[n] + size_t(ms * kSamplesPerMs); }
    // A level of the left side as a DAC input.
    double Digital(Note n, double level) const { return (level - base[n]) / unit + 7.5; }
};

inline std::unique_ptr<Heard> Listen(const std::string& machine) {
    const std::string wav = MakeTempDir() + "/sound.wav";
    std::ostringstream out, err;
    if (tools::RunMain(
            {"--machine", machine, "--frames", std::to_string(kRunFrames), "--wav", wav, kSoundRom}, out,
            err) != 0)
        throw std::runtime_error("wenlo-run failed: " + err.str());
    auto h = std::make_unique<Heard>();
    h->rec = ReadRecording(wav);
    const auto& raw = h->rec.raw;
    double peak = 0;
    for (int s = 0; s < 2; ++s)
        for (double v : raw[s]) peak = std::max(peak, std::abs(v));
    auto loud = [&](size_t n) { return std::abs(raw[0][n]) > peak / 8 || std::abs(raw[1][n]) > peak / 8; };
    // The first note after the start's settling, then each where the
    // schedule puts it (within half a frame).
    size_t n = size_t(6 * kFrameSamples);
    while (n < raw[0].size() && !loud(n)) ++n;
    double frames = 0;
    for (int k = 0; k < kNotes; ++k) {
        const size_t expected = h->onset[0] + size_t(frames * kFrameSamples);
        if (k > 0) {
            n = expected - size_t(kFrameSamples / 2);
            while (n < expected + size_t(kFrameSamples / 2) && !loud(n)) ++n;
        }
        h->onset[k] = n;
        h->scheduled[k] = expected;
        h->base[k] = Quantile(h->L(), n - size_t(6 * kSamplesPerMs), n - size_t(kSamplesPerMs), 0.5);
        frames += kNoteFrames[k] + (k == kPowerOff ? 24 : 12);
    }
    h->unit = (Quantile(h->L(), h->At(kPitch1750, 20), h->End(kPitch1750), 0.75) -
               Quantile(h->L(), h->At(kPitch1750, 20), h->End(kPitch1750), 0.25)) /
              15;
    return h;
}

class SoundRom : public ::testing::TestWithParam<const char*> {
protected:
    const Heard& H() {
        static std::map<std::string, std::unique_ptr<Heard>> runs;
        auto& h = runs[GetParam()];
        if (!h) h = Listen(GetParam());
        return *h;
    }
};

// The left side's level, in DAC steps, of consecutive windows of `w`
// samples from `from` to `to`, as (first sample, level) pairs.
inline std::vector<std::pair<size_t, double>> Levels(const Heard& h, size_t from, size_t to, size_t w) {
    std::vector<std::pair<size_t, double>> v;
    for (size_t n = from; n + w <= to; n += w)
        v.push_back({n, (Quantile(h.L(), n, n + w, 0.75) - Quantile(h.L(), n, n + w, 0.25)) / h.unit});
    return v;
}

}  // namespace wenlo::test
