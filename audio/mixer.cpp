// The mixer and the output stage. NR51 routes each channel's DAC to the left
// and right terminals, NR50 scales each terminal by its volume plus one (it
// never mutes), and a capacitor in series with each output removes the DC
// that the DACs' unsigned range leaves: with the input held, the output (the
// input less the capacitor's charge) falls to 0.999958 of itself each clock
// cycle, so to that factor to the power of the cycles in a frame each
// output frame.
#include <algorithm>
#include <cstring>

#include "audio/apu_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wenlo::audio {

namespace {

int16_t ToSample(float v) {
    float s = std::clamp(v, -32768.0f, 32767.0f);
    return int16_t(s < 0 ? s - 0.5f : s + 0.5f);
}

}  // namespace

int ChannelLevel(const Apu& a, int channel) {
    switch (channel) {
        case kCh1: return PulseLevel(a.ch1);
        case kCh2: return PulseLevel(a.ch2);
        case kCh3: return WaveLevel(a);
        default: return NoiseLevel(a.ch4);
    }
}

void MixerSync(Apu& a, uint64_t time) {
    ApuOutput& o = a.out;
    uint8_t nr50 = a.regs[kNR50], nr51 = a.regs[kNR51];
    int volume[2] = {((nr50 >> 4) & 7) + 1, (nr50 & 7) + 1};
    for (int ch = 0; ch < 4; ++ch) {
        int gain[2] = {(nr51 >> (4 + ch) & 1) * volume[0], (nr51 >> ch & 1) * volume[1]};
        int level = ChannelLevel(a, ch);
        int dl = level * gain[0] - o.level[ch] * o.gain[ch * 2];
        int dr = level * gain[1] - o.level[ch] * o.gain[ch * 2 + 1];
        if ((dl | dr) != 0 && o.factor != 0) BlipAddStep(o, time, float(dl), float(dr));
        o.level[ch] = int8_t(level);
        o.gain[ch * 2] = int16_t(gain[0]);
        o.gain[ch * 2 + 1] = int16_t(gain[1]);
    }
}

void OutputDrain(ApuOutput& o, int16_t* dest, size_t frames) {
    float* b = o.buffer.data();
    const size_t used = OutputReady(o) + kBlipTaps + 1;
    // The buffer holds the deltas of the channels' sum, in output units (the
    // kernels are scaled). The capacitor's output y of the integrated sum s,
    //   y[n] = s[n] - c[n-1],  c[n] = (1 - keep) s[n] + keep c[n-1],
    // comes to y[n] = keep y[n-1] + (s[n] - s[n-1]): a leaky integration of
    // the deltas, one multiply and add a frame. Each slot read is cleared
    // for its next use.
    const float keep = o.chargeFactor;
    size_t i = 0;
#if defined(__SSE2__)
    // Two frames at a time, (left, right, left, right):
    //   (y0, y1) = (keep, keep^2) * y[-1] + (d0, keep d0 + d1).
    const __m128 k1 = _mm_set1_ps(keep), k2 = _mm_setr_ps(keep, keep, keep * keep, keep * keep);
    const __m128 zero = _mm_setzero_ps();
    __m128 y = _mm_setr_ps(o.filtered[0], o.filtered[1], o.filtered[0], o.filtered[1]);
    for (; i + 2 <= frames; i += 2) {
        __m128 d = _mm_loadu_ps(b + i * 2);
        _mm_storeu_ps(b + i * 2, zero);
        d = _mm_add_ps(d, _mm_mul_ps(k1, _mm_movelh_ps(zero, d)));
        __m128 out = _mm_add_ps(_mm_mul_ps(k2, y), d);
        y = _mm_movehl_ps(out, out);
        if (dest) {
            __m128i v = _mm_cvtps_epi32(out);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dest + i * 2), _mm_packs_epi32(v, v));
        }
    }
    float yv[4];
    _mm_storeu_ps(yv, y);
    o.filtered = {yv[0], yv[1]};
#endif
    for (; i < frames; ++i) {
        for (int side = 0; side < 2; ++side) {
            o.filtered[side] = o.filtered[side] * keep + b[i * 2 + side];
            b[i * 2 + side] = 0;
            if (dest) dest[i * 2 + side] = ToSample(o.filtered[side]);
        }
    }
    // The frames still open move to the front; the slots they leave that
    // were not read are cleared.
    const size_t live = used - frames;
    std::memmove(b, b + frames * 2, live * 2 * sizeof(float));
    const size_t clearFrom = std::max(live, frames);
    std::memset(b + clearFrom * 2, 0, (used - clearFrom) * 2 * sizeof(float));
    o.offset = OutputPosition(o, o.synthTime) - (uint64_t(frames) << 32);
    o.origin = o.synthTime;
}

size_t ApuSamplesReady(const Apu& a) { return OutputReady(a.out); }

size_t ApuTakeSamples(Apu& a, int16_t* dest, size_t maxFrames) {
    size_t n = std::min(OutputReady(a.out), maxFrames);
    if (n != 0) OutputDrain(a.out, dest, n);
    return n;
}

}  // namespace wenlo::audio
