// The handheld's memory map as the CPU sees it at the present time, and the
// I/O registers. Reads and writes here take no time: the CPU ticks first
// (handheld/cpu.cpp), so an access sees the machine as it is at the end of
// its machine cycle.
#pragma once

#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

uint8_t BusRead(Handheld&, uint16_t address);
void BusWrite(Handheld&, uint16_t address, uint8_t value);

// What the debugger and tests see at an address, without side effects and
// without the access rules of the picture or DMA.
uint8_t PeekByte(const Handheld&, uint16_t address);

// Rebuilds Handheld::readPages and writePages from the ROM banks now mapped
// and DMA (which leaves only the I/O page and high RAM to the CPU).
void RefreshMemoryMap(Handheld&);

// A stretch of memory the CPU can run code from without the bus: address
// a in [lo, lo + size) reads code[a - lo]. size 0: none here.
struct CodeWindow {
    const uint8_t* code = nullptr;
    uint32_t lo = 0, size = 0;
};
// The window around pc: a ROM bank, work RAM, its echo or high RAM, as the
// CPU may read them directly now (none during DMA but high RAM). Valid until
// a bank switch or the start of DMA.
CodeWindow CodeWindowAt(const Handheld&, uint16_t pc);

// OAM DMA brought up to now (bytes copied as their machine cycles passed).
void DmaCatchUp(Handheld&);

}  // namespace wenlo::hh
