#include "input/joypad.h"

#include "input/joypad_internal.h"

namespace wenlo {

void KeyDown(Machine& m, int keyCode) {
    if (keyCode >= 0 && keyCode < int(m.KeyState.size())) m.KeyState[keyCode] = 1;
}

void KeyUp(Machine& m, int keyCode) {
    if (keyCode >= 0 && keyCode < int(m.KeyState.size())) m.KeyState[keyCode] = 0;
}

void UpdateJoypad(Machine& m) { joypad_detail::Update(m); }

}  // namespace wenlo
