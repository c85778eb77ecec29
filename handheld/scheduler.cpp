// A stand-in until the handheld's own scheduler lands: serves the picture
// unit's event only (the other components do not exist yet).
#include "handheld/scheduler.h"

#include "handheld/ppu.h"

namespace wenlo::hh {

void ServiceEvents(Handheld& h) {
    while (h.nextEvent <= h.now) {
        if (h.events[kEventPpu] <= h.now)
            PpuEvent(h);
        else
            for (int e = 1; e < kEventCount; ++e)
                if (h.events[e] <= h.now) Schedule(h, Event(e), kNever);
    }
}

}  // namespace wenlo::hh
