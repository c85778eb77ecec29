// Rewind in the window: while the rewind key (Backspace) is held, every
// frame end steps the machine back one snapshot of its history (three frames,
// so at three times the speed it was played; the frame run after each restore
// is a drawn one and shows where the game is); otherwise frame ends record.
// Releasing the key plays on from there.
#pragma once

#include <functional>

#include "core/console.h"
#include "savestate/rewind.h"

namespace wenlo::ui {

class RewindControl {
public:
    // The rewind key went down or up (or the picture lost the focus).
    void SetHeld(bool held);
    bool Held() const { return held_; }

    // A cartridge loaded, a reset, Free ROM, Load State, a machine switch:
    // the history starts afresh, so a rewind never reaches another cartridge
    // or machine.
    void Clear() { history_.Clear(); }

    // The end of a frame of a run: records, or steps back while held.
    void FrameEnded(Console&);

    // Called once in a hold when the rewind reaches the start of its history
    // (or there is none yet).
    void SetHistoryExhausted(std::function<void()> hook) { historyExhausted_ = std::move(hook); }

    const RewindHistory& History() const { return history_; }

private:
    RewindHistory history_;
    bool held_ = false;
    bool exhaustedSaid_ = false;  // in this hold
    std::function<void()> historyExhausted_;
};

}  // namespace wenlo::ui
