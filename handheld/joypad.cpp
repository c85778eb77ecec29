#include "handheld/joypad.h"

#include "handheld/cpu.h"
#include "handheld/scheduler.h"
#include "input/keys.h"

namespace wenlo::hh {

namespace {

// Bit of Joypad::keys: directions in the low nibble, buttons in the high one,
// each in P1's bit order.
int KeyBit(int keyCode) {
    switch (keyCode) {
        case keys::Right: return 0;
        case keys::Left: return 1;
        case keys::Up: return 2;
        case keys::Down: return 3;
        case keys::A: return 4;
        case keys::B: return 5;
        case keys::Select: return 6;
        case keys::Start: return 7;
        default: return -1;
    }
}

uint8_t Lines(const Joypad& j) {
    uint8_t low = 0;
    if (!(j.select & 0x10)) low |= j.keys & 0x0F;
    if (!(j.select & 0x20)) low |= j.keys >> 4;
    return uint8_t(~low & 0x0F);
}

void Update(Handheld& h) {
    const uint8_t lines = Lines(h.joypad);
    if (h.joypad.lines & ~lines) RequestInterrupt(h, kIntJoypad);  // a line fell
    h.joypad.lines = lines;
}

}  // namespace

uint8_t JoypadRead(const Handheld& h) { return uint8_t(0xC0 | h.joypad.select | Lines(h.joypad)); }

void JoypadWrite(Handheld& h, uint8_t value) {
    h.joypad.select = value & 0x30;
    Update(h);
}

void HandheldKeyDown(Handheld& h, int keyCode) {
    const int bit = KeyBit(keyCode);
    if (bit < 0) return;
    h.joypad.keys |= uint8_t(1u << bit);
    h.cpu.stopped = false;
    UpdateSpecial(h);
    Update(h);
}

void HandheldKeyUp(Handheld& h, int keyCode) {
    const int bit = KeyBit(keyCode);
    if (bit < 0) return;
    h.joypad.keys &= uint8_t(~(1u << bit));
    Update(h);
}

}  // namespace wenlo::hh
