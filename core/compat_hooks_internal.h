// Internal to the library: included only by core/ (bus, cpu, scheduler,
// machine, cartridge, compat) and savestate/state_file.cpp.
//
// Where the compatibility record (core/compat.h) is fed. The bus, the
// instruction table and the scheduler call these; the instruction table
// itself only counts HALT, STOP and the undefined opcodes, each in its own
// case, so the ordinary instructions pay nothing.
//
// When the record is cleared: by ResetMachine (a new run) and by a cartridge
// load (a new cartridge), which both note the header at once, in frame 0.
// Loading a state file keeps it: the record describes the run in which the
// state was loaded, and a state carries no record of its own.
//
// The counts are occurrences: register writes, instructions run, interrupts
// taken, bytes read, header flags (1). Three rules look once a scanline instead
// of at every instruction: the code running from an unselected bank, the program counter in unmapped space
// (both sample regPC where each line's budget ends, so they count lines), and the STAT polling rule (see
// compat.cpp).
#pragma once

#include <cstdint>

#include "core/compat.h"
#include "core/machine.h"
#include "core/timing.h"

namespace wenlo {

// A write to 0xFF00-0xFFFF, before the bus carries it out.
void CompatIoWrite(Machine&, int32_t address, uint8_t value);

// An interrupt just taken: regSP already holds the pushed return address.
void CompatDispatch(Machine&);

// ResetMachine: clears the record and notes the header.
void CompatStartRun(Machine&);

// A cartridge image has just been loaded: clears the record, notes the
// header and what the upper ROM window holds.
void CompatCartridgeLoaded(Machine&);

// A state file has just been restored: the open interrupt handlers and the
// polling counters belong to the abandoned run; the counts stay.
void CompatStateLoaded(Machine&);

// The out-of-line parts of CompatLineEnd.
void CompatCheckPc(Machine&, uint32_t pc);
void CompatCheckPolling(Machine&, int line);

// A bank of this cartridge is now in 0x4000-0x7FFF.
inline void CompatBankShown(Machine& m) {
    m.compat.watch.pcRegions &= uint16_t(~kPcRegionsBankWindow);
    m.compat.watch.romInPlaceEnd = kRomInPlaceWhole;
}

// The bus read data from 0x4000-0x7FFF while that window held no bank of this
// cartridge (only reads past romInPlaceEnd come here).
inline void CompatBankWindowRead(const Machine& m) { Note(m.compat, CompatFeature::BankWindowRead); }

// The bus reports the reads of the two registers that games poll.
inline void CompatStatRead(const Machine& m) {
    ++m.compat.watch.statReads;
    m.compat.watch.linePending = true;
}
void CompatJoypadRead(const Machine& m);
// The sound is heard as written; only reading its registers back differs.
inline void CompatSoundRead(const Machine& m) { Note(m.compat, CompatFeature::Sound); }

// At the start of every scanline's bookkeeping, once the line's budget has
// run (line = that line).
// This runs 154 times a frame whatever the cartridge does, so it is a
// handful of instructions when nothing needs a look: one bit test on the
// program counter's 4 KiB region and one flag. It does not look at the
// switch: with the record off the rules still run, and Note drops what
// they find.
inline void CompatLineEnd(Machine& m, int line) {
    CompatWatch& w = m.compat.watch;
    const uint32_t pc = uint32_t(m.regPC);
    if (pc > 0xFFFFu || ((w.pcRegions >> (pc >> 12)) & 1u) != 0) [[unlikely]]
        CompatCheckPc(m, pc);
    if (w.linePending) [[unlikely]]
        CompatCheckPolling(m, line);
    if (line == kLastLine) ++m.compat.frame;
}

}  // namespace wenlo
