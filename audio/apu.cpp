// Power-on, bringing the unit up to a time, and the rebuild from registers.
#include <utility>

#include "audio/apu_internal.h"

namespace wenlo::audio {

namespace {

// The emulated state cleared, the output side kept.
void ClearState(Apu& a, uint64_t time) {
    ApuOutput out = std::move(a.out);
    a = Apu{};
    a.out = std::move(out);
    a.last = time;
}

// What the boot program leaves: its two-note chime on channel 1, played out
// (the envelope down at 0 but the channel still on), the mixer at full
// volume with channels 1 and 2 to the left and every channel to the right.
void PostBoot(Apu& a, uint64_t time) {
    a.powered = true;
    a.regs[kNR11] = 0x80;
    a.regs[kNR12] = 0xF3;
    a.regs[kNR13] = 0xC1;
    a.regs[kNR14] = 0x87;
    a.regs[kNR50] = 0x77;
    a.regs[kNR51] = 0xF3;
    Pulse& p = a.ch1;
    p.on = true;
    p.dac = true;
    p.duty = 2;
    p.period = 0x7C1;
    p.nextTick = time + PulseCycles(p.period);
    p.length.left = 64;
    p.env = Envelope{0, 3, 3, false};
    a.sweep.shadow = p.period;
    a.sweep.timer = 8;
}

}  // namespace

void ApuReset(Apu& a, uint64_t time, bool postBoot) {
    ClearState(a, time);
    if (postBoot) PostBoot(a, time);
    ApuOutput& o = a.out;
    if (o.factor == 0 && o.rate > 0) ApuSetOutputRate(a, o.rate);
    o.resync = false;
    o.synthTime = time;
    o.origin = time;
    o.offset = 0;
    MixerSync(a, time);
    OutputClear(o);
}

void ApuRunTo(Apu& a, uint64_t time) {
    ApuOutput& o = a.out;
    if (o.resync || o.synthTime != a.last) {
        // A state was loaded: the buffer goes on from where it was, and every
        // channel moves from the level it held to the loaded one.
        o.resync = false;
        OutputRebase(o, a.last);
        MixerSync(a, a.last);
    }
    while (time > a.last) {
        uint64_t end = time;
        if (o.factor != 0 && end - a.last > OutputChunk(o)) end = a.last + OutputChunk(o);
        OutputMakeRoom(o, end);
        if (a.powered) {
            PulseRunTo(a, a.ch1, kCh1, end);
            PulseRunTo(a, a.ch2, kCh2, end);
            WaveRunTo(a, end);
            NoiseRunTo(a, end);
        }
        a.last = end;
        o.synthTime = end;
    }
}

void ApuRestartFromRegisters(Apu& a, const std::array<uint8_t, kRegisterCount>& regs, uint64_t time) {
    ClearState(a, time);
    a.out.resync = true;
    for (unsigned i = kWaveRam; i < kRegisterCount; ++i) a.regs[i] = regs[i];
    if (!(regs[kNR52] & 0x80)) {
        ApuRunTo(a, time);
        return;
    }
    auto write = [&](unsigned reg, uint8_t v) { ApuWrite(a, uint16_t(kFirstRegister + reg), v, time); };
    write(kNR52, 0x80);
    // Everything as written, without the triggers...
    const unsigned controls[4] = {kNR14, kNR24, kNR34, kNR44};
    for (unsigned reg = kNR10; reg <= kNR51; ++reg) {
        bool control = reg == kNR14 || reg == kNR24 || reg == kNR34 || reg == kNR44;
        write(reg, control ? regs[reg] & 0x7F : regs[reg]);
    }
    // ... then the notes that were playing started again.
    for (int ch = 0; ch < 4; ++ch) {
        if (regs[kNR52] >> ch & 1) write(controls[ch], regs[controls[ch]] | 0x80);
    }
}

}  // namespace wenlo::audio
