#include "frontend/gamepads.h"

#include <SDL.h>

#include <QEvent>
#include <QWidget>
#include <algorithm>

#include "input/keys.h"

namespace wenlo::ui {

namespace {

// Bit i of a pad's held set stands for kPadKeys[i].
constexpr uint8_t kPadKeys[] = {keys::Right, keys::Left, keys::Up,     keys::Down,
                                keys::A,     keys::B,    keys::Select, keys::Start};
constexpr uint8_t kRight = 1 << 0, kLeft = 1 << 1, kUp = 1 << 2, kDown = 1 << 3;
constexpr uint8_t kA = 1 << 4, kB = 1 << 5, kSelect = 1 << 6, kStart = 1 << 7;

// SDL names the face buttons by position (labels off, see Gamepads()): its
// "A" is the south button, its "B" the east one.
uint8_t ButtonBit(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_B: return kA;  // east
        case SDL_CONTROLLER_BUTTON_A: return kB;  // south
        case SDL_CONTROLLER_BUTTON_BACK: return kSelect;
        case SDL_CONTROLLER_BUTTON_START: return kStart;
        default: return 0;
    }
}

uint8_t DpadBit(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return kRight;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return kLeft;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: return kUp;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return kDown;
        default: return 0;
    }
}

uint8_t Set(uint8_t held, uint8_t bits, bool on) { return on ? uint8_t(held | bits) : uint8_t(held & ~bits); }

}  // namespace

Gamepads::Gamepads(Console& console, KeySources& keys, QWidget* window)
    : console_(&console), keys_(keys), window_(window) {
    // The program's own signal handling stays Qt's; face buttons by place on
    // the pad, whatever their labels say.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    available_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!available_) return;
    // Pads already plugged in arrive as "added" events at the first poll.
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!sincePoll_.isValid() || sincePoll_.elapsed() >= kRecentMs) Poll();
    });
    timer_.start(kPollMs);
    window_->installEventFilter(this);
}

Gamepads::~Gamepads() {
    if (!available_) return;
    for (Pad& pad : pads_) SDL_GameControllerClose(pad.controller);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void Gamepads::FrameEnded(bool fastForwarding) {
    if (!fastForwarding || !sincePoll_.isValid() || sincePoll_.elapsed() >= kFramePollMs) Poll();
}

void Gamepads::Poll() {
    if (!available_) return;
    sincePoll_.start();
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_CONTROLLERDEVICEADDED: Open(e.cdevice.which); break;
            case SDL_CONTROLLERDEVICEREMOVED: Close(e.cdevice.which); break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                if (Pad* pad = Find(e.cbutton.which)) {
                    const bool down = e.cbutton.state == SDL_PRESSED;
                    pad->dpad = Set(pad->dpad, DpadBit(e.cbutton.button), down);
                    pad->buttons = Set(pad->buttons, ButtonBit(e.cbutton.button), down);
                    Tell(*pad);
                }
                break;
            case SDL_CONTROLLERAXISMOTION:
                if (Pad* pad = Find(e.caxis.which)) {
                    const int v = e.caxis.value;
                    if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX)
                        pad->stick =
                            Set(Set(pad->stick, kLeft, v < -kStickThreshold), kRight, v > kStickThreshold);
                    else if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY)  // positive is down
                        pad->stick =
                            Set(Set(pad->stick, kUp, v < -kStickThreshold), kDown, v > kStickThreshold);
                    Tell(*pad);
                }
                break;
            default: break;
        }
    }
}

void Gamepads::ReleaseAll() {
    for (Pad& pad : pads_) {
        pad.dpad = pad.stick = pad.buttons = 0;
        Tell(pad);
    }
}

void Gamepads::Open(int deviceIndex) {
    SDL_GameController* c = SDL_GameControllerOpen(deviceIndex);
    if (!c) return;
    const int32_t id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
    if (Find(id)) {
        SDL_GameControllerClose(c);  // already open: SDL counted this opening
        return;
    }
    int source = 1;
    while (source < KeySources::kMaxSources &&
           std::any_of(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.source == source; }))
        ++source;
    if (source == KeySources::kMaxSources) {
        SDL_GameControllerClose(c);  // more pads than sources: this one is left out
        return;
    }
    pads_.push_back({c, id, source});
}

void Gamepads::Close(int32_t id) {
    const auto it = std::find_if(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.id == id; });
    if (it == pads_.end()) return;
    keys_.ReleaseSource(*console_, it->source);
    SDL_GameControllerClose(it->controller);
    pads_.erase(it);
}

Gamepads::Pad* Gamepads::Find(int32_t id) {
    for (Pad& pad : pads_)
        if (pad.id == id) return &pad;
    return nullptr;
}

void Gamepads::Tell(Pad& pad) {
    const uint8_t held = pad.dpad | pad.stick | pad.buttons;
    for (int i = 0; i < 8; ++i) {
        const uint8_t bit = uint8_t(1 << i);
        if ((held & bit) == (pad.told & bit)) continue;
        if (held & bit)
            keys_.Press(*console_, pad.source, kPadKeys[i]);
        else
            keys_.Release(*console_, pad.source, kPadKeys[i]);
    }
    pad.told = held;
}

bool Gamepads::eventFilter(QObject* watched, QEvent* e) {
    if (watched == window_ && e->type() == QEvent::WindowDeactivate) ReleaseAll();
    return false;
}

}  // namespace wenlo::ui
