// A benchmark of the sound unit alone, for callgrind: frames of 70,224
// clock cycles with all four channels playing, driven as a machine and a
// front end drive it (a music driver's register writes at the frame start,
// the sequencer every 8,192 cycles, the output taken at 48 kHz after each
// frame). Host instructions per frame: the difference between two runs of
// different lengths, divided by the difference in frames.
//
//   wenlo-apu-bench [FRAMES] [music|noise|silent]
//
// music: notes on both pulse channels, a 32-sample wave, noise clocked at
// 6.5 kHz. noise: the same with the noise at its fastest, 524 kHz. silent:
// the unit on, every channel stopped.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/apu.h"

using namespace wenlo::audio;

namespace {

constexpr uint64_t kFrameCycles = 70224;
constexpr uint64_t kStepCycles = 8192;

void W(Apu& a, uint8_t reg, uint8_t v, uint64_t t) { ApuWrite(a, uint16_t(0xFF00 | reg), v, t); }

void Start(Apu& a, bool fastNoise, uint64_t t) {
    W(a, 0x24, 0x77, t);
    W(a, 0x25, 0xFF, t);
    for (int i = 0; i < 16; ++i) {
        // A triangle: 0..15..0 over the 32 samples.
        int s0 = i < 8 ? i * 2 : 30 - i * 2, s1 = s0 + (i < 8 ? 1 : -1);
        W(a, uint8_t(0x30 + i), uint8_t(s0 << 4 | (s1 & 15)), t);
    }
    W(a, 0x1A, 0x80, t);
    W(a, 0x1C, 0x20, t);
    W(a, 0x21, 0xF2, t);
    W(a, 0x22, fastNoise ? 0x00 : 0x35, t);
    W(a, 0x23, 0x80, t);
}

// The driver's work at the start of frame `f`: a new note on each channel
// every few frames, as a song would.
void Frame(Apu& a, uint64_t f, uint64_t t) {
    static const uint16_t notes[8] = {1798, 1825, 1849, 1860, 1881, 1899, 1915, 1923};
    if (f % 8 == 0) {
        uint16_t x = notes[(f / 8) % 8];
        W(a, 0x11, 0x80, t);
        W(a, 0x12, 0xF3, t);
        W(a, 0x13, uint8_t(x), t);
        W(a, 0x14, uint8_t(0x80 | x >> 8), t);
    }
    if (f % 12 == 4) {
        uint16_t x = uint16_t(notes[(f / 12) % 8] - 1024 / 2);
        W(a, 0x16, 0x40, t);
        W(a, 0x17, 0xA5, t);
        W(a, 0x18, uint8_t(x), t);
        W(a, 0x19, uint8_t(0x80 | x >> 8), t);
    }
    if (f % 32 == 0) {
        uint16_t x = uint16_t(notes[(f / 32) % 8] - 256);
        W(a, 0x1D, uint8_t(x), t);
        W(a, 0x1E, uint8_t(0x80 | x >> 8), t);
    }
    if (f % 16 == 8) W(a, 0x23, 0x80, t);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t frames = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 600;
    const char* mode = argc > 2 ? argv[2] : "music";
    const bool silent = std::strcmp(mode, "silent") == 0;
    Apu* a = new Apu;
    ApuSetOutputRate(*a, 48000);
    ApuReset(*a, 0, true);
    uint64_t t = 0, nextStep = kStepCycles;
    if (!silent) Start(*a, std::strcmp(mode, "noise") == 0, t);
    static int16_t out[4096 * 2];
    uint64_t taken = 0;
    for (uint64_t f = 0; f < frames; ++f) {
        if (!silent) Frame(*a, f, t);
        const uint64_t end = t + kFrameCycles;
        for (; nextStep <= end; nextStep += kStepCycles) ApuSequencerStep(*a, nextStep);
        ApuRunTo(*a, end);
        taken += ApuTakeSamples(*a, out, 4096);
        t = end;
    }
    std::printf("frames=%llu samples=%llu playing=%02x\n", (unsigned long long)frames,
                (unsigned long long)taken, ApuRead(*a, 0xFF26, t));
    delete a;
    return 0;
}
