#include "frontend/rewind_control.h"

namespace wenlo::ui {

void RewindControl::SetHeld(bool held) {
    held_ = held;
    if (!held) exhaustedSaid_ = false;
}

void RewindControl::FrameEnded(Console& c) {
    if (!held_) {
        history_.FrameEnded(c);
        return;
    }
    if (history_.StepBack(c) == RewindStep::Restored || exhaustedSaid_) return;
    exhaustedSaid_ = true;
    if (historyExhausted_) historyExhausted_();  // the one place that tells of it
}

}  // namespace wenlo::ui
