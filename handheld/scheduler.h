// The handheld's clock: time moves on one machine cycle at a time through
// Tick, which costs a compare until an event is due; the events (picture
// modes, timer overflow, serial transfer, OAM DMA) are served in time order.
#pragma once

#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

// Clock cycles in one machine cycle, one line and one frame.
constexpr uint64_t kMachineCycle = 4;
constexpr uint64_t kLineCycles = 456;
constexpr uint64_t kFrameCycles = 154 * kLineCycles;  // 70,224

// Serves every event due by now and works out the next one.
void ServiceEvents(Handheld&);

// Sets (or moves) event e to time at (kNever: cancels it).
inline void Schedule(Handheld& h, Event e, uint64_t at) {
    h.events[e] = at;
    uint64_t next = h.events[0];
    for (int i = 1; i < kEventCount; ++i)
        if (h.events[i] < next) next = h.events[i];
    h.nextEvent = next;
    if (next < h.runUntil) h.runUntil = next;
}

// One machine cycle passes.
inline void Tick(Handheld& h) {
    h.now += kMachineCycle;
    if (h.now >= h.nextEvent) ServiceEvents(h);
}

// Requests interrupt bits (IF).
inline void RequestInterrupt(Handheld& h, uint8_t bits) {
    h.IF |= bits;
    Attend(h);  // the CPU looks at it before its next instruction
}

// Runs instructions until a picture is complete (VBlank began), or for a
// frame's time when the LCD is off. Runs nothing while Running is false
// (time does not pass either). Counts the frame in frames.
void RunFrame(Handheld&);

// The run loop of the desktop program: frames until Running is false, with
// the host's frame end (pumps, pacing, the frame's sound taken) after each
// and the pause wait before.
void RunHandheld(Handheld&);

}  // namespace wenlo::hh
