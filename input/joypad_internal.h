// Internal to the library: included only by input/joypad.cpp and
// core/scheduler.cpp.
//
// UpdateJoypad's body, inline for the scheduler, which runs it on every
// scanline.
#pragma once

#include <array>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/io_regs.h"
#include "core/machine.h"
#include "input/keys.h"

namespace wenlo::joypad_detail {

#if defined(__SSE2__)
// This runs on every scanline. The eight keys lie in three runs of sixteen
// codes; one compare and one mask find the held ones (reading exactly 1) in
// each run, and small tables put the bits in the nibbles' order: Right/A = 0,
// Left/B = 1, Up/Select = 2, Down/Start = 3.
inline constexpr unsigned kArrows = 0x20, kLetters = 0x40, kLetters2 = 0x50;
static_assert(keys::Left == kArrows + 5 && keys::Up == kArrows + 6 && keys::Right == kArrows + 7 &&
              keys::Down == kArrows + 8);
static_assert(keys::Select == kLetters + 3);
static_assert(keys::Start == kLetters2 + 6 && keys::A == kLetters2 + 8 && keys::B == kLetters2 + 10);

[[gnu::always_inline]] inline unsigned HeldMask(const Machine& m, unsigned first) {
    const __m128i run = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.KeyState.data() + first));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(run, _mm_set1_epi8(1))));
}

// Indexed by the held bits of Left, Up, Right, Down (codes 0x25-0x28).
inline constexpr std::array<uint8_t, 16> kDirections = [] {
    std::array<uint8_t, 16> table{};
    for (unsigned held = 0; held < 16; ++held)
        table[held] = uint8_t((held >> 2 & 1) | (held << 1 & 2) | (held << 1 & 4) | (held & 8));
    return table;
}();

// Indexed by the held bits of codes 0x56-0x5A: Start, -, A, -, B.
inline constexpr std::array<uint8_t, 32> kButtons = [] {
    std::array<uint8_t, 32> table{};
    for (unsigned held = 0; held < 32; ++held)
        table[held] = uint8_t((held >> 2 & 1) | (held >> 3 & 2) | (held << 3 & 8));
    return table;
}();

[[gnu::always_inline]] inline uint8_t DirectionNibble(const Machine& m) {
    return kDirections[HeldMask(m, kArrows) >> 5 & 15];
}
[[gnu::always_inline]] inline uint8_t ButtonNibble(const Machine& m) {
    return uint8_t(kButtons[HeldMask(m, kLetters2) >> 6 & 31] | (HeldMask(m, kLetters) >> 1 & 4));
}
#else
// A held key reads exactly 1 in KeyState.
[[gnu::always_inline]] inline unsigned Held(const Machine& m, uint8_t code) { return m.KeyState[code] == 1; }

// Bit order of the two nibbles: Right/A = 0, Left/B = 1, Up/Select = 2,
// Down/Start = 3.
[[gnu::always_inline]] inline uint8_t DirectionNibble(const Machine& m) {
    return uint8_t(Held(m, keys::Right) | Held(m, keys::Left) << 1 | Held(m, keys::Up) << 2 |
                   Held(m, keys::Down) << 3);
}
[[gnu::always_inline]] inline uint8_t ButtonNibble(const Machine& m) {
    return uint8_t(Held(m, keys::A) | Held(m, keys::B) << 1 | Held(m, keys::Select) << 2 |
                   Held(m, keys::Start) << 3);
}
#endif

[[gnu::always_inline]] inline void Update(Machine& m) {
    m.PrevJoypadDirections = m.JoypadDirections;
    m.PrevJoypadButtons = m.JoypadButtons;
    m.JoypadDirections = DirectionNibble(m);
    m.JoypadButtons = ButtonNibble(m);
    // A press and a release both count; the request lives for one scanline.
    if (m.JoypadDirections != m.PrevJoypadDirections || m.JoypadButtons != m.PrevJoypadButtons)
        m.IF |= io::kIntJoypad;
    else
        m.IF &= uint8_t(~io::kIntJoypad);
}

}  // namespace wenlo::joypad_detail
