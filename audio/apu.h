// The sound unit of the original monochrome handheld: two pulse channels
// (the first with a frequency sweep), the wave channel, the noise channel,
// the 512 Hz frame sequencer that clocks their lengths, envelopes and sweep,
// the DACs, the stereo mixer (NR50, NR51) and the output's high-pass filter,
// with register reads as the hardware gives them.
//
// Time is the machine's: clock cycles of the 4.194304 MHz clock, counting
// up, passed in by the caller. The unit is not stepped cycle by cycle; it is
// brought up to a time when one of its registers is read or written, when
// the frame sequencer steps and at the end of each frame (ApuRunTo). Between
// those calls every channel's output level is constant except at its own
// timer's overflows, so the output is synthesised as band-limited steps at
// those times only (audio/blip.cpp) and read out at the host's sample rate.
//
// Who calls what:
//   - the machine: ApuReset at power-on; ApuRead and ApuWrite for every
//     access to 0xFF10-0xFF3F, with the time of the access; ApuSequencerStep
//     at each 512 Hz step (the complete handheld at each falling edge of bit
//     12 of its 16-bit divider, extra ones included when DIV is written while
//     that bit is 1; the design's machine every 8,192 clock cycles); ApuRunTo
//     at the end of each frame. Times never go backwards, except across a
//     state load (below).
//   - the front end: ApuSetOutputRate once with the device's rate and then
//     by a fraction of a percent to steer the device's buffer; ApuTakeSamples
//     after each frame.
//   - state files and rewind: VisitState over the emulated state; after
//     loading it, the next call of any kind rebuilds the output side (it
//     continues without a gap, the levels meeting through band-limited
//     steps). The design's machine, which stores registers only, calls
//     ApuRestartFromRegisters instead.
//
// Sizes: the emulated state is 152 bytes as VisitState gives it; the output
// buffer (a std::vector in ApuOutput) holds a quarter of a second of frames,
// 4,096 at least. Output: 16-bit stereo, four channels at full level and
// volume reaching about +-30,700; a step sounds 7 frames after its time
// (the middle of its kernel). One thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wenlo::audio {

constexpr uint32_t kClockHz = 4194304;
constexpr uint16_t kFirstRegister = 0xFF10;  // NR10
constexpr uint16_t kLastRegister = 0xFF3F;   // the end of wave RAM
constexpr size_t kRegisterCount = 48;
// Offsets into Apu::regs (address - kFirstRegister).
constexpr unsigned kNR10 = 0x00, kNR11 = 0x01, kNR12 = 0x02, kNR13 = 0x03, kNR14 = 0x04;
constexpr unsigned kNR21 = 0x06, kNR22 = 0x07, kNR23 = 0x08, kNR24 = 0x09;
constexpr unsigned kNR30 = 0x0A, kNR31 = 0x0B, kNR32 = 0x0C, kNR33 = 0x0D, kNR34 = 0x0E;
constexpr unsigned kNR41 = 0x10, kNR42 = 0x11, kNR43 = 0x12, kNR44 = 0x13;
constexpr unsigned kNR50 = 0x14, kNR51 = 0x15, kNR52 = 0x16;
constexpr unsigned kWaveRam = 0x20;  // 16 bytes, two samples each, high nibble first
constexpr uint64_t kNoTick = ~uint64_t(0);

// A length counter: 256 Hz ticks left before the channel stops (64 for the
// pulse and noise channels at most, 256 for the wave channel).
struct Length {
    uint16_t left = 0;
    bool enabled = false;  // NRx4 bit 6
};

// The volume envelope of the pulse and noise channels (NRx2), as latched by
// the last trigger.
struct Envelope {
    uint8_t volume = 0;  // 0-15
    uint8_t pace = 0;    // 64 Hz ticks per change; 0: the volume stays
    uint8_t timer = 0;   // 64 Hz ticks left until the next change
    bool up = false;
};

struct Pulse {
    bool on = false;        // playing (NR52's flag)
    bool dac = false;       // NRx2 & 0xF8
    bool high = false;      // the waveform as last clocked: at volume or at 0
    uint8_t duty = 0;       // NRx1 bits 6-7
    uint8_t step = 0;       // position in the 8-step waveform
    uint16_t period = 0;    // the 11-bit period value (NRx3, NRx4 bits 0-2)
    uint64_t nextTick = 0;  // time of the period divider's next overflow
    Length length;
    Envelope env;
};

// Channel 1's frequency sweep (NR10).
struct Sweep {
    uint16_t shadow = 0;   // the period it works on
    uint8_t timer = 0;     // 128 Hz ticks left until the next iteration
    bool enabled = false;  // pace or step non-zero at the trigger
    bool negated = false;  // a subtraction was computed since the trigger
};

struct Wave {
    bool on = false;
    bool dac = false;      // NR30 bit 7
    uint8_t position = 0;  // sample index 0-31 last read
    uint8_t sample = 0;    // the sample last read (kept across triggers)
    uint16_t period = 0;
    uint64_t nextTick = 0;
    uint64_t lastRead = 0;  // time wave RAM was last read by the channel
    Length length;
};

struct Noise {
    bool on = false;
    bool dac = false;
    bool high = false;      // bit 0 of the shift register as last clocked, inverted
    uint16_t lfsr = 0;      // 15-bit linear-feedback shift register
    uint64_t nextTick = 0;  // kNoTick: clock shift 14 or 15, never clocked
    Length length;
    Envelope env;
};

