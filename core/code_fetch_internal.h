// Internal to core/: included only by core/cpu_ops_internal.h (and so by
// core/cpu.cpp).
//
// Where the interpreter reads its code: the opcode and operand fetches of the
// instruction loop, for a plain address and for a window onto the region the
// code runs from.
#pragma once

#include <cstdint>

#include "core/bus_internal.h"
#include "core/io_regs.h"
#include "core/machine.h"

namespace wenlo::code_fetch {

// ---- Code bytes ----------------------------------------------------------------
//
// Opcodes and their operands come from the ROM window nearly always, and
// otherwise from work RAM (programs that copy themselves there) or high RAM
// (the routines games keep there); those three are read in place, anything
// else takes the full decode (ReadByte). The regions are read as they are at
// that moment, so code that writes over itself, a bank switch or a sprite
// copy under running code shows at once, exactly as through ReadByte. `pc` is
// held in 64 bits so that it indexes the window directly; only its low 32
// bits are the program counter. They are all that reaches the bus and regPC,
// and a value above 0xFFFFFFFF fails every region test and is reduced by the
// full decode, so the extra bits never show.

// Outside the ROM window: work RAM (not its echo), high RAM up to 0xFFFE,
// else ReadByte.
[[gnu::always_inline]] inline unsigned CodeByteOutsideRom(const Machine& m, uint64_t address) {
    const uint64_t work = address - uint64_t(io::kWorkRamStart);
    if (work < bus_detail::kWorkRamSpan) [[likely]]
        return m.RamBanks[0][work];
    const uint64_t high = address - uint64_t(io::kHighRamStart);
    if (high < bus_detail::kHighRamSpan) return m.HighRam[high];
    return ReadByte(m, int32_t(uint32_t(address)));
}

// The byte comes back widened, so that the dispatch indexes its table with it
// as it is.
[[gnu::always_inline]] inline unsigned CodeByte(const Machine& m, uint64_t address) {
    if (address <= uint64_t(io::kRomEnd)) [[likely]]
        return m.RomWindow[address];
    return CodeByteOutsideRom(m, address);
}

// Little-endian word at an address and the next one; a word that straddles
// the end of a region (0x7FFF, 0xDFFF, 0xFFFE) is read byte by byte.
[[gnu::always_inline]] inline uint16_t CodeWord(const Machine& m, uint64_t address) {
    if (address < uint64_t(io::kRomEnd)) [[likely]]
        return bus_detail::LoadWord(&m.RomWindow[address]);
    const uint64_t work = address - uint64_t(io::kWorkRamStart);
    if (work < bus_detail::kWorkRamSpan - 1) [[likely]]
        return bus_detail::LoadWord(&m.RamBanks[0][work]);
    const uint64_t high = address - uint64_t(io::kHighRamStart);
    if (high < bus_detail::kHighRamSpan - 1) return bus_detail::LoadWord(&m.HighRam[high]);
    return uint16_t(CodeByte(m, address) | CodeByte(m, address + 1) << 8);
}

[[gnu::always_inline]] inline uint8_t Fetch8(const Machine& m, uint64_t& pc) {
    return uint8_t(CodeByte(m, pc++));
}

[[gnu::always_inline]] inline uint16_t Fetch16(const Machine& m, uint64_t& pc) {
    const uint16_t v = CodeWord(m, pc);
    pc += 2;
    return v;
}

// ---- Code windows ----------------------------------------------------------------
//
// The main loop holds the program counter as an offset into one region of
// plain memory, its window, and tests that all the bytes the next
// instructions may have lie inside (once for a pair of them, see
// PairInside, and again only after a jump); the opcode and its operands are
// then read with no further test. The windows are the ROM window, video RAM,
// work RAM, its echo and high RAM: arrays of Machine that always stand for
// the same addresses, read as they are at that moment, so code that writes
// over itself, a bank switch or a sprite copy shows at once and nothing ever
// needs invalidating. Everything else (cartridge RAM, whose mapping a write
// changes, the sprite table, I/O, addresses past 0xFFFF) and the last two
// bytes of each region run one instruction at a time through the checked
// fetch above, with pc as a plain address; the window is chosen again after.
struct WindowPc {
    uint64_t offset;       // pc - low; wraps past 2^64 the way pc would
    const uint8_t* bytes;  // the region: the byte at pc is bytes[offset]
    uint64_t low;          // the address of bytes[0]
    uint64_t limit;        // offsets below it start an instruction wholly inside
    uint64_t pairLimit;    // offsets below it start two instructions in a row wholly inside

