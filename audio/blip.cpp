// Band-limited steps. Every level change of a channel is a step in the
// output; sampled as it is, a step folds everything above half the output
// rate back into the audible band (a 4 kHz pulse at 48 kHz would alias at
// about -20 dB). So each step is added as the impulse of a low-pass filter,
// placed at the step's time to 1/256 of an output frame, and the buffer of
// impulses is integrated when read out (mixer.cpp): the result is the
// channels' sum seen through that filter, sampled at the output rate.
//
// The filter: a sinc cut off at 0.43 of the output rate, under a Kaiser
// window (beta 7) 14 frames wide, its taps normalised per phase so that a
// step ends exactly at its height. Above 0.58 of the output rate (27.8 kHz
// at 48 kHz, the first harmonic of a 4 kHz pulse that can fold down into the
// audible band) it passes less than -60 dB.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/apu_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wenlo::audio {

namespace {

constexpr double kCutoff = 0.43;    // of the output rate
constexpr double kBeta = 7.0;       // the window's shape
constexpr double kHalfWidth = 7.0;  // frames either side of the centre
constexpr double kDelay = 7.0;      // frames from the first tap to the centre
constexpr uint32_t kMinCapacity = 4096;

struct KernelTable {
    alignas(16) float taps[kBlipPhases][kBlipTaps];
};

// The modified Bessel function of the first kind, order 0, by its series.
double BesselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

KernelTable BuildKernels() {
    KernelTable t{};
    const double pi = std::acos(-1.0);
    for (int phase = 0; phase < kBlipPhases; ++phase) {
        // Steps are placed by truncating their position: the middle of the
        // phase's range is the best single position for all of them.
        double frac = (phase + 0.5) / kBlipPhases;
        double raw[kBlipTaps];
        double total = 0;
        for (int n = 0; n < kBlipTaps; ++n) {
            double x = n - kDelay - frac;
            double r = x / kHalfWidth;
            double v = 0;
            if (r > -1 && r < 1) {
                double arg = 2 * kCutoff * x * pi;
                double sinc = x == 0 ? 1 : std::sin(arg) / arg;
                v = 2 * kCutoff * sinc * BesselI0(kBeta * std::sqrt(1 - r * r)) / BesselI0(kBeta);
            }
            raw[n] = v;
            total += v;
        }
        for (int n = 0; n < kBlipTaps; ++n) t.taps[phase][n] = float(raw[n] / total * kOutputScale);
    }
    return t;
}

const KernelTable& Kernels() {
    static const KernelTable table = BuildKernels();
    return table;
}

#if defined(__SSE2__)
// Four taps into four frames of (left, right).
inline void AddFourTaps(float* b, const float* k, __m128 d) {
    __m128 kk = _mm_load_ps(k);
    __m128 lo = _mm_mul_ps(_mm_unpacklo_ps(kk, kk), d);
    __m128 hi = _mm_mul_ps(_mm_unpackhi_ps(kk, kk), d);
    _mm_storeu_ps(b, _mm_add_ps(_mm_loadu_ps(b), lo));
    _mm_storeu_ps(b + 4, _mm_add_ps(_mm_loadu_ps(b + 4), hi));
}
#endif

}  // namespace

const float* BlipKernel(int phase) { return Kernels().taps[phase]; }

void BlipAddStep(ApuOutput& o, uint64_t time, float left, float right) {
    uint64_t pos = OutputPosition(o, time);
    size_t frame = size_t(pos >> 32);
    const float* k = Kernels().taps[(pos >> (32 - kBlipPhaseBits)) & (kBlipPhases - 1)];
    float* b = o.buffer.data() + frame * 2;
#if defined(__SSE2__)
    static_assert(kBlipTaps == 16);
    const __m128 d = _mm_setr_ps(left, right, left, right);
    AddFourTaps(b, k, d);
    AddFourTaps(b + 8, k + 4, d);
    AddFourTaps(b + 16, k + 8, d);
    AddFourTaps(b + 24, k + 12, d);
#else
    for (int n = 0; n < kBlipTaps; ++n) {
        b[n * 2] += k[n] * left;
        b[n * 2 + 1] += k[n] * right;
    }
#endif
}

uint64_t OutputChunk(const ApuOutput& o) {
    // Frames per cycle is factor / 2^32; half the buffer in cycles.
    return (uint64_t(o.capacity / 2) << 32) / std::max<uint64_t>(o.factor, 1);
}

void OutputMakeRoom(ApuOutput& o, uint64_t time) {
    if (o.factor == 0) return;
    size_t end = size_t(OutputPosition(o, time) >> 32) + 1;
    if (end <= o.capacity) return;
    size_t excess = std::min(end - o.capacity, OutputReady(o));
    o.dropped += excess;
    OutputDrain(o, nullptr, excess);
}

void OutputRebase(ApuOutput& o, uint64_t time) {
    if (o.factor != 0) o.offset = OutputPosition(o, o.synthTime);
    o.origin = time;
    o.synthTime = time;
}

void OutputClear(ApuOutput& o) {
    std::fill(o.buffer.begin(), o.buffer.end(), 0.0f);
    o.offset = 0;
    o.origin = o.synthTime;
    // Whatever the levels held, the capacitor is charged to them: at rest.
    o.filtered = {0, 0};
}

void ApuSetOutputRate(Apu& a, double rate) {
    ApuOutput& o = a.out;
    if (!(rate > 0)) {
        o.rate = 0;
        o.factor = 0;
        o.buffer.clear();
        o.capacity = 0;
        return;
    }
    rate = std::clamp(rate, 8000.0, 192000.0);
    bool starting = o.factor == 0;
    if (!starting) OutputRebase(o, o.synthTime);
    o.rate = rate;
    o.factor = uint64_t(std::llround(rate * 4294967296.0 / kClockHz));
    o.chargeFactor = float(std::pow(0.999958, double(kClockHz) / rate));
    // A quarter of a second, never less than kMinCapacity frames; it only
    // grows, so a steered rate never moves the frames held.
    uint32_t wanted = std::max<uint32_t>(kMinCapacity, uint32_t(rate / 4));
    if (wanted > o.capacity) {
        o.capacity = wanted;
        o.buffer.resize(size_t(o.capacity + kBlipTaps + 1) * 2, 0.0f);
    }
    if (starting) {
        // Levels are not followed while there is no output.
        for (int ch = 0; ch < 4; ++ch) o.level[ch] = int8_t(ChannelLevel(a, ch));
        o.origin = o.synthTime = a.last;
        OutputClear(o);
    }
}

}  // namespace wenlo::audio
