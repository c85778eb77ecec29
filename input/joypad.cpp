#include "input/joypad.h"

#include "core/io_regs.h"
#include "input/keys.h"

namespace wenlo {

namespace {

// A held key reads exactly 1 in KeyState.
[[gnu::always_inline]] inline unsigned Held(const Machine& m, uint8_t code) { return m.KeyState[code] == 1; }

// Bit order of the two nibbles: Right/A = 0, Left/B = 1, Up/Select = 2,
// Down/Start = 3. Written out rather than looped over a table: this runs on
// every scanline, and the compiler makes it eight loads and compares with no
// branch.
uint8_t DirectionNibble(const Machine& m) {
    return uint8_t(Held(m, keys::Right) | Held(m, keys::Left) << 1 | Held(m, keys::Up) << 2 |
                   Held(m, keys::Down) << 3);
}
uint8_t ButtonNibble(const Machine& m) {
    return uint8_t(Held(m, keys::A) | Held(m, keys::B) << 1 | Held(m, keys::Select) << 2 |
                   Held(m, keys::Start) << 3);
}

}  // namespace

void KeyDown(Machine& m, int keyCode) {
    if (keyCode >= 0 && keyCode < int(m.KeyState.size())) m.KeyState[keyCode] = 1;
}

void KeyUp(Machine& m, int keyCode) {
    if (keyCode >= 0 && keyCode < int(m.KeyState.size())) m.KeyState[keyCode] = 0;
}

void UpdateJoypad(Machine& m) {
    m.PrevJoypadDirections = m.JoypadDirections;
    m.PrevJoypadButtons = m.JoypadButtons;
    m.JoypadDirections = DirectionNibble(m);
    m.JoypadButtons = ButtonNibble(m);
    // A press and a release both count; the request lives for one scanline.
    if (m.JoypadDirections != m.PrevJoypadDirections || m.JoypadButtons != m.PrevJoypadButtons)
        m.IF |= io::kIntJoypad;
    else
        m.IF &= uint8_t(~io::kIntJoypad);
}

}  // namespace wenlo
