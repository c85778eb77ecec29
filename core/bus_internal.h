// Internal to core/: included only by core/alu_internal.h,
// core/cpu_ops_internal.h and the bus's unit tests.
//
// The bus's inline paths for the instruction loop (the main and CB tables and
// the arithmetic helpers), kept apart from the interface of core/bus.h.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "core/bus.h"
#include "core/io_regs.h"
#include "core/machine.h"

namespace wenlo {

// ---- Inline paths for the instruction loop ----------------------------------
//
// The interpreter makes one or two memory accesses for every instruction it
// runs, nearly all of them into plain memory: the ROM window, work RAM, high
// RAM and video RAM. The functions below answer those regions in place and
// pass every other address to ReadByte / WriteByte, so they always give
// exactly the result of the full decode; only the call is saved. Writes into
// 0x0000-0x7FFF (banking), cartridge RAM, the echo of work RAM, the sprite
// table and the I/O registers always take the full decode. The address is
// unsigned so that the values regPC and regSP can take past 0xFFFF or below 0
// fail every range test and reach the full decode, which ignores them.

namespace bus_detail {

constexpr uint32_t kWorkRamSpan = 0x2000;  // 0xC000-0xDFFF: RamBanks[0]
// High RAM 0xFF4C-0xFFFE; IE at 0xFFFF is a register and stays outside.
constexpr uint32_t kHighRamSpan = uint32_t(io::kHighRamEnd - io::kHighRamStart + 1);
constexpr uint32_t kVideoRamSpan = uint32_t(io::kCartRamStart - io::kVideoRamStart);

// Offsets into the regions; "< span" tests fail for everything below the
// start as well, because the subtraction wraps.
[[gnu::always_inline]] inline uint32_t WorkRamOffset(uint32_t a) { return a - uint32_t(io::kWorkRamStart); }
[[gnu::always_inline]] inline uint32_t HighRamOffset(uint32_t a) { return a - uint32_t(io::kHighRamStart); }
[[gnu::always_inline]] inline uint32_t VideoRamOffset(uint32_t a) { return a - uint32_t(io::kVideoRamStart); }

// Two bytes in a row as a little-endian word: one load or store of 16 bits.
[[gnu::always_inline]] inline uint16_t LoadWord(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = uint16_t(v >> 8 | v << 8);
    return v;
}
[[gnu::always_inline]] inline void StoreWord(uint8_t* p, uint16_t v) {
    if constexpr (std::endian::native == std::endian::big) v = uint16_t(v >> 8 | v << 8);
    std::memcpy(p, &v, sizeof v);
}

}  // namespace bus_detail

// ReadByte's answer: the ROM window first (code and tables), then work RAM,
// high RAM and video RAM. The window is read in place up to romInPlaceEnd:
// while its upper half holds no bank of the cartridge yet, reads there go to
// ReadByte, which tells the compatibility record.
[[gnu::always_inline]] inline uint8_t ReadByteFast(const Machine& m, uint32_t a) {
    using namespace bus_detail;
    const uint32_t romEnd = m.compat.watch.romInPlaceEnd;
    // Never past the window: with that known, the compiler may test the
    // regions in any order, as it did when the bound was a constant.
    if (romEnd > uint32_t(io::kRomEnd)) __builtin_unreachable();
    if (a <= romEnd) return m.RomWindow[a];
    if (WorkRamOffset(a) < kWorkRamSpan) [[likely]]
        return m.RamBanks[0][WorkRamOffset(a)];
    if (HighRamOffset(a) < kHighRamSpan) return m.HighRam[HighRamOffset(a)];
    if (VideoRamOffset(a) < kVideoRamSpan) return m.VideoRam[VideoRamOffset(a)];
    return ReadByte(m, int32_t(a));
}

// WriteByte's effect: work RAM, video RAM (maps and tiles are written through
// HL and DE all the time) and high RAM in place.
[[gnu::always_inline]] inline void WriteByteFast(Machine& m, uint32_t a, uint8_t value) {
    using namespace bus_detail;
    if (WorkRamOffset(a) < kWorkRamSpan) [[likely]]
        m.RamBanks[0][WorkRamOffset(a)] = value;
    else if (VideoRamOffset(a) < kVideoRamSpan)
        m.VideoRam[VideoRamOffset(a)] = value;
    else if (HighRamOffset(a) < kHighRamSpan)
        m.HighRam[HighRamOffset(a)] = value;
    else
        WriteByte(m, int32_t(a), value);
}

// The little-endian pair at a and a + 1, as two ReadByte calls would give it.
// Ordered for the stack: high RAM, then work RAM, when both bytes lie there.
[[gnu::always_inline]] inline uint16_t ReadWordFast(const Machine& m, uint32_t a) {
    using namespace bus_detail;
    if (HighRamOffset(a) < kHighRamSpan - 1) [[likely]]
        return LoadWord(&m.HighRam[HighRamOffset(a)]);
    if (WorkRamOffset(a) < kWorkRamSpan - 1) return LoadWord(&m.RamBanks[0][WorkRamOffset(a)]);
    return uint16_t(ReadByteFast(m, a) | ReadByteFast(m, a + 1) << 8);
}

// Low byte to a, then high byte to a + 1, as two WriteByte calls would do.
[[gnu::always_inline]] inline void WriteWordFast(Machine& m, uint32_t a, uint16_t value) {
    using namespace bus_detail;
    if (HighRamOffset(a) < kHighRamSpan - 1) [[likely]] {
        StoreWord(&m.HighRam[HighRamOffset(a)], value);
    } else if (WorkRamOffset(a) < kWorkRamSpan - 1) {
        StoreWord(&m.RamBanks[0][WorkRamOffset(a)], value);
    } else {
        WriteByteFast(m, a, uint8_t(value));
        WriteByteFast(m, a + 1, uint8_t(value >> 8));
    }
}

}  // namespace wenlo