    bool Inside() const { return offset < limit; }
    bool PairInside() const { return offset < pairLimit; }
    uint64_t Address() const { return low + offset; }
    WindowPc& operator=(uint64_t address) {
        offset = address - low;
        return *this;
    }
    WindowPc& operator+=(uint64_t delta) {
        offset += delta;
        return *this;
    }
};

// The window of the region holding address, or one that nothing is inside.
inline WindowPc WindowAt(const Machine& m, uint64_t address) {
    const auto window = [address](const uint8_t* bytes, int32_t low, uint32_t size) {
        return WindowPc{address - uint64_t(low), bytes, uint64_t(low), uint64_t(size - 2),
                        uint64_t(size - 5)};
    };
    // Most often entered first: the cartridge, then high RAM, whose routines
    // are called and left again, then work RAM, where code that has moved
    // there tends to stay.
    if (address <= uint64_t(io::kRomEnd)) return window(m.RomWindow.data(), 0, uint32_t(m.RomWindow.size()));
    const uint64_t high = address - uint64_t(io::kHighRamStart);
    if (high < bus_detail::kHighRamSpan)
        return window(m.HighRam.data(), io::kHighRamStart, bus_detail::kHighRamSpan);
    const uint64_t work = address - uint64_t(io::kWorkRamStart);
    if (work < bus_detail::kWorkRamSpan)
        return window(m.RamBanks[0].data(), io::kWorkRamStart, bus_detail::kWorkRamSpan);
    if (address < uint64_t(io::kCartRamStart))
        return window(m.VideoRam.data(), io::kVideoRamStart, bus_detail::kVideoRamSpan);
    const int32_t echoStart = io::kWorkRamStart + int32_t(bus_detail::kWorkRamSpan);
    if (address >= uint64_t(echoStart) && address <= uint64_t(io::kEchoEnd))
        return window(m.RamBanks[0].data(), echoStart, uint32_t(io::kEchoEnd - echoStart + 1));
    return WindowPc{0, m.RomWindow.data(), address, 0, 0};
}

// The fetches inside a window: the opcode's test covers them.
// Stepping first and reading one back lets the compiler keep the offset in
// one register (an indexed load with displacement -1) instead of copying it.
[[gnu::always_inline]] inline uint8_t Fetch8(const Machine&, WindowPc& pc) {
    ++pc.offset;
    return pc.bytes[pc.offset - 1];
}

[[gnu::always_inline]] inline uint16_t Fetch16(const Machine&, WindowPc& pc) {
    const uint16_t v = bus_detail::LoadWord(pc.bytes + pc.offset);
    pc.offset += 2;
    return v;
}

[[gnu::always_inline]] inline uint16_t CodeWord(const Machine&, const WindowPc& pc) {
    return bus_detail::LoadWord(pc.bytes + pc.offset);
}

// The word just stepped over (the operand of JP and CALL), read again.
[[gnu::always_inline]] inline uint16_t WordBehind(const Machine& m, uint64_t pc) {
    return CodeWord(m, pc - 2);
}
[[gnu::always_inline]] inline uint16_t WordBehind(const Machine&, const WindowPc& pc) {
    return bus_detail::LoadWord(pc.bytes + pc.offset - 2);
}

[[gnu::always_inline]] inline uint64_t Address(uint64_t pc) { return pc; }
[[gnu::always_inline]] inline uint64_t Address(const WindowPc& pc) { return pc.Address(); }

}  // namespace wenlo::code_fetch
