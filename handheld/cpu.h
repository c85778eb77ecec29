// The handheld's CPU at the hardware's timing: every instruction takes its
// real number of machine cycles, and each memory access happens in its own
// cycle (the clock ticks before the access), so a read of DIV, TIMA, LY or
// STAT inside an instruction sees the value of that cycle.
#pragma once

#include <cstdint>
#include <string>

#include "handheld/handheld.h"

namespace wenlo::hh {

// Interrupt request bits (IF / IE), in priority order: the lowest set bit is
// taken first.
constexpr uint8_t kIntVBlank = 0x01, kIntStat = 0x02, kIntTimer = 0x04, kIntSerial = 0x08, kIntJoypad = 0x10;

// One step: dispatches a pending interrupt (5 machine cycles), or runs one
// instruction, or lets time pass while halted, stopped or locked (up to the
// next event). Returns the clock cycles that passed.
uint32_t CpuStep(Handheld&);

// Steps until a picture is complete (Ppu::frameReady) or time reaches limit.
void CpuRun(Handheld&, uint64_t limit);

// Cpu::special from what it stands for; call after changing any of it
// outside the CPU (a key ending STOP, IE or IF written, a state loaded).
inline void UpdateSpecial(Handheld& h) {
    const Cpu& c = h.cpu;
    if (c.halted || c.stopped || c.locked || c.haltBug || c.imePending || (c.ime && (h.IE & h.IF & 0x1F)))
        Attend(h);
    else
        h.cpu.special = false;
}

// The debugger's six-line register dump, laid out as the design's machine's
// (core/debugger.h).
std::string CpuRegisterDump(const Handheld&, bool withCB);

}  // namespace wenlo::hh
