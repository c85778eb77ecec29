// Gamepads through SDL's game-controller layer (its joystick and event
// parts only: no SDL window, no sound, no signal handlers, no thread of
// ours). The pads are polled from the window's own pumps: at every frame end
// of a run, and on a timer while no game runs or it is paused.
//
// The handheld's layout, by position on the pad: the east face button is A
// and the south one B (A sits to the right of B), Back is Select, Start is
// Start; the d-pad and the left stick (pushed more than halfway) move. Each
// pad holds keys as its own source of KeySources, so keyboard and pads may
// hold keys together, and a pad unplugged releases only its own keys.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <vector>

#include "core/console.h"
#include "input/key_sources.h"

struct _SDL_GameController;
class QWidget;

namespace wenlo::ui {

class Gamepads : public QObject {
public:
    // console and keys outlive this object (or their use). window: the main
    // window; when it is deactivated (another window, or none, takes the
    // focus; minimised) the pads' keys are released.
    Gamepads(Console& console, KeySources& keys, QWidget* window);
    ~Gamepads() override;
    Gamepads(const Gamepads&) = delete;
    Gamepads& operator=(const Gamepads&) = delete;

    // SDL's game-controller layer started: without it there are no pads.
    bool Available() const { return available_; }
    // The machine the pads play from now on (a machine switch).
    void SetConsole(Console& console) { console_ = &console; }
    // Pads open now.
    int Count() const { return int(pads_.size()); }

    // Handles what happened on the pads since the last poll: pads plugged in
    // or unplugged, buttons, the d-pad and the stick.
    void Poll();
    // At a frame's end: a poll; while fast-forwarding, only when there was
    // none within kFramePollMs, as frames then end tens of thousands of
    // times a second and each poll is a round of system calls.
    void FrameEnded(bool fastForwarding);
    // Every key a pad holds goes up. A button still held stays up until it
    // is pressed again.
    void ReleaseAll();

    // The stick counts as a direction beyond this much of its travel (of 32767).
    static constexpr int kStickThreshold = 16384;
    // The timer's interval, and the poll it leaves out after a recent one.
    static constexpr int kPollMs = 16;
    static constexpr int kRecentMs = 10;
    static constexpr int kFramePollMs = 4;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Pad {
        _SDL_GameController* controller;
        int32_t id;  // SDL's instance id
        int source;  // in KeySources
        // Game Boy keys (bit i: kPadKeys[i]) held by the d-pad, the stick
        // and the other buttons, and all together as the machine was told.
        uint8_t dpad = 0, stick = 0, buttons = 0, told = 0;
    };

    void Open(int deviceIndex);
    void Close(int32_t id);
    Pad* Find(int32_t id);
    void Tell(Pad& pad);

    Console* console_;
    KeySources& keys_;
    QWidget* window_;
    bool available_ = false;
    std::vector<Pad> pads_;
    QTimer timer_;
    QElapsedTimer sincePoll_;
};

}  // namespace wenlo::ui
