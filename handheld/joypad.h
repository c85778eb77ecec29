// The handheld's joypad register P1 (0xFF00): the game selects directions
// (bit 4 low) and/or buttons (bit 5 low) and reads the selected keys as 0s in
// bits 0-3. The joypad interrupt is requested when a selected input line
// goes from high to low, by a key press or by a new selection.
#pragma once

#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

uint8_t JoypadRead(const Handheld&);
void JoypadWrite(Handheld&, uint8_t value);
// A Game Boy key (input/keys.h code) pressed or released. A press also ends
// STOP.
void HandheldKeyDown(Handheld&, int keyCode);
void HandheldKeyUp(Handheld&, int keyCode);

}  // namespace wenlo::hh
