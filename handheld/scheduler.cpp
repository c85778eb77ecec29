#include "handheld/scheduler.h"

#include "handheld/bus.h"
#include "handheld/cpu.h"
#include "handheld/mbc.h"
#include "handheld/ppu.h"
#include "handheld/serial.h"
#include "handheld/timer.h"

namespace wenlo::hh {

void ServiceEvents(Handheld& h) {
    // Each handler moves its own event on (or cancels it), so this ends.
    while (h.nextEvent <= h.now) {
        int due = 0;
        for (int i = 1; i < kEventCount; ++i)
            if (h.events[i] < h.events[due]) due = i;
        switch (due) {
            case kEventPpu:
                PpuEvent(h);
                if (h.ppu.frameReady) h.stopAt = h.runUntil = 0;  // CpuRun ends the frame here
                break;
            case kEventTimer: TimerCatchUp(h); break;
            case kEventSerial: SerialEvent(h); break;
            default:
                DmaCatchUp(h);
                Schedule(h, kEventDma, kNever);
                break;
        }
    }
}

void RunFrame(Handheld& h) {
    if (!h.Running) return;
    h.ppu.frameReady = false;
    // The picture unit ends a frame at VBlank, or after a frame's time with
    // the LCD off; the limit only guards against a unit that never does.
    const uint64_t limit = h.now + 2 * kFrameCycles;
    CpuRun(h, limit);
    PpuPresent(h);
    RtcCatchUp(h);
    ++h.frames;
}

void RunHandheld(Handheld& h) {
    while (h.Running) {
        while (h.Paused && h.Running && h.host) h.host->WaitForEvents();
        if (!h.Running) break;
        RunFrame(h);
        TimerSoundCatchUp(h);  // the frame's sound complete before the host takes it
        if (h.host) h.host->FrameEnded(true);
    }
}

}  // namespace wenlo::hh
