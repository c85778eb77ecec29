// The complete handheld: the original monochrome model as the hardware
// behaves, beside the design's simpler machine (core/machine.h). Its own
// record, chosen per cartridge; nothing of Machine is reused where that
// machine's quirks live.
//
// Time is counted in clock cycles of the 4.194304 MHz clock (T-cycles) since
// power-on, in Handheld::now. The CPU moves time on by one machine cycle (4
// clock cycles) per memory access or internal step; the other components
// (timer, picture, serial port, OAM DMA, sound) are not stepped cycle by
// cycle: each keeps the time it was last brought up to and is caught up when
// the CPU touches one of its registers, and each tells the scheduler the
// time of its next event (an interrupt, a mode change), so that Tick costs a
// compare until something is due (handheld/scheduler.h).
//
// A Handheld is large (about 100 KiB plus the cartridge): put it on the heap.
// A copy must call RefreshMemoryMap (handheld/bus.h) before it runs: its
// page pointers still point into the original.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/apu.h"
#include "core/machine.h"
#include "handheld/report.h"

namespace wenlo::hh {

constexpr uint64_t kNever = ~uint64_t(0);

// The scheduler's events, one time each (kNever: not due).
enum Event : uint8_t { kEventPpu, kEventTimer, kEventSerial, kEventDma, kEventCount };

// The 8-bit registers in the order the opcodes number them (0 B .. 5 L, 7 A),
// with F in the place of 6 (which the opcodes use for (HL)): an operand
// register is then r[bits of the opcode].
namespace reg {
enum : uint8_t { B, C, D, E, H, L, F, A };
}

struct Cpu {
    std::array<uint8_t, 8> r{};
    uint16_t sp = 0, pc = 0;
    bool ime = false;
    // EI takes effect after the instruction that follows it.
    bool imePending = false;
    bool halted = false;
    // HALT with IME clear and an interrupt already pending: the next opcode
    // byte is read twice (pc fails to advance once).
    bool haltBug = false;
    bool stopped = false;  // STOP: waits for a key
    bool locked = false;   // an undefined opcode hangs the CPU for good
    uint8_t lockedOpcode = 0;
    uint8_t opcode = 0, cbOpcode = 0;  // the last fetched (the debugger shows them)
    // Any of halted, stopped, locked, haltBug, imePending, or an interrupt
    // due (IME with IE & IF): the step leaves its common path only then.
    bool special = false;
};

// DIV is the upper byte of a 16-bit counter that counts every clock cycle.
// The counter is kept as the time it was last zero, so DIV costs nothing
// until read; TIMA is brought up to date on access and at its overflow.
struct Timer {
    uint64_t counterBase = 0;  // counter(now) = uint16_t(now - counterBase)
    uint64_t last = 0;         // time TIMA was last brought up to
    uint8_t tima = 0, tma = 0, tac = 0;
    // After an overflow TIMA reads 0 for one machine cycle; at reloadAt TMA
    // is loaded and the interrupt requested. kNever: no reload under way.
    uint64_t reloadAt = kNever;
    // The machine cycle in which the reload happened (writes to TIMA are
    // ignored in it, a write to TMA goes through to TIMA too).
    uint64_t reloadedAt = kNever;
};

struct Serial {
    uint8_t sb = 0, sc = 0;
    uint64_t doneAt = kNever;   // internal-clock transfer completes
    std::vector<uint8_t> sent;  // every byte the cartridge sent, in order
};

struct Joypad {
    uint8_t select = 0x30;  // P1 bits 4-5 as written
    uint8_t keys = 0;       // held: bit 0 right .. 3 down, 4 A .. 7 start
    uint8_t lines = 0x0F;   // the input lines as last seen (1 = high)
};

struct Dma {
    uint8_t reg = 0xFF;
    uint16_t source = 0;
    uint64_t start = kNever;  // time of the first byte's copy
    uint8_t done = 160;       // bytes copied so far; 160: idle
};

// Bank controllers (handheld/mbc.h).
enum class MbcKind : uint8_t { None, Mbc1, Mbc2, Mbc3, Mbc5 };

struct Rtc {
    // Seconds, minutes, hours, day low, day high (bit 0 day bit 8, bit 6
    // halt, bit 7 day carry): the running clock and its latched copy.
    std::array<uint8_t, 5> regs{};
    std::array<uint8_t, 5> latched{};
    uint8_t latchWrite = 0xFF;  // the last value written to 0x6000-0x7FFF
    uint64_t cycles = 0;        // clock cycles into the current second
    uint64_t last = 0;          // Handheld::now the clock was last brought up to
    int64_t savedUnixTime = 0;  // host time of the last save (battery footer)
};

struct Mbc {
    MbcKind kind = MbcKind::None;
    uint8_t cartType = 0;   // header byte 0x147
    bool knownType = true;  // false: an unknown type, run as the nearest kind
    bool hasRam = false, hasBattery = false, hasRtc = false;
    bool ramEnabled = false;
    uint16_t romBank = 1;   // MBC1: the low five bits register; others: the bank
    uint8_t upper = 0;      // MBC1: the two-bit register; MBC3/5: RAM bank / clock select
    uint8_t mode = 0;       // MBC1 banking mode
    uint32_t romBanks = 2;  // 16 KiB banks in rom (a power of two)
    uint32_t ramBanks = 0;  // 8 KiB banks in cartRam
    // Offsets into rom of what 0x0000-0x3FFF and 0x4000-0x7FFF show now.
    uint32_t rom0 = 0, rom1 = 0x4000;
    Rtc rtc;
};

// The picture unit's state (handheld/ppu.h). Times are Handheld::now values.
// The unit moves by steps at the times it scheduled (a line's start, LY
// turning 0 in line 153, a frame's time with the LCD off); a line's turns to
// modes 3 and 0 are taken when the CPU looks or the next line begins.
struct Ppu {
    uint8_t lcdc = 0x91, stat = 0x85, scy = 0, scx = 0, ly = 0, lyc = 0;
    uint8_t bgp = 0xFC, obp0 = 0xFF, obp1 = 0xFF, wy = 0, wx = 0;
    uint8_t mode = 1;                    // STAT mode the CPU sees now
    uint8_t line = 153;                  // the line under way, 0-153 (LY reads 0 for most of 153)
    uint8_t phase = 0;                   // what the step at nextAt does (handheld/ppu.cpp)
    uint64_t lineStart = 0;              // time the current line began
    uint64_t nextAt = 0;                 // time of the next step (the scheduler's kEventPpu)
    uint64_t mode3At = kNever;           // this line's mode 3 begins; kNever: begun, or none
    uint64_t mode0At = kNever;           // its mode 0 begins (the line is drawn); kNever: as mode3At
    bool statLine = false;               // the shared LCD-status interrupt line
    bool frameReady = false;             // VBlank began: a picture is complete
    bool skipFrame = false;              // the first frame after the LCD is turned on is not shown
    bool firstLine = false;              // line 0 after turn-on: mode 0 in place of 2, no mode interrupt
    uint8_t windowLine = 0;              // the window's own line counter
    bool windowSeen = false;             // WY matched LY this frame
    uint16_t mode3Length = 172;          // dots of this line's mode 3
    uint8_t spriteCount = 0;             // sprites chosen for this line by the OAM search
    std::array<uint16_t, 10> sprites{};  // they by priority: X << 8 | OAM entry, lowest first
    uint64_t spriteRows = 0;             // bit n: entry n covered the line searched last
    uint8_t spriteFine = 0;              // SCX % 8 then
    uint8_t spriteDots = 0;              // the dots their fetches added to mode 3
};

struct Handheld {
    uint64_t now = 0;        // clock cycles since power-on
    uint64_t nextEvent = 0;  // the earliest of events (Tick services it)
    uint64_t stopAt = 0;     // CpuRun's end: its limit, or 0 once a picture is complete
    // CpuRun's plain loop runs instructions while now < runUntil (at most
    // nextEvent and stopAt): whatever needs the CPU to look (an interrupt
    // requested, EI, the frame completed) lowers it (Attend). Never saved.
    uint64_t runUntil = 0;
    std::array<uint64_t, kEventCount> events{};

