#include "input/joypad.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/bus.h"
#include "input/keys.h"

namespace wenlo {
namespace {

std::unique_ptr<Machine> Fresh() { return std::make_unique<Machine>(); }

TEST(JoypadTest, HeldKeysBecomeTheTwoNibbles) {
    struct Case {
        std::vector<int> held;
        uint8_t directions, buttons;
    };
    const Case cases[] = {
        {{}, 0x00, 0x00},
        {{keys::Right}, 0x01, 0x00},
        {{keys::Left}, 0x02, 0x00},
        {{keys::Up}, 0x04, 0x00},
        {{keys::Down}, 0x08, 0x00},
        {{keys::A}, 0x00, 0x01},
        {{keys::B}, 0x00, 0x02},
        {{keys::Select}, 0x00, 0x04},
        {{keys::Start}, 0x00, 0x08},
        {{keys::Up, keys::Right, keys::Start, keys::A}, 0x05, 0x09},
        {{keys::Right, keys::Left, keys::Up, keys::Down, keys::A, keys::B, keys::Select, keys::Start},
         0x0F,
         0x0F},
        // Other keys, Escape among them, and the codes next to the eight.
        {{keys::Escape, 0x41, 0x24, 0x29, 0x57, 0x59, 0x5B, 0x42, 0x44, 0x55, 0x0D, 0x00, 0xFF}, 0x00, 0x00},
    };
    for (const Case& c : cases) {
        auto m = Fresh();
        for (int key : c.held) KeyDown(*m, key);
        UpdateJoypad(*m);
        EXPECT_EQ(m->JoypadDirections, c.directions)
            << "first held key " << (c.held.empty() ? -1 : c.held[0]);
        EXPECT_EQ(m->JoypadButtons, c.buttons) << "first held key " << (c.held.empty() ? -1 : c.held[0]);
    }
}

TEST(JoypadTest, OnlyAOneInKeyStateCountsAsHeld) {
    // A state file may hold any byte there; the eight keys are read together,
    // so each must still be tested on its own value.
    const uint8_t eight[] = {keys::Right, keys::Left, keys::Up,     keys::Down,
                             keys::A,     keys::B,    keys::Select, keys::Start};
    for (const uint8_t value : {0x02, 0x03, 0x11, 0x81, 0xFF}) {
        auto m = Fresh();
        for (const uint8_t key : eight) m->KeyState[key] = value;
        m->KeyState[keys::Up] = 1;
        m->KeyState[keys::B] = 1;
        UpdateJoypad(*m);
        EXPECT_EQ(m->JoypadDirections, 0x04) << "value " << int(value);
        EXPECT_EQ(m->JoypadButtons, 0x02) << "value " << int(value);
    }
}

// Each step changes the keys and runs one update; a press and a release both
// raise IF bit 4 for one update, an update without change withdraws it.
TEST(JoypadTest, RequestFollowsChangesForOneUpdate) {
    struct Step {
        int key;
        bool down;
        bool request;
        uint8_t prevDirections, prevButtons;
    };
    const Step steps[] = {
        {-1, false, false, 0x0, 0x0},        // nothing held, nothing changed
        {keys::A, true, true, 0x0, 0x0},     // press
        {-1, false, false, 0x0, 0x1},        // held, no change
        {keys::Left, true, true, 0x0, 0x1},  // a direction counts the same
        {0x41, true, false, 0x2, 0x1},       // another key is no change
        {keys::A, false, true, 0x2, 0x1},    // release
        {keys::Left, false, true, 0x2, 0x0}, {-1, false, false, 0x0, 0x0},
    };
    auto m = Fresh();
    m->IF = 0xE5;  // other requests stay as they are
    int i = 0;
    for (const Step& s : steps) {
        if (s.key >= 0) (s.down ? KeyDown : KeyUp)(*m, s.key);
        UpdateJoypad(*m);
        EXPECT_EQ(m->IF, s.request ? 0xF5 : 0xE5) << "step " << i;
        EXPECT_EQ(m->PrevJoypadDirections, s.prevDirections) << "step " << i;
        EXPECT_EQ(m->PrevJoypadButtons, s.prevButtons) << "step " << i;
        ++i;
    }
}

TEST(JoypadTest, KeyCodesOutsideTheTableAreIgnored) {
    auto m = Fresh();
    for (int code : {256, 256 + keys::A, 1000, -1, -256 + keys::Right}) {
        KeyDown(*m, code);
        KeyUp(*m, code);
        KeyDown(*m, code);
    }
    for (int code = 0; code < 256; ++code) ASSERT_EQ(m->KeyState[code], 0) << code;
    UpdateJoypad(*m);
    EXPECT_EQ(m->JoypadDirections | m->JoypadButtons, 0);
    KeyDown(*m, 255);
    EXPECT_EQ(m->KeyState[255], 1);
    KeyUp(*m, 255);
    EXPECT_EQ(m->KeyState[255], 0);
}

TEST(JoypadTest, GameReadsTheNibblesThroughP1AfterItsSelectWrite) {
    struct Case {
        std::vector<int> held;
        uint8_t select, p1;
    };
    const Case cases[] = {
        {{keys::A}, 0x10, 0xEE},
        {{keys::Down}, 0x20, 0xD7},
        {{keys::Down, keys::A}, 0x30, 0xEE},  // both selected: the buttons
        {{keys::Down, keys::A}, 0x00, 0xFF},  // neither: nothing
        {{keys::Start, keys::Select, keys::B}, 0x10, 0xE1},
        {{keys::Up, keys::Left}, 0x20, 0xD9},
        {{keys::Up, keys::Left}, 0x10, 0xEF},
    };
    for (const Case& c : cases) {
        auto m = Fresh();
        for (int key : c.held) KeyDown(*m, key);
        UpdateJoypad(*m);
        WriteByte(*m, 0xFF00, c.select);
        EXPECT_EQ(ReadByte(*m, 0xFF00), c.p1) << "select " << std::hex << int(c.select);
    }
}

TEST(JoypadTest, P1IsComposedOnlyAtTheSelectWrite) {
    auto m = Fresh();
    KeyDown(*m, keys::A);
    UpdateJoypad(*m);
    WriteByte(*m, 0xFF00, 0x10);
    KeyUp(*m, keys::A);
    UpdateJoypad(*m);
    EXPECT_EQ(ReadByte(*m, 0xFF00), 0xEE);  // stale until the game selects again
    WriteByte(*m, 0xFF00, 0x10);
    EXPECT_EQ(ReadByte(*m, 0xFF00), 0xEF);
}

}  // namespace
}  // namespace wenlo
