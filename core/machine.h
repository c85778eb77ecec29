// The whole emulated Game Boy as one plain record, and the narrow seam through
// which the machine reaches its front end.
//
// Every subsystem is a set of free functions working on a Machine&. There is no
// global machine: a test may build as many as it likes. A Machine is large
// (about 180 KiB): put it on the heap (std::make_unique<Machine>()).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/compat.h"

namespace wenlo {

class Surface;

// Services of the front end. A machine with no host (Machine::host == nullptr)
// runs headless: pumps, refreshes, caption changes and command enabling do
// nothing, the pause wait returns at once and nothing is drawn.
//
// The machine calls these only between scanline budgets (PumpEvents,
// RefreshPicture, FrameEnded), from the pause wait before a budget (WaitForEvents), and
// from LoadRom / ResetMachine (SetCaption, EnableMachineCommands); never in the
// middle of an instruction. Handlers run inside those calls may change any
// Machine field, start a nested run loop, or clear Running.
struct Host {
    // Drawing target of the line renderers; owned by the host. Null: nothing
    // is drawn (the scheduler still advances LY, STAT and IF as usual).
    Surface* Screen = nullptr;

    virtual ~Host() = default;
    // Process the pending window events, then return.
    virtual void PumpEvents() {}
    // Used by the pause wait: block until at least one event has been
    // handled, so that a paused machine does not spin a core.
    virtual void WaitForEvents() { PumpEvents(); }
    // Show the current surface image (called on every VBlank line).
    virtual void RefreshPicture() {}
    // A frame ended: called after the last line's RefreshPicture, in place of
    // that line's PumpEvents (the default pumps, so a host that ignores frames
    // sees a pump on every VBlank line). drawn: the frame's lines were drawn
    // (one frame in kFrameSkip), so the surface holds a new picture.
    virtual void FrameEnded(bool /*drawn*/) { PumpEvents(); }
    // Set the main window's caption.
    virtual void SetCaption(const std::string& /*caption*/) {}
    // Enable the commands that need a loaded machine (Unload, Reset, Pause,
    // Stop, Free ROM, Save State, Load State).
    virtual void EnableMachineCommands() {}
    // A sound register (0xFF10-0xFF3F) was written, after SoundRegs took the
    // value: called from inside an instruction, as the only exception to the
    // rule above. The console that holds the machine's sound unit sees it
    // through the host it puts between the machine and the front end
    // (core/design_console.cpp); the handler must not touch the machine.
    virtual void SoundRegisterWritten(int32_t /*address*/, uint8_t /*value*/) {}
};

// Booleans use bool here; the flag bytes and IME hold exactly 0 or 1 because
// the instruction rules compare some flags with 1 and add others up.
struct Machine {
    // CPU registers. F does not exist: it is composed from the four flag bytes.
    // Each pair lies low byte first (C before B, E before D, L before H), as
    // a little-endian word: the instruction loop then reads and writes BC, DE
    // and HL in one access instead of two bytes put together.
    uint8_t regA = 0, regC = 0, regB = 0, regE = 0, regD = 0, regL = 0, regH = 0;
    uint8_t flagZ = 0, flagN = 0, flagH = 0, flagC = 0;
    // Program counter and stack pointer are deliberately wider than 16 bits:
    // JR and PUSH/POP do not reduce them, the scheduler reduces regSP once per
    // scanline, and addresses above 0xFFFF reach the bus as they are (and read
    // as 0 there). All arithmetic on them wraps at 32 bits, never overflows.
    int32_t regPC = 0;
    int32_t regSP = 0;
    uint8_t IME = 0;
    uint8_t CurrentOpcode = 0;    // last opcode fetched (the debugger shows it)
    uint8_t CurrentCBOpcode = 0;  // second byte of the last CB instruction

    // I/O registers kept as fields; the bus maps each at its address.
    uint8_t P1 = 0;             // composed only when the game writes 0xFF00
    uint8_t DIV = 0;            // counts down once per scanline; any write clears it
    uint8_t TIMA = 0, TMA = 0;  // stored only: there is no timer
    uint8_t IF = 0;
    uint8_t LCDC = 0;
    uint8_t STAT = 0;  // only the mode bits are maintained
    uint8_t SCY = 0, SCX = 0;
    uint8_t LY = 0;  // any write clears it
    uint8_t LYC = 0;
    uint8_t DMA = 0;  // last value written; the copy happens on the write
    uint8_t BGP = 0, OBP0 = 0, OBP1 = 0;
    uint8_t IE = 0;

