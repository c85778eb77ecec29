#include "frontend/rewind_control.h"

namespace wenlo::ui {

void RewindControl::SetHeld(bool held) {
    held_ = held;
    if (!held) exhaustedSaid_ = false;
}

void RewindControl::FrameEnded(Machine& m) {
    if (!held_) {
        history_.FrameEnded(m);
        return;
    }
    if (history_.StepBack(m) == RewindStep::Restored || exhaustedSaid_) return;
    exhaustedSaid_ = true;
    if (historyExhausted_) historyExhausted_();  // the one place that tells of it
}

}  // namespace wenlo::ui
