// The registers 0xFF10-0xFF3F as the CPU sees them: what each write does,
// what reads give back, and the power switch in NR52.
#include "audio/apu_internal.h"

namespace wenlo::audio {

namespace {

constexpr unsigned kUnused15 = 0x05, kUnused1F = 0x0F;

// Bits that read as 1 whatever was written: write-only and unused bits,
// unused registers (0xFF15, 0xFF1F, 0xFF27-0xFF2F) entirely. NR52's bits
// 4-6; its others are made when read.
constexpr uint8_t kReadMask[kWaveRam] = {
    0x80, 0x3F, 0x00, 0xFF, 0xBF,  // NR10-NR14
    0xFF, 0x3F, 0x00, 0xFF, 0xBF,  // -, NR21-NR24
    0x7F, 0xFF, 0x9F, 0xFF, 0xBF,  // NR30-NR34
    0xFF, 0xFF, 0x00, 0x00, 0xBF,  // -, NR41-NR44
    0x00, 0x00, 0x70,              // NR50-NR52
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};

void PulseControl(Apu& a, Pulse& p, int channel, uint8_t v, uint64_t time) {
    p.period = uint16_t((p.period & 0xFF) | (v & 7) << 8);
    if (!LengthControl(a, p.length, v, 64)) p.on = false;
    if (v & 0x80) PulseTrigger(a, p, channel, time);
}

void PowerOff(Apu& a) {
    // Every register is cleared, wave RAM kept; on this model the length
    // counters keep their counts too.
    for (unsigned i = 0; i < kWaveRam; ++i) a.regs[i] = 0;
    const uint16_t lengths[4] = {a.ch1.length.left, a.ch2.length.left, a.ch3.length.left, a.ch4.length.left};
    a.ch1 = Pulse{};
    a.ch2 = Pulse{};
    a.sweep = Sweep{};
    a.ch3 = Wave{};
    a.ch4 = Noise{};
    a.ch1.length.left = lengths[0];
    a.ch2.length.left = lengths[1];
    a.ch3.length.left = lengths[2];
    a.ch4.length.left = lengths[3];
    a.powered = false;
}

// While the power is off only the length counters take writes.
void WriteWhileOff(Apu& a, unsigned reg, uint8_t v) {
    switch (reg) {
        case kNR11: a.ch1.length.left = uint16_t(64 - (v & 63)); break;
        case kNR21: a.ch2.length.left = uint16_t(64 - (v & 63)); break;
        case kNR31: a.ch3.length.left = uint16_t(256 - v); break;
        case kNR41: a.ch4.length.left = uint16_t(64 - (v & 63)); break;
        default: break;
    }
}

}  // namespace

uint8_t ApuRead(Apu& a, uint16_t address, uint64_t time) {
    if (address < kFirstRegister || address > kLastRegister) return 0xFF;
    ApuRunTo(a, time);
    const unsigned reg = address - kFirstRegister;
    if (reg >= kWaveRam) return WaveRamRead(a, reg - kWaveRam, time);
    if (reg == kNR52) {
        return uint8_t((a.powered ? 0x80 : 0) | kReadMask[kNR52] | (a.ch4.on << 3) | (a.ch3.on << 2) |
                       (a.ch2.on << 1) | a.ch1.on);
    }
    return a.regs[reg] | kReadMask[reg];
}

void ApuWrite(Apu& a, uint16_t address, uint8_t v, uint64_t time) {
    if (address < kFirstRegister || address > kLastRegister) return;
    ApuRunTo(a, time);
    const unsigned reg = address - kFirstRegister;
    if (reg >= kWaveRam) {
        WaveRamWrite(a, reg - kWaveRam, v, time);
        return;
    }
    if (reg == kNR52) {
        if (a.powered && !(v & 0x80)) {
            PowerOff(a);
            MixerSync(a, time);
        } else if (!a.powered && (v & 0x80)) {
            // Everything was cleared at power-off: the sequencer starts at
            // step 0, the waveforms at step 0, the wave buffer at 0.
            a.powered = true;
            a.seqStep = 0;
        }
        return;
    }
    if (!a.powered) {
        WriteWhileOff(a, reg, v);
        return;
    }
    if (reg == kUnused15 || reg == kUnused1F || reg > kNR52) return;
    a.regs[reg] = v;
    switch (reg) {
        case kNR10:
            SweepWrite(a, v);
            EmitNow(a, kCh1, time);
            break;
        case kNR11:
            a.ch1.duty = v >> 6;
            a.ch1.length.left = uint16_t(64 - (v & 63));
            break;
        case kNR12:
            a.ch1.dac = v & 0xF8;
            if (!a.ch1.dac) a.ch1.on = false;
            EmitNow(a, kCh1, time);
            break;
        case kNR13: a.ch1.period = uint16_t((a.ch1.period & 0x700) | v); break;
        case kNR14:
            PulseControl(a, a.ch1, kCh1, v, time);
            EmitNow(a, kCh1, time);
            break;
        case kNR21:
            a.ch2.duty = v >> 6;
            a.ch2.length.left = uint16_t(64 - (v & 63));
            break;
        case kNR22:
            a.ch2.dac = v & 0xF8;
            if (!a.ch2.dac) a.ch2.on = false;
            EmitNow(a, kCh2, time);
            break;
        case kNR23: a.ch2.period = uint16_t((a.ch2.period & 0x700) | v); break;
        case kNR24:
            PulseControl(a, a.ch2, kCh2, v, time);
            EmitNow(a, kCh2, time);
            break;
        case kNR30:
            a.ch3.dac = v & 0x80;
            if (!a.ch3.dac) a.ch3.on = false;
            EmitNow(a, kCh3, time);
            break;
        case kNR31: a.ch3.length.left = uint16_t(256 - v); break;
        case kNR32: EmitNow(a, kCh3, time); break;
        case kNR33: a.ch3.period = uint16_t((a.ch3.period & 0x700) | v); break;
        case kNR34:
            a.ch3.period = uint16_t((a.ch3.period & 0xFF) | (v & 7) << 8);
            if (!LengthControl(a, a.ch3.length, v, 256)) a.ch3.on = false;
            if (v & 0x80) WaveTrigger(a, time);
            EmitNow(a, kCh3, time);
            break;
        case kNR41: a.ch4.length.left = uint16_t(64 - (v & 63)); break;
        case kNR42:
            a.ch4.dac = v & 0xF8;
            if (!a.ch4.dac) a.ch4.on = false;
            EmitNow(a, kCh4, time);
            break;
        case kNR43: NoiseWritePeriod(a, time); break;
        case kNR44:
            if (!LengthControl(a, a.ch4.length, v, 64)) a.ch4.on = false;
            if (v & 0x80) NoiseTrigger(a, time);
            EmitNow(a, kCh4, time);
            break;
        case kNR50:
        case kNR51: MixerSync(a, time); break;
        default: break;
    }
}

}  // namespace wenlo::audio
