// Keys held through several sources at once (the keyboard, each gamepad):
// every source keeps its own held set, and the machine's KeyDown sees a key
// go down when the first source holds it, KeyUp when the last one lets go.
// So a direction held on the keyboard stays held while a pad's stick passes
// through it, and a pad unplugged releases only what that pad held.
#pragma once

#include <array>
#include <cstdint>

#include "core/console.h"
#include "core/machine.h"

namespace wenlo {

class KeySources {
public:
    // Source 0 is the keyboard; gamepads take 1 .. kMaxSources - 1.
    static constexpr int kKeyboard = 0;
    static constexpr int kMaxSources = 32;

    // source holds keyCode (0..255; other codes and sources are ignored).
    // Pressing a key the source already holds changes nothing.
    void Press(Machine&, int source, int keyCode);
    // source lets go of keyCode; the machine sees the key go up when no
    // other source holds it. A key the source does not hold changes nothing.
    void Release(Machine&, int source, int keyCode);
    // Releases every key source holds (a pad unplugged, the focus lost).
    void ReleaseSource(Machine&, int source);
    // The same for either machine through its console, which cannot be
    // asked what it holds: it sees a key go down when the first source holds
    // it. Whoever hands keys to a console that did not see them go down (a
    // machine switched to while keys are held) tells it of them itself.
    void Press(Console&, int source, int keyCode);
    void Release(Console&, int source, int keyCode);
    void ReleaseSource(Console&, int source);

    bool Holds(int source, int keyCode) const;
    // Some source holds keyCode.
    bool Held(int keyCode) const;

private:
    // One bit per source for each key code.
    std::array<uint32_t, 256> holders_{};
};

}  // namespace wenlo
