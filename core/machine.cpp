#include "core/machine.h"

#include "core/compat_hooks_internal.h"
#include "core/io_regs.h"

namespace wenlo {

void ResetMachine(Machine& m) {
    m.regA = 0x01;
    m.regB = 0x00;
    m.regC = 0x13;
    m.regD = 0x00;
    m.regE = 0xD8;
    m.regH = 0x01;
    m.regL = 0x4D;
    m.flagZ = 1;
    m.flagN = 0;
    m.flagH = 1;
    m.flagC = 1;
    m.regPC = 0x0100;
    m.regSP = 0xFFFE;
    // The boot program leaves interrupts enabled in this machine.
    m.IME = 1;

    m.IF = 0;
    m.LCDC = 0x91;
    m.LY = 0;
    m.LYC = 0;
    m.STAT = 0;
    m.TIMA = 0;
    m.TMA = 0;
    m.BGP = 0xFC;
    m.OBP0 = 0xFF;
    m.OBP1 = 0xFF;
    m.IE = 0;

    for (auto& slot : m.RamBanks) slot.fill(0);
    m.VideoRam.fill(0);
    m.Oam.fill(0);
    m.HighRam.fill(0);
    m.SoundRegs.fill(0);

    struct SoundInit {
        int address;
        uint8_t value;
    };
    static constexpr SoundInit kPostBootSound[] = {
        {0xFF10, 0x80}, {0xFF11, 0xBF}, {0xFF12, 0xF3}, {0xFF14, 0xBF}, {0xFF16, 0x3F}, {0xFF17, 0x00},
        {0xFF19, 0xBF}, {0xFF1A, 0x7F}, {0xFF1B, 0xFF}, {0xFF1C, 0x9F}, {0xFF1E, 0xBF}, {0xFF20, 0xFF},
        {0xFF21, 0x00}, {0xFF22, 0x00}, {0xFF23, 0xBF}, {0xFF24, 0x77}, {0xFF25, 0xF3}, {0xFF26, 0xF1},
    };
    for (const auto& s : kPostBootSound) m.SoundRegs[s.address - io::kSoundFirst] = s.value;

    CompatStartRun(m);
    if (m.host) m.host->EnableMachineCommands();
}

int32_t GetAF(const Machine& m) { return m.regA * 256 + ComposeF(m); }
int32_t GetBC(const Machine& m) { return m.regB * 256 + m.regC; }
int32_t GetDE(const Machine& m) { return m.regD * 256 + m.regE; }
int32_t GetHL(const Machine& m) { return m.regH * 256 + m.regL; }

}  // namespace wenlo
