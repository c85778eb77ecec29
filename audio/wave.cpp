// The wave channel (3): 32 four-bit samples in wave RAM, high nibble first,
// read one at each overflow of its period divider (counting at 2 MHz). The
// sample read is held in a buffer that a trigger does not refill: after a
// trigger the last sample ever read plays until the first read, which is of
// sample 1, not 0.
//
// Wave RAM is shared with the channel. While it plays, the CPU reaches it
// only in the clock cycles in which the channel reads it, and then only the
// byte being read, whatever the address; at other times reads give 0xFF and
// writes are lost. A retrigger in such a cycle corrupts the start of wave
// RAM.
#include <algorithm>

#include "audio/apu_internal.h"

namespace wenlo::audio {

namespace {

// The channel's own clock: a read occupies wave RAM for this many cycles.
constexpr uint64_t kReadCycles = 2;

uint64_t WaveCycles(uint16_t period) { return uint64_t(2048 - period) * 2; }

uint8_t SampleAt(const Apu& a, unsigned position) {
    uint8_t byte = a.regs[kWaveRam + position / 2];
    return position & 1 ? byte & 0x0F : byte >> 4;
}

bool ReadingNow(const Wave& w, uint64_t time) { return w.on && time - w.lastRead < kReadCycles; }

}  // namespace

void WaveRunTo(Apu& a, uint64_t time) {
    Wave& w = a.ch3;
    if (!w.on || w.nextTick > time) return;
    const uint64_t cycles = WaveCycles(w.period);
    const ApuOutput& o = a.out;
    const int shift = WaveShift(a.regs[kNR32]);
    if (w.dac && shift < 4 && o.factor != 0 && (o.gain[kCh3 * 2] | o.gain[kCh3 * 2 + 1])) {
        do {
            w.position = (w.position + 1) & 31;
            w.sample = SampleAt(a, w.position);
            Emit(a, kCh3, w.nextTick, DacLevel(true, w.sample >> shift));
            w.lastRead = w.nextTick;
            w.nextTick += cycles;
        } while (w.nextTick <= time);
        return;
    }
    const uint64_t n = (time - w.nextTick) / cycles + 1;
    w.position = uint8_t((w.position + n) & 31);
    w.sample = SampleAt(a, w.position);
    w.lastRead = w.nextTick + (n - 1) * cycles;
    w.nextTick += n * cycles;
}

void WaveTrigger(Apu& a, uint64_t time) {
    Wave& w = a.ch3;
    if (ReadingNow(w, time)) {
        // The monochrome model's corruption: the byte being read lands in
        // byte 0, or, from bytes 4-15, its aligned group of four in bytes 0-3.
        const unsigned byte = w.position / 2;
        uint8_t* ram = a.regs.data() + kWaveRam;
        if (byte < 4) {
            ram[0] = ram[byte];
        } else {
            std::copy_n(ram + (byte & ~3u), 4, ram);
        }
    }
    w.position = 0;
    w.nextTick = time + WaveCycles(w.period);
    w.on = w.dac;
}

uint8_t WaveRamRead(const Apu& a, unsigned index, uint64_t time) {
    const Wave& w = a.ch3;
    if (!w.on) return a.regs[kWaveRam + index];
    return ReadingNow(w, time) ? a.regs[kWaveRam + w.position / 2] : 0xFF;
}

void WaveRamWrite(Apu& a, unsigned index, uint8_t value, uint64_t time) {
    const Wave& w = a.ch3;
    if (!w.on) {
        a.regs[kWaveRam + index] = value;
    } else if (ReadingNow(w, time)) {
        a.regs[kWaveRam + w.position / 2] = value;
    }
}

}  // namespace wenlo::audio
