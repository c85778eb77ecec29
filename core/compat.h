// The compatibility record: what the running cartridge has done that this
// machine does not do as the handheld would (no timer, no serial port, no
// window layer, HALT as a no-op, ...). Each difference is counted, with the
// frame it was first seen in, so that a player or the cartridge's author can
// tell why a game sits still or shows nothing.
//
// The record lives in Machine::compat and only watches: nothing in it is read
// by the emulation, so the results are the same with it on or off, and it is
// not part of the state file. When it is cleared and what the counts mean:
// see compat_hooks_internal.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wenlo {

// In report order: the likeliest reason for a game that does not work first.
enum class CompatFeature : uint8_t {
    BankWindowEmpty,      // code ran in 0x4000-0x7FFF before the first bank select
    BankWindowRead,       // data read from 0x4000-0x7FFF before the first bank select
    CartType,             // header 0x147 outside 0x00-0x03
    PcUnmapped,           // the program counter ran past 0xFFFF or into unmapped space
    TimerInterrupt,       // IE bit 2 set
    StatPolling,          // STAT polled for a mode that never comes
    JoypadUnseen,         // 0xFF00 read on and on with no write since the keys changed
    SerialInterrupt,      // IE bit 3 set
    StatInterruptSelect,  // STAT bits 3-6 written
    ColourOnly,           // header 0x143 = 0xC0
    StackDropped,         // a write past 0xFFFF: a push with SP at 0 or 1
    NestedInterrupt,      // an interrupt taken inside an unfinished handler
    UndefinedOpcode,      // one of the eleven opcodes without an instruction
    TimerRegisters,       // TIMA, TMA or TAC written
    WindowLayer,          // LCDC bit 5 set
    WindowPosition,       // WY or WX written
    Halt,                 // HALT ran
    Stop,                 // STOP ran
    SerialRegisters,      // SB or SC written
    BatteryRam,           // header 0x147 = 0x03
    SuperSystem,          // header 0x146 = 0x03
    ColourEnhanced,       // header 0x143 = 0x80
    Sound,                // a sound register read back
    Count
};
constexpr size_t kCompatFeatureCount = size_t(CompatFeature::Count);

struct CompatEntry {
    uint64_t count = 0;
    int64_t firstFrame = -1;  // frames completed since the record was cleared; -1: never
};

// The texts of one difference.
struct CompatInfo {
    CompatFeature feature;
    const char* name;         // one word for the report: "timer-interrupt"
    const char* explanation;  // what the cartridge did and what this machine does instead
    const char* player;       // the same for a player: "This cartridge waits for ..."
};

// Cartridge RAM (0xA000-0xBFFF) and 0xF000-0xFFFF; the upper ROM window.
constexpr uint16_t kPcRegionsAlways = 0x0C00 | 0x8000;
constexpr uint16_t kPcRegionsBankWindow = 0x00F0;
// The end of the ROM window the bus reads in place: all of it, or bank 0 only
// while 0x4000-0x7FFF holds no bank of this cartridge.
constexpr uint32_t kRomInPlaceWhole = 0x7FFF;
constexpr uint32_t kRomInPlaceBank0 = 0x3FFF;

// Working state of the rules that need more than one event. Plain counters,
// cleared with the record.
struct CompatWatch {
    // One bit per 4 KiB of the address space where a program counter needs
    // a closer look (compat_hooks_internal.h); the 0x4000-0x7FFF bits are set while
    // that window holds no bank of this cartridge.
    uint16_t pcRegions = kPcRegionsAlways;
    // The highest address the bus's inline read path answers from RomWindow
    // (core/bus_internal.h). Set to kRomInPlaceBank0 with the bank-window bits
    // above, so that data reads of the empty window take the full decode,
    // which counts them; the hot path pays nothing for the watch, its bound
    // is only read from here instead of being a constant (32 bits wide, so
    // that one compare takes it with the address).
    uint32_t romInPlaceEnd = kRomInPlaceWhole;
    bool linePending = false;  // the line now running read STAT or 0xFF00, or a rule waits
    uint32_t statReads = 0;    // STAT reads in the line now running
    uint8_t statStage = 0;     // where the STAT polling rule stands (compat.cpp)
    uint32_t statPollPc = 0;   // regPC and B C D E H L where line 144 ended
    uint64_t statPollRegs = 0;
    uint32_t p1StaleReads = 0;           // reads since the keys changed without a write
    uint8_t p1KeysAtWrite = 0;           // both nibbles as the last 0xFF00 write composed them
    bool p1StaleNoted = false;           // the present stale stretch is counted already
    uint8_t handlerDepth = 0;            // open interrupt handlers in handlerSp
    std::array<int32_t, 8> handlerSp{};  // where each pushed its return address
};

struct Compat {
    // The switch: off, nothing is noted (the emulation runs the same).
    bool enabled = true;
    int64_t frame = 0;  // frames completed since the record was cleared
    std::array<CompatEntry, kCompatFeatureCount> entries{};
    CompatWatch watch;
};

// One occurrence of a difference: counted, and its first frame kept.
inline void Note(Compat& c, CompatFeature f) {
    if (!c.enabled) return;
    CompatEntry& e = c.entries[size_t(f)];
    if (e.count++ == 0) e.firstFrame = c.frame;
}

// RETI: the newest interrupt handler has returned.
inline void CompatInterruptReturn(Compat& c) {
    if (c.watch.handlerDepth > 0) --c.watch.handlerDepth;
}

// Forgets every count and the working state; keeps the switch and what the
// ROM window holds (pcRegions' bank-window bits and romInPlaceEnd).
void ClearCompat(Compat&);

const CompatInfo& CompatInfoOf(CompatFeature);

// The differences used so far, in report order.
std::vector<CompatFeature> CompatUsed(const Compat&);

// One line of the report: "feature count first-frame explanation".
std::string CompatLine(const Compat&, CompatFeature);

// The last line: "compat: <n> differences used: <names>" or
// "compat: nothing this machine does differently was used".
std::string CompatSummary(const Compat&);

// Every report line and the summary, each ending in '\n'.
std::string CompatReportText(const Compat&);

}  // namespace wenlo
