// The handheld's picture unit: line timing (modes 2, 3, 0 and 1), STAT and
// LY as the CPU reads them mid-line, the LCD-status interrupt, the window,
// sprites as the hardware chooses and draws them, and the access rules of
// video RAM and OAM. Caught up lazily: the scheduler calls PpuEvent at the
// time the unit asked for (Handheld::events[kEventPpu]), and register
// accesses call PpuCatchUp first.
#pragma once

#include <cstdint>

#include "handheld/handheld.h"

namespace wenlo::hh {

// The state after the boot program: LCD on, line 0 beginning at now.
void PpuReset(Handheld&);
// Brings the unit up to now (mode, LY, STAT line, lines drawn).
void PpuCatchUp(Handheld&);
// The scheduler's event: serve what is due and schedule the next.
void PpuEvent(Handheld&);
// 0xFF40-0xFF4B except 0xFF46 (DMA, handheld/bus.cpp).
uint8_t PpuRead(Handheld&, uint16_t address);
void PpuWrite(Handheld&, uint16_t address, uint8_t value);
// Whether the CPU may reach video RAM / OAM now (modes 3 / 2 and 3 block).
bool PpuVramOpen(Handheld&);
bool PpuOamOpen(Handheld&);
// Copies the finished picture (Ppu::shades) to the host's surface in the
// display mode; white when the LCD is off.
void PpuPresent(Handheld&);

}  // namespace wenlo::hh
