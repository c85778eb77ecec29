// A complete handheld built from a cartridge in memory, for the handheld's
// unit tests.
#pragma once

#include <memory>

#include "handheld/cpu.h"
#include "handheld/handheld.h"
#include "handheld/mbc.h"
#include "handheld/scheduler.h"
#include "tests/support/rom_builder.h"

namespace wenlo::test {

// The image loaded and the machine reset to the state after the boot
// program, Running set.
inline std::unique_ptr<hh::Handheld> MakeHandheld(const RomBuilder& rom) {
    auto h = std::make_unique<hh::Handheld>();
    hh::MbcLoad(*h, rom.Bytes());
    hh::ResetHandheld(*h);
    h->Running = true;
    return h;
}

// Runs CPU steps until pc reaches `pc` (or a step budget runs out).
inline void RunUntilPc(hh::Handheld& h, uint16_t pc, int budget = 100000) {
    while (h.cpu.pc != pc && budget-- > 0) hh::CpuStep(h);
}

}  // namespace wenlo::test
