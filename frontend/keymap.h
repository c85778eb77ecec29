// Host keys to Game Boy key codes. Qt reports its own key numbers; the
// machine's KeyState is indexed by the virtual-key numbers of input/keys.h
// (arrows 0x25-0x28, letters by their capital's code, F1 = 0x70 ...). This is
// the one place where the two meet.
#pragma once

namespace wenlo::ui {

// The virtual-key number (0..255) of a Qt key (Qt::Key), or -1 for a key
// that has none here; such keys are ignored by the key handlers.
int HostKeyToKeyCode(int qtKey);

// Tab: held, it runs the machine unpaced (fast-forward).
bool IsFastForwardKey(int qtKey);

// Backspace: held, it runs the game back (rewind).
bool IsRewindKey(int qtKey);

}  // namespace wenlo::ui
