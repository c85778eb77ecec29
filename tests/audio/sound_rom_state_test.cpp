// State files and the sound: a note saved in mid-play on the handheld goes
// on after the load where it left off, and the design's machine saves the
// same state whether its sound is written or not.
#include "tests/audio/sound_rom_fixture.h"
#include "tests/tools/run_support.h"

namespace wenlo::test {
namespace {

// Runs the sound cartridge with extra arguments; the WAV file read back.
Recording RunSound(std::vector<std::string> args, const std::string& wav) {
    args.insert(args.end(), {"--wav", wav, kSoundRom});
    std::ostringstream out, err;
    if (tools::RunMain(args, out, err) != 0) throw std::runtime_error("wenlo-run failed: " + err.str());
    return ReadRecording(wav);
}

std::vector<double> Crossings(const std::vector<double>& x, size_t from, size_t to) {
    const double lo = Quantile(x, from, to, 0.25), hi = Quantile(x, from, to, 0.75);
    return RisingCrossings(x, from, to, (lo + hi) / 2, (hi - lo) / 4);
}

TEST(SoundRomState, AHandheldNoteSavedInMidPlayGoesOnAfterTheLoad) {
    // The note at x 1750 plays from frame 54 to 84: saved at frame 66, the
    // run loaded from there must have its rising edges where the run that
    // never stopped has them (the load may move the output by less than a
    // sample: the new run's output starts on a whole frame).
    const std::string dir = MakeTempDir(), state = dir + "/mid.sav";
    const Recording before =
        RunSound({"--machine", "handheld", "--frames", "66", "--state", state}, dir + "/a.wav");
    const Recording after =
        RunSound({"--machine", "handheld", "--frames", "12", "--load-state", state}, dir + "/b.wav");
    const Recording whole = RunSound({"--machine", "handheld", "--frames", "78"}, dir + "/c.wav");
    const size_t at = before.raw[0].size(), span = size_t(10 * kFrameSamples);
    ASSERT_GE(whole.side[0].size(), at + span);
    const auto loaded = Crossings(after.side[0], 48, span);
    const auto straight = Crossings(whole.side[0], at + 48, at + span + 48);
    ASSERT_GT(loaded.size(), size_t(0.9 * 10 * kFrameSamples / kSampleRate * PulseHz(1750)));
    EXPECT_NEAR(Frequency(loaded) / PulseHz(1750), 1, 0.005);
    size_t near = 0;
    for (double t : loaded) {
        const auto it = std::lower_bound(straight.begin(), straight.end(), t + double(at) - 1.5);
        near += it != straight.end() && *it <= t + double(at) + 1.5;
    }
    EXPECT_EQ(near, loaded.size());
}

TEST(SoundRomState, TheDesignMachinesStateIsTheSameWithAndWithoutSound) {
    // Its state holds the sound registers only; writing the sound must not
    // change what the machine does.
    const std::string dir = MakeTempDir();
    for (int frames : {100, 400}) {
        SCOPED_TRACE(frames);
        std::ostringstream out, err;
        const std::string silent = dir + "/silent.sav", heard = dir + "/heard.sav";
        ASSERT_EQ(
            tools::RunMain({"--frames", std::to_string(frames), "--state", silent, kSoundRom}, out, err), 0);
        RunSound({"--frames", std::to_string(frames), "--state", heard}, dir + "/heard.wav");
        const std::string a = ReadText(silent), b = ReadText(heard);
        ASSERT_FALSE(a.empty());
        EXPECT_TRUE(a == b);
    }
}

}  // namespace
}  // namespace wenlo::test
