#include "input/key_sources.h"

#include "input/joypad.h"

namespace wenlo {

namespace {

bool Valid(int source, int keyCode) {
    return source >= 0 && source < KeySources::kMaxSources && keyCode >= 0 && keyCode < 256;
}

}  // namespace

void KeySources::Press(Machine& m, int source, int keyCode) {
    if (!Valid(source, keyCode)) return;
    holders_[keyCode] |= 1u << source;
    // Tested against the machine, not against the other holders: a key that
    // a direct KeyUp released underneath goes down again with the next press.
    if (!m.KeyState[keyCode]) KeyDown(m, keyCode);
}

void KeySources::Release(Machine& m, int source, int keyCode) {
    if (!Valid(source, keyCode) || !(holders_[keyCode] & (1u << source))) return;
    holders_[keyCode] &= ~(1u << source);
    if (holders_[keyCode] == 0) KeyUp(m, keyCode);
}

void KeySources::ReleaseSource(Machine& m, int source) {
    for (int code = 0; code < 256; ++code) Release(m, source, code);
}

void KeySources::Press(Console& c, int source, int keyCode) {
    if (!Valid(source, keyCode)) return;
    const bool first = holders_[keyCode] == 0;
    holders_[keyCode] |= 1u << source;
    if (first) c.KeyDown(keyCode);
}

void KeySources::Release(Console& c, int source, int keyCode) {
    if (!Valid(source, keyCode) || !(holders_[keyCode] & (1u << source))) return;
    holders_[keyCode] &= ~(1u << source);
    if (holders_[keyCode] == 0) c.KeyUp(keyCode);
}

void KeySources::ReleaseSource(Console& c, int source) {
    for (int code = 0; code < 256; ++code) Release(c, source, code);
}

bool KeySources::Holds(int source, int keyCode) const {
    return Valid(source, keyCode) && (holders_[keyCode] & (1u << source)) != 0;
}

bool KeySources::Held(int keyCode) const { return keyCode >= 0 && keyCode < 256 && holders_[keyCode] != 0; }

}  // namespace wenlo
