// The pulse channels (1 and 2) and channel 1's frequency sweep.
//
// The period divider counts up from the period value at 1 MHz and, each time
// it overflows, moves the waveform on by one of its 8 steps; the level
// follows the step's bit. The output only changes at a few steps of the 8,
// so the channel is brought up to a time by jumping from one change to the
// next, and over the steps in between in one division.
#include "audio/apu_internal.h"

namespace wenlo::audio {

namespace {

// The four waveforms, bit s for step s: 12.5%, 25%, 50% and 75% high.
constexpr uint8_t kDuty[4] = {0x80, 0x81, 0xE1, 0x7E};

// Steps from (duty, step, level now) to the next step whose bit differs:
// 1 to 8 (8 after a duty change left the level at odds with the waveform).
struct Changes {
    uint8_t steps[4][8][2];
};

constexpr Changes BuildChanges() {
    Changes c{};
    for (int d = 0; d < 4; ++d) {
        for (int s = 0; s < 8; ++s) {
            for (int h = 0; h < 2; ++h) {
                int k = 1;
                while (k < 8 && ((kDuty[d] >> ((s + k) & 7)) & 1) == h) ++k;
                c.steps[d][s][h] = uint8_t(k);
            }
        }
    }
    return c;
}

constexpr Changes kChanges = BuildChanges();

// The sweep's next period from the shadow register; over 2047 stops channel 1.
unsigned SweepNext(Apu& a) {
    const uint8_t nr10 = a.regs[kNR10];
    Sweep& s = a.sweep;
    unsigned delta = s.shadow >> (nr10 & 7);
    unsigned next;
    if (nr10 & 0x08) {
        next = s.shadow - delta;
        s.negated = true;
    } else {
        next = s.shadow + delta;
    }
    if (next > 2047) a.ch1.on = false;
    return next;
}

}  // namespace

uint64_t PulseCycles(uint16_t period) { return uint64_t(2048 - period) * 4; }

void PulseRunTo(Apu& a, Pulse& p, int channel, uint64_t time) {
    if (!p.on || p.nextTick > time) return;
    const uint64_t cycles = PulseCycles(p.period);
    const ApuOutput& o = a.out;
    // Silent or unrouted, the level cannot change: only the steps count.
    if (p.dac && p.env.volume != 0 && o.factor != 0 && (o.gain[channel * 2] | o.gain[channel * 2 + 1])) {
        for (;;) {
            const unsigned n = kChanges.steps[p.duty][p.step][p.high];
            const uint64_t at = p.nextTick + (n - 1) * cycles;
            if (at > time) break;
            p.step = (p.step + n) & 7;
            p.high = !p.high;
            p.nextTick = at + cycles;
            Emit(a, channel, at, PulseLevel(p));
        }
    }
    if (p.nextTick <= time) {
        const uint64_t n = (time - p.nextTick) / cycles + 1;
        p.step = uint8_t((p.step + n) & 7);
        p.nextTick += n * cycles;
        p.high = (kDuty[p.duty] >> p.step) & 1;
    }
}

void PulseTrigger(Apu& a, Pulse& p, int channel, uint64_t time) {
    p.nextTick = time + PulseCycles(p.period);
    EnvelopeTrigger(a, p.env, a.regs[channel == kCh1 ? kNR12 : kNR22]);
    p.on = p.dac;
    if (channel == kCh1) SweepTrigger(a);
}

void SweepTrigger(Apu& a) {
    const uint8_t nr10 = a.regs[kNR10];
    const unsigned pace = (nr10 >> 4) & 7, shift = nr10 & 7;
    Sweep& s = a.sweep;
    s.shadow = a.ch1.period;
    s.timer = uint8_t(pace ? pace : 8);
    s.enabled = pace != 0 || shift != 0;
    s.negated = false;
    // With a step, the first calculation happens at once, for its overflow
    // check alone.
    if (shift != 0) SweepNext(a);
}

void SweepWrite(Apu& a, uint8_t nr10) {
    // Leaving subtraction after it has been used since the trigger stops
    // the channel.
    if (a.sweep.negated && !(nr10 & 0x08)) a.ch1.on = false;
}

void SweepClock(Apu& a) {
    Sweep& s = a.sweep;
    if (!a.ch1.on) return;
    if (s.timer > 1) {
        --s.timer;
        return;
    }
    const uint8_t nr10 = a.regs[kNR10];
    const unsigned pace = (nr10 >> 4) & 7, shift = nr10 & 7;
    s.timer = uint8_t(pace ? pace : 8);
    if (!s.enabled || pace == 0) return;
    const unsigned next = SweepNext(a);
    if (next <= 2047 && shift != 0) {
        s.shadow = uint16_t(next);
        a.ch1.period = uint16_t(next);
        a.regs[kNR13] = uint8_t(next);
        a.regs[kNR14] = uint8_t((a.regs[kNR14] & ~7) | (next >> 8));
        // Checked again with the new period, which is not written back.
        SweepNext(a);
    }
}

}  // namespace wenlo::audio