    Cpu cpu;
    Timer timer;
    Serial serial;
    Joypad joypad;
    Dma dma;
    Mbc mbc;
    Ppu ppu;
    uint8_t IF = 0xE1, IE = 0;

    std::vector<uint8_t> rom;      // the cartridge, padded to a power of two of banks
    std::vector<uint8_t> cartRam;  // MBC2: 512 half-bytes, one per byte
    std::array<uint8_t, 0x2000> wram{};
    std::array<uint8_t, 0x2000> vram{};
    std::array<uint8_t, 0xA0> oam{};
    std::array<uint8_t, 0x7F> hram{};
    // The sound unit (audio/apu.h), on this record's clock: saved with it,
    // its output side excepted. Its frame sequencer steps at the falling
    // edges of bit 12 of the timer's counter (handheld/timer.h).
    audio::Apu apu;

    // The cartridge.
    std::string romName;  // as RomBaseName gives it: names the state and battery files
    std::array<char, 16> title{};
    // The game wrote cartridge RAM (or the clock) since the battery file was
    // last written; ramWrittenAt: the frame of the last such write.
    bool ramDirty = false;
    uint64_t ramWrittenAt = 0;

    // Control, as on the design's machine.
    bool Running = false;
    bool Paused = false;
    uint64_t frames = 0;  // frames completed since the cartridge started
    uint8_t DisplayMode = 0;
    Host* host = nullptr;

    Report report;  // what the cartridge used that this handheld lacks

    // The CPU's fast path: 256-byte pages it may read (cartridge ROM, work
    // RAM and its echo) or write (work RAM) directly; null: through the bus.
    // Derived from the banking and DMA (RefreshMemoryMap), never saved.
    std::array<const uint8_t*, 256> readPages{};
    std::array<uint8_t*, 256> writePages{};

    // The OAM search's first look: bit (LY + 16) & 255 set where some
    // entry's rows cover line LY, for sprites spriteLinesHeight tall, worked
    // out from OAM when a search finds it stale (height 0: OAM changed, see
    // PpuOamChanged). Never saved.
    std::array<uint64_t, 4> spriteLines{};
    uint8_t spriteLinesHeight = 0;
};

// Whatever writes OAM calls this: the lines sprites cover are worked out
// again at the next OAM search.
inline void PpuOamChanged(Handheld& h) { h.spriteLinesHeight = 0; }

// Cpu::special set, and the CPU's plain loop told to look at it before its
// next instruction.
inline void Attend(Handheld& h) {
    h.cpu.special = true;
    h.runUntil = 0;
}

// Power-on as the boot program leaves the DMG-ABC: registers, I/O, cleared
// RAM (cartridge RAM is kept: the battery's). Keeps the cartridge.
void ResetHandheld(Handheld&);

}  // namespace wenlo::hh