// The host side: the accumulation buffer of band-limited steps, the
// integrating high-pass filter and the resampling position. Not part of
// the emulated state (VisitState leaves it out); it follows the state.
struct ApuOutput {
    double rate = 0;                  // output frames a second; 0: no output (until set)
    uint64_t factor = 0;              // output frames per clock cycle, 32.32 fixed point
    uint64_t origin = 0;              // a time, and its position in the buffer in
    uint64_t offset = 0;              // frames (32.32 fixed point): the time base
    uint64_t synthTime = 0;           // the time steps have been emitted up to
    std::array<int8_t, 4> level{};    // each channel's DAC level the buffer holds
    std::array<int16_t, 8> gain{};    // [channel * 2 + side]: NR51 bit * (NR50 volume + 1)
    std::array<float, 2> filtered{};  // the output after the high-pass filter, per side
    float chargeFactor = 0;           // the filter's capacitor's keep per output frame
    uint32_t capacity = 0;            // frames the buffer holds
    uint64_t dropped = 0;             // frames lost because nobody took them in time
    bool resync = false;              // the emulated state was visited (perhaps loaded)
    std::vector<float> buffer;        // (capacity + taps) frames of (left, right) deltas
};

struct Apu {
    // The values written to 0xFF10-0xFF3F (wave RAM at kWaveRam); reads add
    // the write-only bits. NR52 is not kept here.
    std::array<uint8_t, kRegisterCount> regs{};
    bool powered = false;  // NR52 bit 7
    uint8_t seqStep = 0;   // the frame sequencer's next step, 0-7
    uint64_t last = 0;     // the time the unit has been brought up to
    Pulse ch1, ch2;
    Sweep sweep;
    Wave ch3;
    Noise ch4;

    ApuOutput out;
};

// Power-on at `time`. postBoot: with the registers as the boot program
// leaves them (NR52 0xF1 with channel 1 still on at volume 0, NR50 0x77,
// NR51 0xF3, NR11 0x80, NR12 0xF3, ...); otherwise with the unit off and
// every register zero. Keeps the output rate; drops samples not yet taken.
void ApuReset(Apu&, uint64_t time, bool postBoot);

// address: 0xFF10-0xFF3F (others read 0xFF and are not written). Each first
// brings the unit up to `time`. Write-only bits and unused registers read 1;
// NR52 gives the power bit, bits 4-6 set and the channels playing in bits
// 0-3. While the power is off every register but NR52 reads as cleared and
// ignores writes, except the length counters (NRx1), which are still
// written. Wave RAM, while channel 3 plays, gives and takes the byte the
// channel is reading only in the clock cycles it reads it (0xFF otherwise).
uint8_t ApuRead(Apu&, uint16_t address, uint64_t time);
void ApuWrite(Apu&, uint16_t address, uint8_t value, uint64_t time);

// Brings the unit up to `time` (a time at or before the last is ignored).
void ApuRunTo(Apu&, uint64_t time);
// One 512 Hz step of the frame sequencer at `time`: lengths at steps 0, 2,
// 4 and 6, the sweep at 2 and 6, the envelopes at 7. Steps while the power
// is off are ignored; power-on starts at step 0.
void ApuSequencerStep(Apu&, uint64_t time);

// The host's output rate in frames a second (8,000 to 192,000; 0 turns the
// output off). Changes of a fraction of a percent, to steer a device's
// buffer, continue the output without a click.
void ApuSetOutputRate(Apu&, double framesPerSecond);
// Copies up to maxFrames completed frames (left, right, 16-bit signed)
// synthesised up to the last time the unit was brought to, oldest first, and
// removes them; returns the number copied. Frames not taken for about a
// quarter of a second are dropped (counted in out.dropped).
size_t ApuTakeSamples(Apu&, int16_t* interleavedStereo, size_t maxFrames);
// Frames ApuTakeSamples would give now.
size_t ApuSamplesReady(const Apu&);

// For the design's machine after a state load: the unit rebuilt at `time`
// from the values of 0xFF10-0xFF3F alone, in regs order (NR52: bit 7 the
// power, bits 0-3 the channels that were playing). Nothing is triggered
// that was not playing; the channels that were restart their note from its
// registers (period, duty, envelope from its start, length from NRx1). The
// output continues from where it was.
void ApuRestartFromRegisters(Apu&, const std::array<uint8_t, kRegisterCount>& regs, uint64_t time);

// Calls f(field) with every field of the emulated state by reference,
// always in the same order (the output side excluded): enough to save the
// unit and load it back exactly.
template <class F>
void VisitState(Apu& a, F&& f) {
    auto length = [&](Length& l) {
        f(l.left);
        f(l.enabled);
    };
    auto envelope = [&](Envelope& e) {
        f(e.volume);
        f(e.pace);
        f(e.timer);
        f(e.up);
    };
    auto pulse = [&](Pulse& p) {
        f(p.on);
        f(p.dac);
        f(p.high);
        f(p.duty);
        f(p.step);
        f(p.period);
        f(p.nextTick);
        length(p.length);
        envelope(p.env);
    };
    f(a.regs);
    f(a.powered);
    f(a.seqStep);
    f(a.last);
    pulse(a.ch1);
    pulse(a.ch2);
    f(a.sweep.shadow);
    f(a.sweep.timer);
    f(a.sweep.enabled);
    f(a.sweep.negated);
    f(a.ch3.on);
    f(a.ch3.dac);
    f(a.ch3.position);
    f(a.ch3.sample);
    f(a.ch3.period);
    f(a.ch3.nextTick);
    f(a.ch3.lastRead);
    length(a.ch3.length);
    f(a.ch4.on);
    f(a.ch4.dac);
    f(a.ch4.high);
    f(a.ch4.lfsr);
    f(a.ch4.nextTick);
    length(a.ch4.length);
    envelope(a.ch4.env);
    // The state may have been replaced: the output side meets it at the next call.
    a.out.resync = true;
}

}  // namespace wenlo::audio
