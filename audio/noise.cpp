// The noise channel (4): a 15-bit linear-feedback shift register clocked at
// 4194304 / (divisor << shift) Hz (NR43: divisor 8 for code 0, else 16 times
// the code; a shift of 14 or 15 leaves it unclocked). Each clock shifts it
// right, feeding bit 0 xor bit 1 into bit 14, and in 7-bit mode into bit 6
// as well; the output is at volume while bit 0 is clear. A trigger sets
// every bit. Switching to 7-bit mode while the low seven bits are all clear
// locks the register (the feedback keeps shifting in zeros) until the next
// trigger, as on the hardware.
#include "audio/apu_internal.h"

namespace wenlo::audio {

namespace {

inline void Shift(Noise& n, bool narrow) {
    const unsigned x = (n.lfsr ^ (n.lfsr >> 1)) & 1;
    unsigned v = (n.lfsr >> 1) | (x << 14);
    if (narrow) v = (v & ~0x40u) | (x << 6);
    n.lfsr = uint16_t(v);
    n.high = !(v & 1);
}

}  // namespace

uint64_t NoiseCycles(uint8_t nr43) {
    const unsigned shift = nr43 >> 4, code = nr43 & 7;
    if (shift >= 14) return 0;
    return uint64_t(code ? code * 16 : 8) << shift;
}

void NoiseRunTo(Apu& a, uint64_t time) {
    Noise& n = a.ch4;
    if (!n.on || n.nextTick > time) return;
    const uint64_t cycles = NoiseCycles(a.regs[kNR43]);
    const bool narrow = a.regs[kNR43] & 0x08;
    const ApuOutput& o = a.out;
    if (n.dac && n.env.volume != 0 && o.factor != 0 && (o.gain[kCh4 * 2] | o.gain[kCh4 * 2 + 1])) {
        const int on = DacLevel(true, n.env.volume), off = DacLevel(true, 0);
        do {
            Shift(n, narrow);
            Emit(a, kCh4, n.nextTick, n.high ? on : off);
            n.nextTick += cycles;
        } while (n.nextTick <= time);
        return;
    }
    do {
        Shift(n, narrow);
        n.nextTick += cycles;
    } while (n.nextTick <= time);
}

void NoiseTrigger(Apu& a, uint64_t time) {
    Noise& n = a.ch4;
    n.lfsr = 0x7FFF;
    n.high = false;
    const uint64_t cycles = NoiseCycles(a.regs[kNR43]);
    n.nextTick = cycles ? time + cycles : kNoTick;
    EnvelopeTrigger(a, n.env, a.regs[kNR42]);
    n.on = n.dac;
}

void NoiseWritePeriod(Apu& a, uint64_t time) {
    // The next clock keeps its time; only a register that was unclocked
    // starts counting now.
    Noise& n = a.ch4;
    const uint64_t cycles = NoiseCycles(a.regs[kNR43]);
    if (cycles == 0) {
        n.nextTick = kNoTick;
    } else if (n.nextTick == kNoTick) {
        n.nextTick = time + cycles;
    }
}

}  // namespace wenlo::audio
