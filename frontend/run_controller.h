// The run controller of the main window: starts and ends the run loop and
// keeps the rule that at most one is on the stack, paces frames (and lets
// fast-forward through), runs the debugger's Step and Run To, and keeps the
// lifecycle state that decides which commands are enabled (command_states.h).
//
// Commands that start the machine (Load ROM, Reset from stopped) call Run
// from inside their slot, which returns only when Running becomes false;
// meanwhile every other command runs inside the event pumps of the run loop
// (VBlank lines) or of the pause wait. A command that would start the machine
// while a run loop is already on the stack does all the rest (load, reset,
// Running, menus) but leaves the running to that loop, which tests Running
// again after its scanline: however many loads are made during a game, at
// most one run loop is on the stack. A machine switch made during a run
// stops the console that ran and starts the other: the loop below carries on
// with that one.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "core/console.h"
#include "frontend/command_states.h"
#include "frontend/pacer.h"

class QWidget;

namespace wenlo::ui {

class RunController {
public:
    // console: the machine run (not owned, outlives its use); window: the
    // main window, whose keys the Escape of a Run To watches.
    RunController(Console& console, QWidget* window);

    // The console run from now on (a machine switch). A run loop of the one
    // before ends as soon as that one stops running, and the loop goes on
    // with this one when it runs.
    void SetConsole(Console& console) { console_ = &console; }
    Console& Current() { return *console_; }

    // Runs the machine until Running is false, or returns at once when a run
    // loop is already on the stack. Counts as a fresh start of the machine
    // either way: a Step or Run To under way gives way to it.
    void Run();
    // The event pump of the VBlank lines. While fast-forwarding a frame takes
    // some tens of microseconds and nine pumps of the window system a frame
    // would cost more than the frame itself: then it pumps only once
    // kFastForwardPumpNs has passed since the last pump, and returns at once
    // otherwise.
    void PumpEvents();
    // The pause wait's event pump.
    void WaitForEvents();
    // The end of a frame: pumps events, waits for the frame's deadline when
    // paced (not while fast-forwarding), then tells the frame observer.
    void FrameEnded();
    // Whether a frame that ended should be repainted: a drawn one, and while
    // fast-forwarding no sooner than kFastForwardRepaintNs after the last
    // repaint asked for (the window system cannot show more anyway).
    bool RepaintDue(bool drawn);

    // While fast-forwarding: events are handled at least this often ...
    static constexpr int64_t kFastForwardPumpNs = 1'000'000;
    // ... and the picture repainted at most about 60 times a second.
    static constexpr int64_t kFastForwardRepaintNs = 16'000'000;

    // One debugger step (ignored while one is under way: a Step made while
    // paused waits in the pause wait, where the button can be clicked again).
    // afterStep shows its result.
    void Step(const std::function<void()>& afterStep);
    bool RunToActive() const { return runToActive_; }
    bool StepActive() const { return stepActive_; }
    // Steps until the program counter is target, Running is cleared, a fresh start of the
    // machine happens, or kRunToLimit steps have gone by. True when it gave
    // up so, the target not reached.
    bool RunTo(int32_t target);

    // Run To gives up after this many instructions, showing where it stopped.
    static constexpr int64_t kRunToLimit = 10'000'000;
    // ... and handles window events every this many instructions.
    static constexpr int kRunToPumpEvery = 4096;

    int RunDepth() const { return runDepth_; }
    int WaitDepth() const { return waitDepth_; }
    int32_t StepCycles() const { return stepCycles_; }

    void SetPaced(bool paced) { paced_ = paced; }
    void SetFrameObserver(std::function<void()> observer) { frameObserver_ = std::move(observer); }
    void SetFastForward(bool held) { fastForward_ = held; }
    bool FastForwarding() const { return fastForward_; }

    // The lifecycle state, moved on by the window's commands.
    Lifecycle State() const { return state_; }
    void SetState(Lifecycle s) { state_ = s; }

private:
    Console* console_;
    QWidget* window_;
    Lifecycle state_ = Lifecycle::Empty;

    int runDepth_ = 0;   // run loops on the stack, counted once committed to
    int waitDepth_ = 0;  // pause waits on the stack
    // Counts the commands that started the machine afresh (Load ROM, Reset
    // from stopped, a machine switch); a Step or Run To that sees it change
    // gives way to them.
    uint32_t machineStarts_ = 0;
    bool stepActive_ = false;
    bool runToActive_ = false;
    int32_t stepCycles_ = 0;

    bool paced_ = true;
    bool fastForward_ = false;
    FramePacer pacer_;
    QElapsedTimer clock_;
    QTimer paceTimer_;
    int64_t lastPump_ = 0;     // clock_ time of the last fast-forward pump
    int64_t lastRepaint_ = 0;  // ... and of the last repaint asked for
    std::function<void()> frameObserver_;
};

}  // namespace wenlo::ui
