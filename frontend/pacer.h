// Frame pacing of the desktop program: kFramesPerSecond, measured on
// a monotonic clock in nanoseconds. The machine itself never looks at time;
// the front end asks the pacer at the end of every frame how long to wait.
#pragma once

#include <cstdint>

#include "core/timing.h"

namespace wenlo::ui {

class FramePacer {
public:
    // One frame at the handheld's rate (16,742,005 ns, whole nanoseconds).
    static constexpr int64_t kFrameNs = int64_t(1e9 / kFramesPerSecond);
    // Further behind than this (a pause, a modal dialog, a slow host) the
    // schedule starts afresh instead of racing to catch up.
    static constexpr int64_t kMaxLagNs = 3 * kFrameNs;

    // Called when a frame has been emulated, at time now. Returns the time at
    // which the next frame may start (never before now minus nothing: a
    // result <= now means "start at once"). Deadlines follow each other at
    // exact frame intervals, so waking a little late does not drift the rate.
    // While fastForward is true frames start at once and the schedule
    // restarts from now, so releasing the key resumes normal speed smoothly.
    int64_t FrameEnded(int64_t now, bool fastForward);

private:
    int64_t deadline_ = 0;
    bool started_ = false;
};

}  // namespace wenlo::ui