    // Memory regions.
    std::array<uint8_t, 0x8000> RomWindow{};  // bank 0 + copy of bank RomBank
    std::array<uint8_t, 0x2000> VideoRam{};
    // Slot 0 is work RAM (and cartridge RAM bank 0); slot n is cartridge RAM
    // bank n. Only slots 0-3 are ever addressed; all 16 are cleared and saved.
    std::array<std::array<uint8_t, 0x2000>, 16> RamBanks{};
    std::array<uint8_t, 160> Oam{};
    std::array<uint8_t, 48> SoundRegs{};  // 0xFF10-0xFF3F, stored only
    std::array<uint8_t, 192> HighRam{};   // 0xFF4C-0xFFFE
    std::array<uint8_t, 256> KeyState{};  // held host keys by Game Boy key code

    // The cartridge file, whole; replaced by every successful load.
    std::vector<uint8_t> RomImage;

    // Cartridge and banking.
    uint8_t CartType = 0;             // header byte 0x147
    uint8_t MbcType = 0;              // 0 = none, 1 = MBC1-style banking
    uint8_t BankMode = 0;             // MBC1: 0 = ROM banking, 1 = RAM banking
    int16_t RamEnabled = 0;           // 1 = enabled; reads accept any non-zero
    uint8_t RomBank = 0;              // bank shown at 0x4000-0x7FFF
    uint8_t RomBankMask = 0;          // (file length / 16384) - 1, as a byte
    uint8_t RamBank = 0;              // RamBanks slot at 0xA000-0xBFFF, 0..3
    std::array<char, 16> RomTitle{};  // header bytes 0x134-0x143, unaltered
    std::string RomName;              // file name without folder and extension

    // Control shared with the front end.
    bool Running = false;                             // the run loop goes on while true
    bool Paused = false;                              // the interpreter waits before its budget while true
    uint8_t FrameCount = 0;                           // a frame is drawn when FrameCount % 3 == 0
    uint8_t DisplayMode = 0;                          // 0 Mode1x1, 1 Mode2x2, 2 Mode2x2Interlaced
    uint8_t JoypadDirections = 0, JoypadButtons = 0;  // low nibble, 1 = held
    uint8_t PrevJoypadDirections = 0, PrevJoypadButtons = 0;
    // The host's choice to see every frame drawn instead of one in kFrameSkip
    // (smoother motion at three times the drawing). Drawing only writes the
    // host's surface, so the machine runs the same either way; not part of a
    // state file, and kept by ResetMachine, Free ROM and Load State.
    bool DrawEveryFrame = false;

    Host* host = nullptr;

    // What the cartridge has used that this machine does differently
    // (core/compat_hooks_internal.h). It only watches: mutable, so that the bus can
    // count the reads that poll a register, and left out of the state file.
    mutable Compat compat;
};

// Puts the machine into the state the boot program leaves behind: registers,
// cleared RAM (cartridge RAM too), post-boot sound registers. Keeps the
// cartridge, ROM window, scroll, DIV, P1, joypad and control fields. Enables
// the machine commands through the host.
void ResetMachine(Machine&);

// 16-bit register pairs for display; F is composed from the flag bytes.
int32_t GetAF(const Machine&);
int32_t GetBC(const Machine&);
int32_t GetDE(const Machine&);
int32_t GetHL(const Machine&);

// F as PUSH AF and the state file store it, and the reverse split.
inline uint8_t ComposeF(const Machine& m) {
    return uint8_t(m.flagZ << 7 | m.flagN << 6 | m.flagH << 5 | m.flagC << 4);
}
inline void SplitF(Machine& m, uint8_t f) {
    m.flagZ = (f >> 7) & 1;
    m.flagN = (f >> 6) & 1;
    m.flagH = (f >> 5) & 1;
    m.flagC = (f >> 4) & 1;
}

}  // namespace wenlo
