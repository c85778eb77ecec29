// Texts the windows show, built from the machine: the debugger's register
// dump, the ROM information, and the reading of a Run To answer. Lines are
// separated by "\r\n" here; the windows turn that into their own line breaks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/debugger.h"
#include "core/machine.h"

namespace wenlo::ui {

// The debugger's texts live in the library (core/debugger.h).
using wenlo::Hex;
using wenlo::RegisterDump;

// The ROM information text: title up to its first zero byte and the bytes at
// 0x14E (high) and 0x14D (low) of the cartridge's image (the console's
// RomImage). Needs at least 0x14F bytes; with a shorter image the value is
// left out ("Complement Check: ").
std::string RomInfoText(const std::vector<uint8_t>& image);

// The flags Z, N, H and C from a register dump's "AF=$..." (either
// machine's): bits 7, 6, 5 and 4 of F, the low byte. All clear when the
// dump has no AF.
struct DumpFlags {
    bool z = false, n = false, h = false, c = false;
};
DumpFlags FlagsOfDump(std::string_view dump);

// Reads an address typed at the Run To prompt: a decimal number (sign,
// fraction and exponent allowed; a fraction rounds to the nearest integer,
// halves to even) or hexadecimal after "&H", "$" or "0x" (the register dump
// writes addresses with "$"). Surrounding blanks are ignored.
// Empty, non-numeric or out-of-range (beyond 32 bits) answers give nothing.
std::optional<int32_t> ParseAddress(std::string_view text);

}  // namespace wenlo::ui
