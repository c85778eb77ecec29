// Internal to audio/: included only by the sound unit's own sources and its
// unit tests.
//
// How the parts meet. Each channel keeps the time of its timer's next
// overflow and is brought up to a time by its RunTo, which emits a step
// (Emit) wherever its DAC level changes. Register writes and the frame
// sequencer change channels only at a time the unit has been brought up to,
// and call Emit (or MixerSync for the mixer's own registers) at that time.
#pragma once

#include <cstdint>

#include "audio/apu.h"

namespace wenlo::audio {

// The channels by index, as NR51's and NR52's bits count them.
enum : int { kCh1 = 0, kCh2 = 1, kCh3 = 2, kCh4 = 3 };

// 16-bit output per unit of level * gain: four channels at full level and
// full volume (4 * 15 * 8 = 480) come to 30,720.
constexpr float kOutputScale = 64.0f;

// blip.cpp: the band-limited step synthesis. A step is an impulse of the
// step's height, shaped by a windowed sinc kernel of kBlipTaps output frames
// chosen by the step's fraction of a frame (kBlipPhases of them), added into
// the buffer; reading out integrates the buffer back into levels.
constexpr int kBlipTaps = 16;
constexpr int kBlipPhaseBits = 8;
constexpr int kBlipPhases = 1 << kBlipPhaseBits;
// The kernel of a phase: kBlipTaps values summing to kOutputScale, so that
// the buffer holds output units.
const float* BlipKernel(int phase);
// Adds a step of (left, right) at `time` (from out.synthTime's frame on, at
// most out.capacity frames on).
void BlipAddStep(ApuOutput&, uint64_t time, float left, float right);
// The buffer position of `time`, in frames, 32.32 fixed point.
inline uint64_t OutputPosition(const ApuOutput& o, uint64_t time) {
    return o.offset + (time - o.origin) * o.factor;
}
// Frames completed: those before out.synthTime's frame.
inline size_t OutputReady(const ApuOutput& o) {
    return o.factor == 0 ? 0 : size_t(OutputPosition(o, o.synthTime) >> 32);
}
// The clock cycles one call may synthesise: half the buffer.
uint64_t OutputChunk(const ApuOutput&);
// Makes room for steps up to `time`, dropping the oldest frames if needed.
void OutputMakeRoom(ApuOutput&, uint64_t time);
// Continues the buffer from synthTime's position at `time` (a state was
// loaded, or the rate changed).
void OutputRebase(ApuOutput&, uint64_t time);
// Empties the buffer and puts the filter at rest with the levels held (its
// capacitor charged to them): the output starts at 0.
void OutputClear(ApuOutput&);

// mixer.cpp
// The DAC levels, -15..15 (0 with the DAC off; a channel that is off gives
// digital 0, the bottom of the DAC's range).
inline int DacLevel(bool dac, int digital) { return dac ? digital * 2 - 15 : 0; }
inline int PulseLevel(const Pulse& p) { return DacLevel(p.dac, p.on && p.high ? p.env.volume : 0); }
inline int NoiseLevel(const Noise& n) { return DacLevel(n.dac, n.on && n.high ? n.env.volume : 0); }
// NR32's output level as a right shift of the sample (0: muted).
inline int WaveShift(uint8_t nr32) { return (0x2104 >> (((nr32 >> 5) & 3) * 4)) & 0xF; }
inline int WaveLevel(const Apu& a) {
    return DacLevel(a.ch3.dac, a.ch3.on ? a.ch3.sample >> WaveShift(a.regs[kNR32]) : 0);
}
int ChannelLevel(const Apu&, int channel);
// A channel's level is now `level`, from `time` on.
inline void Emit(Apu& a, int channel, uint64_t time, int level) {
    ApuOutput& o = a.out;
    int delta = level - o.level[channel];
    if (delta == 0) return;
    o.level[channel] = int8_t(level);
    int gl = o.gain[channel * 2], gr = o.gain[channel * 2 + 1];
    if ((gl | gr) == 0 || o.factor == 0) return;
    BlipAddStep(o, time, float(delta * gl), float(delta * gr));
}
inline void EmitNow(Apu& a, int channel, uint64_t time) { Emit(a, channel, time, ChannelLevel(a, channel)); }
// NR50 or NR51 (or everything) changed at `time`: the gains taken again and
// every channel's contribution moved to them.
void MixerSync(Apu&, uint64_t time);
// Integrates, filters and converts the oldest `frames` frames into dest (or
// drops them, dest null), and moves the rest to the buffer's front.
void OutputDrain(ApuOutput&, int16_t* dest, size_t frames);

// pulse.cpp
void PulseRunTo(Apu&, Pulse&, int channel, uint64_t time);
void PulseTrigger(Apu&, Pulse&, int channel, uint64_t time);
uint64_t PulseCycles(uint16_t period);
// Channel 1's sweep: at the trigger, NR10 written, and a 128 Hz clock.
void SweepTrigger(Apu&);
void SweepWrite(Apu&, uint8_t nr10);
void SweepClock(Apu&);

// wave.cpp
void WaveRunTo(Apu&, uint64_t time);
void WaveTrigger(Apu&, uint64_t time);
uint8_t WaveRamRead(const Apu&, unsigned index, uint64_t time);
void WaveRamWrite(Apu&, unsigned index, uint8_t value, uint64_t time);

// noise.cpp
void NoiseRunTo(Apu&, uint64_t time);
void NoiseTrigger(Apu&, uint64_t time);
void NoiseWritePeriod(Apu&, uint64_t time);
// Clock cycles between shift register clocks for NR43; 0: never clocked.
uint64_t NoiseCycles(uint8_t nr43);

// sequencer.cpp: what the pulse and noise channels share.
void EnvelopeTrigger(const Apu&, Envelope&, uint8_t nrx2);
// NRx4 written: the length enable, with its extra clock, and at a trigger the
// reload of an expired counter. Returns false if the write stops the channel.
bool LengthControl(const Apu&, Length&, uint8_t nrx4, uint16_t full);

}  // namespace wenlo::audio
