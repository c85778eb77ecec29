#include "input/joypad.h"

#include "core/io_regs.h"
#include "input/keys.h"

namespace wenlo {

namespace {

struct KeyBit {
    uint8_t code;
    uint8_t bit;
};
// Bit order of the two nibbles: Right/A = 0, Left/B = 1, Up/Select = 2,
// Down/Start = 3.
constexpr KeyBit kDirectionKeys[] = {
    {keys::Right, 0x01}, {keys::Left, 0x02}, {keys::Up, 0x04}, {keys::Down, 0x08}};
constexpr KeyBit kButtonKeys[] = {
    {keys::A, 0x01}, {keys::B, 0x02}, {keys::Select, 0x04}, {keys::Start, 0x08}};

uint8_t Nibble(const Machine& m, const KeyBit (&table)[4]) {
    uint8_t n = 0;
    for (const KeyBit& k : table)
        if (m.KeyState[k.code] == 1) n |= k.bit;
    return n;
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
    m.JoypadDirections = Nibble(m, kDirectionKeys);
    m.JoypadButtons = Nibble(m, kButtonKeys);
    // A press and a release both count; the request lives for one scanline.
    if (m.JoypadDirections != m.PrevJoypadDirections || m.JoypadButtons != m.PrevJoypadButtons)
        m.IF |= io::kIntJoypad;
    else
        m.IF &= uint8_t(~io::kIntJoypad);
}

}  // namespace wenlo
