// The run loop: one scanline's budget of instructions, then the line's
// drawing, LY/STAT/IF bookkeeping, VBlank refresh and event pumping, and the
// dispatch of at most one pending interrupt.
#pragma once

#include "core/machine.h"

namespace wenlo {

// Runs scanline after scanline until Running is false (checked once per line).
// Returns at once if Running is false on entry.
void RunEmulation(Machine&);

// The bookkeeping after one scanline's budget. render = false (the debugger)
// draws nothing, refreshes nothing and pumps no events; LY, STAT, IF, the
// joypad and interrupt dispatch advance the same.
void ScanlineTick(Machine&, bool render);

// One pass of the run loop without the Running test: a 456-cycle budget, DIV
// counted down, LY wrapped above 153, then ScanlineTick(render = true).
// RunFrame (core/lifecycle.h) calls it kLinesPerFrame times.
void RunScanline(Machine&);
// RunScanline `lines` times (one frame: kLinesPerFrame).
void RunScanlines(Machine&, int lines);

}  // namespace wenlo
