#include "input/key_sources.h"

#include <gtest/gtest.h>

#include <memory>

#include "input/joypad.h"
#include "input/keys.h"

namespace wenlo {
namespace {

// Each step is one source pressing or letting go of a key; the machine sees
// a key down while any source holds it.
TEST(KeySources, AKeyIsDownWhileAnySourceHoldsIt) {
    constexpr int kPad1 = 1, kPad2 = 2;
    struct Step {
        int source, key;
        bool press;
        bool downAfter;
    };
    const Step steps[] = {
        {KeySources::kKeyboard, keys::Left, true, true},
        {kPad1, keys::Left, true, true},
        {KeySources::kKeyboard, keys::Left, false, true},  // the pad still holds it
        {kPad1, keys::Left, true, true},                   // pressed twice, held once
        {kPad1, keys::Left, false, false},
        {kPad2, keys::Left, false, false},  // a key the source never held
        {kPad2, keys::A, true, true},
        {kPad1, keys::A, false, true},  // another pad's release does not count
        {kPad2, keys::A, false, false},
        {KeySources::kMaxSources, keys::B, true, false},  // no such source
        {kPad1, 256, true, false},                        // no such key
    };
    auto m = std::make_unique<Machine>();
    KeySources sources;
    int i = 0;
    for (const Step& s : steps) {
        if (s.press)
            sources.Press(*m, s.source, s.key);
        else
            sources.Release(*m, s.source, s.key);
        if (s.key < 256) {
            EXPECT_EQ(m->KeyState[s.key], s.downAfter ? 1 : 0) << "step " << i;
        }
        ++i;
    }
}

// A pad unplugged lets go of its own keys only.
TEST(KeySources, ReleasingASourceKeepsTheOthersKeys) {
    auto m = std::make_unique<Machine>();
    KeySources sources;
    sources.Press(*m, 1, keys::Up);
    sources.Press(*m, 1, keys::Start);
    sources.Press(*m, 2, keys::Start);
    sources.Press(*m, KeySources::kKeyboard, keys::Up);
    sources.Press(*m, 1, keys::B);
    sources.ReleaseSource(*m, 1);
    UpdateJoypad(*m);
    EXPECT_EQ(m->JoypadDirections, 0x04);  // Up, from the keyboard
    EXPECT_EQ(m->JoypadButtons, 0x08);     // Start, from the second pad
    EXPECT_FALSE(sources.Holds(1, keys::Up));
    EXPECT_TRUE(sources.Held(keys::Up));
    EXPECT_FALSE(sources.Held(keys::B));
}

}  // namespace
}  // namespace wenlo
