// The Game Boy keys held down through the keyboard, kept apart from any
// other source of keys (a gamepad keeps its own), so that losing the keyboard
// (the picture loses the focus, the window is deactivated or minimised)
// releases exactly these: their key-ups will arrive elsewhere or never.
#pragma once

#include <bitset>
#include <vector>

namespace wenlo::ui {

class KeyboardKeys {
public:
    void Pressed(int keyCode) {
        if (keyCode >= 0 && keyCode < kCodes) held_.set(size_t(keyCode));
    }
    void Released(int keyCode) {
        if (keyCode >= 0 && keyCode < kCodes) held_.reset(size_t(keyCode));
    }
    bool Held(int keyCode) const { return keyCode >= 0 && keyCode < kCodes && held_.test(size_t(keyCode)); }
    // The codes held now, lowest first; afterwards none is.
    std::vector<int> TakeAll() {
        std::vector<int> codes;
        for (int c = 0; c < kCodes; ++c)
            if (held_.test(size_t(c))) codes.push_back(c);
        held_.reset();
        return codes;
    }

private:
    static constexpr int kCodes = 256;  // KeyState's size
    std::bitset<kCodes> held_;
};

}  // namespace wenlo::ui
