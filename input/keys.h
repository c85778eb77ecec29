// Game Boy key codes: the virtual-key numbers under which KeyState records
// held host keys. The front end translates its own key codes to these.
#pragma once

#include <cstdint>

namespace wenlo::keys {

constexpr uint8_t Left = 0x25;
constexpr uint8_t Up = 0x26;
constexpr uint8_t Right = 0x27;
constexpr uint8_t Down = 0x28;
constexpr uint8_t A = 0x58;       // X key
constexpr uint8_t B = 0x5A;       // Z key
constexpr uint8_t Select = 0x43;  // C key
constexpr uint8_t Start = 0x56;   // V key
constexpr uint8_t Escape = 27;    // stops emulation when pressed in the picture

}  // namespace wenlo::keys
