// The sound unit's test rig: a unit driven the way a machine drives it
// (register accesses at a time, the frame sequencer every 8,192 cycles, the
// output taken after each run), and what the tests measure in its output.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "audio/apu.h"
#include "audio/apu_internal.h"

namespace wenlo::audio::test {

constexpr uint64_t kStepCycles = 8192;  // one frame sequencer step
constexpr double kClock = kClockHz;

struct Rig {
    Apu apu;
    uint64_t now = 0;
    uint64_t nextStep = kStepCycles;
    double rate;
    std::vector<int16_t> samples;  // interleaved left, right

    // A unit powered on at time 0 with nothing playing, its output at rest.
    explicit Rig(double framesPerSecond = 48000) : rate(framesPerSecond) {
        ApuSetOutputRate(apu, rate);
        ApuReset(apu, 0, false);
        Write(0x26, 0x80);
    }
    // reg: the low byte of the address (0x10-0x3F).
    void Write(uint8_t reg, uint8_t v) { ApuWrite(apu, uint16_t(0xFF00 | reg), v, now); }
    uint8_t Read(uint8_t reg) { return ApuRead(apu, uint16_t(0xFF00 | reg), now); }
    // Moves time on, stepping the sequencer on the way, and takes the output.
    // The output is taken every 65,536 cycles at least, as a front end would.
    void Run(uint64_t cycles) {
        const uint64_t end = now + cycles;
        while (now < end) {
            const uint64_t to = std::min(end, now + 65536);
            while (nextStep <= to) {
                ApuSequencerStep(apu, nextStep);
                nextStep += kStepCycles;
            }
            ApuRunTo(apu, to);
            now = to;
            Take();
        }
    }
    void RunSeconds(double s) { Run(uint64_t(s * kClock)); }
    // Steps until the sequencer's next step is `step` (0-7), then runs to it
    // minus `before` cycles.
    void RunToStep(unsigned step, uint64_t before = 4) {
        Run(nextStep - now);
        while (apu.seqStep != step) Run(kStepCycles);
        Run(kStepCycles - before);
    }
    void Take() {
        int16_t buf[4096];
        size_t n;
        while ((n = ApuTakeSamples(apu, buf, 2048)) > 0) samples.insert(samples.end(), buf, buf + n * 2);
    }
    size_t Frames() const { return samples.size() / 2; }
    // The output frame nearest to time `cycle`, the kernel's delay included.
    size_t FrameAt(uint64_t cycle) const { return size_t(double(cycle) * rate / kClock + 7.5); }

    // One side's output (0 left, 1 right) from frame `from` on, in units of
    // level * gain, with the high-pass filter undone: the channels' mix
    // through the band limit alone. Valid from a rig whose filter started
    // at rest at 0 (as the constructor leaves it).
    std::vector<double> Mix(int side) const {
        std::vector<double> out(Frames());
        const double keep = apu.out.chargeFactor;
        double charge = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            double o = samples[i * 2 + side] / double(kOutputScale);
            double in = o + charge;
            charge = in - o * keep;
            out[i] = in;
        }
        return out;
    }
    std::vector<double> Side(int side, size_t from = 0) const {
        std::vector<double> out;
        for (size_t i = from; i < Frames(); ++i) out.push_back(samples[i * 2 + side]);
        return out;
    }
};

// Frequency of a signal from its rising crossings of its mean, with
// hysteresis against the ringing at edges.
inline double Frequency(const std::vector<double>& x, double rate) {
    double lo = *std::min_element(x.begin(), x.end()), hi = *std::max_element(x.begin(), x.end());
    double mid = (lo + hi) / 2, arm = mid - (hi - lo) / 4;
    bool armed = false;
    double first = -1, last = -1;
    int count = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i] < arm) armed = true;
        if (armed && x[i - 1] < mid && x[i] >= mid) {
            double t = double(i - 1) + (mid - x[i - 1]) / (x[i] - x[i - 1]);
            if (first < 0) first = t;
            last = t;
            ++count;
            armed = false;
        }
    }
    return count < 2 ? 0 : (count - 1) * rate / (last - first);
}

inline double PeakToPeak(const std::vector<double>& x, size_t from, size_t to) {
    auto [lo, hi] = std::minmax_element(x.begin() + from, x.begin() + to);
    return *hi - *lo;
}

// Power spectrum (|X|^2) of the first 2^k samples under a Blackman-Harris
// window (side lobes below -92 dB).
inline std::vector<double> PowerSpectrum(const std::vector<double>& x, size_t n) {
    const double pi = std::acos(-1.0);
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        double t = 2 * pi * i / (n - 1);
        double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
        a[i] = x[i] * w;
    }
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w = std::polar(1.0, -2 * pi / len);
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (size_t k = 0; k < len / 2; ++k, wk *= w) {
                auto u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
    std::vector<double> p(n / 2);
    for (size_t i = 0; i < n / 2; ++i) p[i] = std::norm(a[i]);
    return p;
}

inline double Decibels(double powerRatio) { return 10 * std::log10(powerRatio); }

}  // namespace wenlo::audio::test
