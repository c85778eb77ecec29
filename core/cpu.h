// The CPU interpreter: the main opcode table (cpu.cpp), its arithmetic and
// flag rules (alu_internal.h) and the CB-prefixed table (cpu_cb.cpp).
#pragma once

#include <cstdint>

#include "core/machine.h"

namespace wenlo {

// Runs whole instructions while the budget (clock cycles, signed) is above 0;
// the overshoot of the last instruction is dropped. Does nothing when Running
// is false. While Paused is true on entry it first waits, through the host,
// until Paused is cleared (headless: no wait). A budget of 1 executes exactly
// one instruction (a CB-prefixed pair counts as one). Interrupts are never
// taken here; the scheduler dispatches them between budgets.
void Interpret(Machine&, int16_t cycles);

// Executes the CB-prefixed instruction whose second byte is at regPC, records
// that byte in CurrentCBOpcode, leaves regPC past it and returns its cost in
// clock cycles (always 8 in this machine).
int32_t ExecuteCB(Machine&);

}  // namespace wenlo
