#include "frontend/pacer.h"

namespace wenlo::ui {

int64_t FramePacer::FrameEnded(int64_t now, bool fastForward) {
    if (!started_ || fastForward) {
        started_ = !fastForward;
        deadline_ = now;
        return now;
    }
    deadline_ += kFrameNs;
    if (now - deadline_ > kMaxLagNs) deadline_ = now;
    return deadline_;
}

}  // namespace wenlo::ui
