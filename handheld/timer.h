// DIV and the timer. DIV is the upper byte of a 16-bit counter running from
// power-on; TIMA counts on the falling edge of the counter bit TAC selects
// (ANDed with TAC's enable bit), so writes to DIV and TAC can count one
// extra step, as on the hardware. On overflow TIMA reads 0 for one machine
// cycle, then TMA is loaded and the timer interrupt requested.
#pragma once

#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

inline uint16_t TimerCounter(const Handheld& h) { return uint16_t(h.now - h.timer.counterBase); }

// Brings TIMA up to now, and schedules the next overflow or reload.
void TimerCatchUp(Handheld&);
uint8_t TimerRead(Handheld&, uint16_t address);
void TimerWrite(Handheld&, uint16_t address, uint8_t value);
// The counter restarts from 0 (a write to DIV, STOP).
void TimerResetCounter(Handheld&);

// The sound unit brought up to now (before each access to 0xFF10-0xFF3F and
// at a frame's end), its frame sequencer stepped at every falling edge of
// counter bit 12 on the way (512 Hz). The edges are worked out from the
// counter here, never scheduled: the unit's own time says how far it got.
void TimerSoundCatchUp(Handheld&);

}  // namespace wenlo::hh
