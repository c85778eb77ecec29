// Held host keys (KeyState) to the two joypad nibbles, and the joypad
// interrupt request.
#pragma once

#include <cstdint>

#include "core/machine.h"

namespace wenlo {

// Key-down / key-up of a Game Boy key code (input/keys.h). Codes of 256 or
// more are ignored (KeyState has 256 entries).
void KeyDown(Machine&, int keyCode);
void KeyUp(Machine&, int keyCode);

// Saves the nibbles as Prev*, recomputes them from KeyState, and sets IF bit 4
// when either nibble changed (press or release), clears it otherwise. Called
// by the scheduler once per scanline while IME is non-zero.
void UpdateJoypad(Machine&);

}  // namespace wenlo
