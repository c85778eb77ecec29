// The frame sequencer: eight steps at 512 Hz, lengths clocked at steps 0, 2,
// 4 and 6 (256 Hz), the sweep at 2 and 6 (128 Hz), the envelopes at 7
// (64 Hz); and the length counters' and envelopes' own rules.
#include "audio/apu_internal.h"

namespace wenlo::audio {

namespace {

void ClockLength(Length& l, bool& on) {
    if (l.enabled && l.left != 0 && --l.left == 0) on = false;
}

void ClockEnvelope(Envelope& e) {
    if (e.pace == 0) return;
    if (e.timer > 1) {
        --e.timer;
        return;
    }
    e.timer = e.pace;
    if (e.up && e.volume < 15) {
        ++e.volume;
    } else if (!e.up && e.volume > 0) {
        --e.volume;
    }
}

}  // namespace

void EnvelopeTrigger(const Apu& a, Envelope& e, uint8_t nrx2) {
    e.volume = nrx2 >> 4;
    e.up = nrx2 & 0x08;
    e.pace = nrx2 & 0x07;
    e.timer = e.pace ? e.pace : 8;
    // Triggered just before an envelope step, the first period is one longer.
    if (a.seqStep == 7) ++e.timer;
}

bool LengthControl(const Apu& a, Length& l, uint8_t nrx4, uint16_t full) {
    // In the first half of a length period (the next step clocks no length)
    // enabling the counter clocks it once at once.
    const bool extra = a.seqStep & 1;
    const bool was = l.enabled;
    const bool trigger = nrx4 & 0x80;
    bool keep = true;
    l.enabled = nrx4 & 0x40;
    if (extra && !was && l.enabled && l.left != 0 && --l.left == 0 && !trigger) keep = false;
    if (trigger && l.left == 0) {
        l.left = full;
        if (l.enabled && extra) --l.left;
    }
    return keep;
}

void ApuSequencerStep(Apu& a, uint64_t time) {
    ApuRunTo(a, time);
    if (!a.powered) return;
    const unsigned step = a.seqStep;
    a.seqStep = uint8_t((step + 1) & 7);
    if ((step & 1) == 0) {
        ClockLength(a.ch1.length, a.ch1.on);
        ClockLength(a.ch2.length, a.ch2.on);
        ClockLength(a.ch3.length, a.ch3.on);
        ClockLength(a.ch4.length, a.ch4.on);
    }
    if (step == 2 || step == 6) SweepClock(a);
    if (step == 7) {
        if (a.ch1.on) ClockEnvelope(a.ch1.env);
        if (a.ch2.on) ClockEnvelope(a.ch2.env);
        if (a.ch4.on) ClockEnvelope(a.ch4.env);
    }
    for (int ch = 0; ch < 4; ++ch) EmitNow(a, ch, time);
}

}  // namespace wenlo::audio
