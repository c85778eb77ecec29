// Saving and loading the unit: VisitState's fields carry everything that
// decides what the unit does next, a loaded state's output continues, and
// the design's machine's rebuild from registers plays what was playing.
#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

#include "tests/audio/apu_rig.h"

namespace wenlo::audio::test {
namespace {

std::vector<uint8_t> Save(Apu& a) {
    std::vector<uint8_t> bytes;
    VisitState(a, [&](auto& field) {
        static_assert(std::is_trivially_copyable_v<std::remove_reference_t<decltype(field)>>);
        const auto* p = reinterpret_cast<const uint8_t*>(&field);
        bytes.insert(bytes.end(), p, p + sizeof field);
    });
    return bytes;
}

void Load(Apu& a, const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    VisitState(a, [&](auto& field) {
        std::memcpy(&field, bytes.data() + at, sizeof field);
        at += sizeof field;
    });
    ASSERT_EQ(at, bytes.size());
}

// All four channels busy: sweep, envelopes, lengths, a wave table, noise.
void PlayEverything(Rig& r) {
    r.Write(0x24, 0x77);
    r.Write(0x25, 0xFF);
    r.Write(0x10, 0x2A);
    r.Write(0x11, 0x90);
    r.Write(0x12, 0xF2);
    r.Write(0x13, 0x20);
    r.Write(0x14, 0x86);
    r.Write(0x16, 0x70);
    r.Write(0x17, 0x3D);
    r.Write(0x18, 0x90);
    r.Write(0x19, 0xC7);
    for (int i = 0; i < 16; ++i) r.Write(uint8_t(0x30 + i), uint8_t(i * 37));
    r.Write(0x1A, 0x80);
    r.Write(0x1B, 0x20);
    r.Write(0x1C, 0x40);
    r.Write(0x1D, 0x55);
    r.Write(0x1E, 0xC6);
    r.Write(0x21, 0xA3);
    r.Write(0x22, 0x5B);
    r.Write(0x23, 0x80);
}

TEST(State, LoadedStateGoesOnExactlyAsTheSaved) {
    Rig a;
    PlayEverything(a);
    a.Run(123457);
    const std::vector<uint8_t> saved = Save(a.apu);
    Rig b;  // elsewhere: other time, other output history
    b.Run(5000);
    Load(b.apu, saved);
    b.now = a.now;
    b.nextStep = a.nextStep;
    for (int i = 0; i < 40; ++i) {
        a.Run(40000);
        b.Run(40000);
        ASSERT_EQ(Save(a.apu), Save(b.apu)) << "after " << i + 1 << " runs";
        ASSERT_EQ(a.Read(0x26), b.Read(0x26));
    }
}

TEST(State, RewindContinuesTheOutputWithoutAGap) {
    Rig r;
    PlayEverything(r);
    r.RunSeconds(0.2);
    const std::vector<uint8_t> past = Save(r.apu);
    const uint64_t pastNow = r.now, pastStep = r.nextStep;
    r.RunSeconds(0.3);
    const size_t before = r.Frames();
    Load(r.apu, past);
    r.now = pastNow;
    r.nextStep = pastStep;
    r.RunSeconds(0.3);
    EXPECT_NEAR(double(r.Frames() - before), 0.3 * 48000, 2);
}

TEST(State, RestartFromRegistersPlaysWhatWasPlaying) {
    Rig a;
    a.Write(0x24, 0x77);
    a.Write(0x25, 0xFF);
    a.Write(0x11, 0x80);
    a.Write(0x12, 0xF0);
    a.Write(0x13, uint8_t(1750));
    a.Write(0x14, uint8_t(0x80 | 1750 >> 8));
    // Noise triggered with its DAC off: NR44 holds the trigger bit, but the
    // channel never played and must not start.
    a.Write(0x22, 0x11);
    a.Write(0x23, 0x80);
    a.Run(50000);
    std::array<uint8_t, kRegisterCount> regs = a.apu.regs;
    regs[kNR52] = a.Read(0x26);
    ASSERT_EQ(regs[kNR52], 0xF1);
    Rig b;
    b.Run(777);
    ApuRestartFromRegisters(b.apu, regs, b.now);
    EXPECT_EQ(b.Read(0x26), 0xF1);
    const size_t from = b.Frames() + 1000;
    b.RunSeconds(0.3);
    EXPECT_NEAR(Frequency(b.Side(0, from), b.rate) / (131072.0 / (2048 - 1750)), 1.0, 0.005);
    // Powered off in the registers: off after the rebuild.
    regs[kNR52] = 0x70;
    ApuRestartFromRegisters(b.apu, regs, b.now);
    EXPECT_EQ(b.Read(0x26), 0x70);
}

}  // namespace
}  // namespace wenlo::audio::test
