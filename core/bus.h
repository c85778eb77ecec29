// The memory bus: the only way the CPU and the interrupt dispatch reach the
// 16-bit address space. Decodes addresses into the regions and register fields
// of Machine, implements MBC1-style banking, and carries the side effects of
// the registers this machine models (joypad select, DIV and LY clear, sprite
// DMA). The renderers, save states and the debugger read Machine directly.
#pragma once

#include <cstdint>

#include "core/io_regs.h"
#include "core/machine.h"

namespace wenlo {

// One byte at a Game Boy address. No side effects on the emulation (the
// compatibility record counts the reads of STAT and 0xFF00). Addresses outside
// 0x0000-0xFFFF (regPC and regSP may run past 16 bits) read as 0.
uint8_t ReadByte(const Machine&, int32_t address);

// Stores one byte at a Game Boy address with the register side effects.
// Addresses outside 0x0000-0xFFFF are ignored.
void WriteByte(Machine&, int32_t address, uint8_t value);

// Copies bank RomBank of RomImage into RomWindow 0x4000-0x7FFF. Bytes past the
// end of RomImage read as 0xFF. Called on every bank-select write and when a
// saved state is restored.
void SwitchRomBank(Machine&);

}  // namespace wenlo
