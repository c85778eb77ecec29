// The machine operations behind the lifecycle commands, shared by the
// desktop program and the headless runner: starting a cartridge, running one
// frame, one debugger step, and clearing the machine when its cartridge is
// freed.
#pragma once

#include <cstdint>
#include <string>

#include "core/cartridge.h"
#include "core/machine.h"

namespace wenlo {

// Every debugger step counts this many cycles towards its scanline, whatever
// the instruction costs: this machine's debugger keeps its own clock.
constexpr int32_t kDebuggerStepCycles = 7;

// Load ROM without the window: loads the cartridge at path, resets the
// machine, sets Running and clears Paused. A file that does not load changes
// nothing and returns false (a game that was running goes on).
bool StartCartridge(Machine&, const std::string& path);
// StartCartridge with the reason a file did not load (core/cartridge.h).
LoadRomResult StartCartridgeChecked(Machine&, const std::string& path);

// One frame: kLinesPerFrame passes of the run loop, drawing as the run loop
// draws. Runs the lines even when Running is false (the interpreter then
// executes nothing, the scheduler still ticks).
void RunFrame(Machine&);

// One debugger step: a single instruction (Interpret with a budget of 1, so
// nothing while Running is false, and the pause wait first while Paused),
// then stepCycles counts kDebuggerStepCycles on; once above a scanline's
// cycles the line is ticked without drawing, LY wraps above the last line and
// the count starts again from 0.
void DebuggerStep(Machine&, int32_t& stepCycles);

// Free ROM's clearing: stops and unpauses the machine, clears sprite table,
// video RAM, ROM window and every RAM bank, and forgets the cartridge kind and
// banking mode. RomImage, RomName and the registers stay as they are.
void FreeRom(Machine&);

}  // namespace wenlo
