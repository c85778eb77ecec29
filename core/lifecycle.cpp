#include "core/lifecycle.h"

#include "core/cartridge.h"
#include "core/cpu.h"
#include "core/scheduler.h"
#include "core/timing.h"

namespace wenlo {

bool StartCartridge(Machine& m, const std::string& path) {
    return StartCartridgeChecked(m, path) == LoadRomResult::Loaded;
}

LoadRomResult StartCartridgeChecked(Machine& m, const std::string& path) {
    if (const LoadRomResult r = LoadRomChecked(m, path); r != LoadRomResult::Loaded) return r;
    ResetMachine(m);
    m.Running = true;
    m.Paused = false;
    return LoadRomResult::Loaded;
}

void RunFrame(Machine& m) {
    RunScanlines(m, kLinesPerFrame);
}

void DebuggerStep(Machine& m, int32_t& stepCycles) {
    Interpret(m, 1);
    stepCycles += kDebuggerStepCycles;
    if (stepCycles > kCyclesPerLine) {
        ScanlineTick(m, false);
        if (m.LY > kLastLine) m.LY = 0;
        stepCycles = 0;
    }
}

void FreeRom(Machine& m) {
    m.Running = false;
    m.Paused = false;
    m.Oam.fill(0);
    m.VideoRam.fill(0);
    m.RomWindow.fill(0);
    for (auto& slot : m.RamBanks) slot.fill(0);
    m.CartType = 0;
    m.BankMode = 0;
}

}  // namespace wenlo
