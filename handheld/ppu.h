// The handheld's picture unit: line timing (modes 2, 3, 0 and 1), STAT and
// LY as the CPU reads them mid-line, the LCD-status interrupt, the window,
// sprites as the hardware chooses and draws them, and the access rules of
// video RAM and OAM. Caught up lazily: the scheduler calls PpuEvent at the
// time the unit asked for (Handheld::events[kEventPpu]), and register
// accesses call PpuCatchUp first. Each line goes onto the host's surface
// (Host::Screen, in Handheld::DisplayMode) as its mode 3 ends; the turns to
// modes 3 and 0 are taken when the CPU next looks (a register, video RAM or
// OAM through PpuVramOpen / PpuOamOpen) or the next line starts, so the bus
// must ask those before every video RAM and OAM access.
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
// Whether the CPU may reach video RAM / OAM now (modes 3 / 2 and 3 block);
// they bring the unit up to now first where anything but the turn to mode 3
// is due (that one they answer from its time).
bool PpuVramOpen(Handheld&);
bool PpuOamOpen(Handheld&);
// At a frame's end: the picture is on the surface already; with the LCD
// off, makes it white (in the display mode, the interlaced grid dots left
// alone).
void PpuPresent(Handheld&);

}  // namespace wenlo::hh
