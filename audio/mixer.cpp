// The mixer and the output stage. NR51 routes each channel's DAC to the left
// and right terminals, NR50 scales each terminal by its volume plus one (it
// never mutes), and a capacitor in series with each output removes the DC
// that the DACs' unsigned range leaves: each clock cycle it keeps 0.999958 of
// its charge's difference from the input, so per output frame it keeps that
// factor to the power of the cycles in a frame.
#include <algorithm>
#include <cstring>

#include "audio/apu_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wenlo::audio {

namespace {

#if !defined(__SSE2__)
int16_t ToSample(float v) {
    float s = std::clamp(v * kOutputScale, -32768.0f, 32767.0f);
    return int16_t(s < 0 ? s - 0.5f : s + 0.5f);
}
#endif

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
#if defined(__SSE2__)
    // Left and right side by side in the low two lanes.
    __m128 sum = _mm_setr_ps(o.sum[0], o.sum[1], 0, 0);
    __m128 charge = _mm_setr_ps(o.charge[0], o.charge[1], 0, 0);
    const __m128 keep = _mm_set1_ps(o.chargeFactor);
    const __m128 scale = _mm_set1_ps(kOutputScale);
    for (size_t i = 0; i < frames; ++i) {
        sum = _mm_add_ps(sum, _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(b + i * 2))));
        __m128 out = _mm_sub_ps(sum, charge);
        charge = _mm_sub_ps(sum, _mm_mul_ps(out, keep));
        if (dest) {
            __m128i s = _mm_cvtps_epi32(_mm_mul_ps(out, scale));
            int32_t pair = _mm_cvtsi128_si32(_mm_packs_epi32(s, s));
            std::memcpy(dest + i * 2, &pair, sizeof pair);
        }
    }
    float s[4], c[4];
    _mm_storeu_ps(s, sum);
    _mm_storeu_ps(c, charge);
    o.sum = {s[0], s[1]};
    o.charge = {c[0], c[1]};
#else
    for (size_t i = 0; i < frames; ++i) {
        for (int side = 0; side < 2; ++side) {
            o.sum[side] += b[i * 2 + side];
            float out = o.sum[side] - o.charge[side];
            o.charge[side] = o.sum[side] - out * o.chargeFactor;
            if (dest) dest[i * 2 + side] = ToSample(out);
        }
    }
#endif
    const size_t live = used - frames;
    std::memmove(b, b + frames * 2, live * 2 * sizeof(float));
    std::memset(b + live * 2, 0, frames * 2 * sizeof(float));
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
