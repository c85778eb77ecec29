#include "frontend/run_controller.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace wenlo::ui {

namespace {

// Holds one level of a nesting counter for as long as it lives.
class DepthScope {
public:
    explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

private:
    int& depth_;
};

// While a Run To runs, the focus is on its button (or wherever the user
// left it), where Escape would reach no key handler: Escape pressed anywhere
// in the main window stops the run then. Not while a run loop started from
// inside the Run To (a Load ROM) plays a game: Escape is the picture's again.
class EscapeStops : public QObject {
public:
    EscapeStops(RunController& run, QWidget* window, const int& runDepth)
        : run_(run), window_(window), runDepth_(runDepth), ownDepth_(runDepth) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(e)->key() != Qt::Key_Escape)
            return false;
        if (runDepth_ != ownDepth_) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != window_) return false;
        run_.Current().SetRunning(false);
        return true;
    }

private:
    RunController& run_;
    QWidget* window_;
    const int& runDepth_;
    const int ownDepth_;
};

}  // namespace

RunController::RunController(Console& console, QWidget* window) : console_(&console), window_(window) {
    clock_.start();
    paceTimer_.setSingleShot(true);
    paceTimer_.setTimerType(Qt::PreciseTimer);
}

void RunController::Run() {
    ++machineStarts_;
    // Called from inside a running loop's event pump or pause wait: that
    // loop tests Running once its scanline is done and carries on with the
    // machine as it is now. A second loop would only pile up on the stack,
    // one more with every load made during a game.
    if (runDepth_ > 0) return;
    DepthScope run(runDepth_);
    // Lets the window show the cleared picture and the menus first. The
    // commands handled here (Stop, another load) find the state complete:
    // everything the starting command changes is set before this pump.
    QCoreApplication::processEvents();
    // A machine switch during the run stops the console running and starts
    // the other, which this loop then runs: still one loop on the stack.
    for (Console* c = console_;; c = console_) {
        c->Run();
        if (console_ == c || !console_->Running()) break;
    }
}

void RunController::WaitForEvents() {
    DepthScope wait(waitDepth_);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void RunController::PumpEvents() {
    if (fastForward_) {
        const int64_t now = clock_.nsecsElapsed();
        if (now - lastPump_ < kFastForwardPumpNs) return;
        lastPump_ = now;
    }
    QCoreApplication::processEvents();
}

bool RunController::RepaintDue(bool drawn) {
    if (!drawn) return false;
    if (!fastForward_) return true;
    const int64_t now = clock_.nsecsElapsed();
    if (now - lastRepaint_ < kFastForwardRepaintNs) return false;
    lastRepaint_ = now;
    return true;
}

void RunController::FrameEnded() {
    PumpEvents();
    if (paced_) {
        // Wait for the frame's deadline inside the event loop, woken by a
        // timer, so a paced machine leaves the core idle and stays responsive.
        const int64_t deadline = pacer_.FrameEnded(clock_.nsecsElapsed(), fastForward_);
        for (;;) {
            const int64_t left = deadline - clock_.nsecsElapsed();
            if (left <= 0 || !console_->Running() || fastForward_) break;
            paceTimer_.start(int((left + 999'999) / 1'000'000));  // never early: no spinning
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        paceTimer_.stop();
    }
    if (frameObserver_) frameObserver_();
}

void RunController::Step(const std::function<void()>& afterStep) {
    if (stepActive_) return;
    stepActive_ = true;
    const uint32_t starts = machineStarts_;
    if (!console_->Running()) console_->SetRunning(true);
    console_->DebuggerStep(stepCycles_);
    afterStep();
    // Ends a run loop this Step interrupted, unless a Load ROM, Reset or
    // machine switch made during its pause wait started the machine afresh:
    // that run goes on.
    if (machineStarts_ == starts) console_->SetRunning(false);
    stepActive_ = false;
}

bool RunController::RunTo(int32_t target) {
    // A target that is never reached must not hang the window: events are
    // handled every few thousand steps (Stop, Escape and Pause work), and the
    // run gives up after kRunToLimit steps. A Load ROM or Reset from stopped
    // handled meanwhile (here or in a pause wait) ends it as well: the target
    // belonged to the machine they replaced, and the run loop is theirs.
    runToActive_ = true;
    const uint32_t starts = machineStarts_;
    EscapeStops escape(*this, window_, runDepth_);
    qApp->installEventFilter(&escape);
    int64_t steps = 0;
    while (console_->ProgramCounter() != target && steps < kRunToLimit) {
        console_->DebuggerStep(stepCycles_);
        if (machineStarts_ != starts) break;
        if (++steps % kRunToPumpEvery != 0) continue;
        QCoreApplication::processEvents();
        while (console_->Paused() && console_->Running()) WaitForEvents();
        if (!console_->Running() || machineStarts_ != starts) break;
    }
    runToActive_ = false;
    return steps >= kRunToLimit && console_->ProgramCounter() != target;
}

}  // namespace wenlo::ui
