// The debugger's register dump, shared by both machines' consoles and the
// desktop program's panel.
#pragma once

#include <cstdint>
#include <string>

#include "core/machine.h"

namespace wenlo {

// Upper-case hexadecimal without leading zeros; a negative value shows as its
// 32-bit two's complement ("FFFFFFFF" for -1).
std::string Hex(int64_t value);

// The six-line register dump of the debugger panel, lines separated by
// "\r\n". withCB: a Step shows the second byte of a CB-prefixed instruction
// on line 4; a Run To does not.
std::string RegisterDump(const Machine& m, bool withCB);

}  // namespace wenlo
