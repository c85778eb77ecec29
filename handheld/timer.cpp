#include "handheld/timer.h"

#include "handheld/cpu.h"
#include "handheld/scheduler.h"

namespace wenlo::hh {

namespace {

constexpr uint16_t kDiv = 0xFF04, kTima = 0xFF05, kTma = 0xFF06;
constexpr uint8_t kTacEnable = 0x04;

// The counter bit whose falling edge TIMA counts, by TAC bits 0-1: 4096 Hz,
// 262144 Hz, 65536 Hz, 16384 Hz.
constexpr int kTacBit[4] = {9, 3, 5, 7};

// The frame sequencer's clock: the falling edges of counter bit 12.
constexpr uint64_t kSequencerPeriod = uint64_t(2) << 12;  // 8,192 clock cycles

uint64_t Period(uint8_t tac) { return uint64_t(2) << kTacBit[tac & 3]; }

// The signal the edge detector watches: the selected bit ANDed with enable.
bool Signal(uint16_t counter, uint8_t tac) { return (tac & kTacEnable) && (counter >> kTacBit[tac & 3] & 1); }

// Falling edges of the selected bit in (from, to]: the counter is
// (t - counterBase), and the bit falls at every multiple of its period.
uint64_t EdgesBetween(const Timer& t, uint64_t from, uint64_t to) {
    const uint64_t p = Period(t.tac);
    return (to - t.counterBase) / p - (from - t.counterBase) / p;
}

// Time of the k-th falling edge after `from` (k >= 1).
uint64_t EdgeTime(const Timer& t, uint64_t from, uint64_t k) {
    const uint64_t p = Period(t.tac);
    return t.counterBase + ((from - t.counterBase) / p + k) * p;
}

// TIMA counts one step at time `at` (an edge, or the glitch of a write).
void Increment(Handheld& h, uint64_t at) {
    Timer& t = h.timer;
    if (++t.tima == 0) t.reloadAt = at + kMachineCycle;
}

void Reload(Handheld& h) {
    Timer& t = h.timer;
    t.tima = t.tma;
    t.reloadedAt = t.reloadAt;
    t.reloadAt = kNever;
    RequestInterrupt(h, kIntTimer);
}

// Brings TIMA from t.last up to `to`, overflows and reloads included.
void RunTo(Handheld& h, uint64_t to) {
    Timer& t = h.timer;
    for (;;) {
        const uint64_t stop = t.reloadAt <= to ? t.reloadAt : to;
        if (t.tac & kTacEnable) {
            const uint64_t edges = EdgesBetween(t, t.last, stop);
            if (edges > 0 && t.tima + edges > 0xFF && t.reloadAt == kNever) {
                // Overflow at the edge that takes TIMA past 0xFF.
                const uint64_t at = EdgeTime(t, t.last, 0x100 - t.tima);
                t.tima = 0xFF;
                Increment(h, at);
                t.last = at;
                continue;
            }
            t.tima = uint8_t(t.tima + edges);
        }
        t.last = stop;
        if (stop == t.reloadAt) {
            Reload(h);
            continue;
        }
        return;
    }
}

void ScheduleNext(Handheld& h) {
    Timer& t = h.timer;
    uint64_t at = t.reloadAt;
    if (at == kNever && (t.tac & kTacEnable)) at = EdgeTime(t, t.last, 0x100 - t.tima);
    Schedule(h, kEventTimer, at);
}

// Steps the sequencer at the edges after the unit's time up to `to`. Every
// edge at or before the unit's time has been stepped already: the unit is
// only ever brought to a time through here or at a step.
void SequencerTo(Handheld& h, uint64_t to) {
    // The counter's base may lie past the clock's start (power-on leaves the
    // counter mid-count), so the edges are found from the counter's value,
    // modulo the period, never from the base itself.
    audio::Apu& a = h.apu;
    const uint64_t into = (a.last - h.timer.counterBase) & (kSequencerPeriod - 1);
    for (uint64_t at = a.last + (kSequencerPeriod - into); at <= to; at += kSequencerPeriod)
        audio::ApuSequencerStep(a, at);
}

}  // namespace

void TimerSoundCatchUp(Handheld& h) {
    SequencerTo(h, h.now);
    audio::ApuRunTo(h.apu, h.now);
}

void TimerCatchUp(Handheld& h) {
    RunTo(h, h.now);
    ScheduleNext(h);
}

uint8_t TimerRead(Handheld& h, uint16_t address) {
    TimerCatchUp(h);
    switch (address) {
        case kDiv: return uint8_t(TimerCounter(h) >> 8);
        case kTima: return h.timer.tima;
        case kTma: return h.timer.tma;
        default: return uint8_t(h.timer.tac | 0xF8);
    }
}

void TimerResetCounter(Handheld& h) {
    TimerCatchUp(h);
    Timer& t = h.timer;
    // The counter drops to 0: a selected bit that was 1 falls, and counts;
    // so does bit 12 for the frame sequencer.
    if (Signal(TimerCounter(h), t.tac)) Increment(h, h.now);
    // The unit is brought to now before the counter restarts: the edges
    // after it are found from its time and the new base, and a unit left
    // behind would take the write's own time for an edge.
    TimerSoundCatchUp(h);
    if (TimerCounter(h) & 0x1000) audio::ApuSequencerStep(h.apu, h.now);
    t.counterBase = h.now;
    t.last = h.now;
    ScheduleNext(h);
}

void TimerWrite(Handheld& h, uint16_t address, uint8_t value) {
    TimerCatchUp(h);
    Timer& t = h.timer;
    switch (address) {
        case kDiv: TimerResetCounter(h); return;
        case kTima:
            if (t.reloadedAt == h.now) return;  // the reload's own cycle: TMA wins
            t.tima = value;
            t.reloadAt = kNever;  // written in the cycle it read 0: no reload, no interrupt
            break;
        case kTma:
            t.tma = value;
            if (t.reloadedAt == h.now) t.tima = value;  // loaded in this very cycle
            break;
        default: {
            // Changing the selected bit or the enable can make the watched
            // signal fall: that counts as an edge, as on the hardware.
            const bool before = Signal(TimerCounter(h), t.tac);
            t.tac = uint8_t(value & 7);
            if (before && !Signal(TimerCounter(h), t.tac)) Increment(h, h.now);
            break;
        }
    }
    ScheduleNext(h);
}

}  // namespace wenlo::hh
