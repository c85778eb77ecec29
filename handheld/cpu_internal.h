// Internal to the handheld's CPU (cpu.cpp, cpu_cb.cpp) and their tests: the
// timed memory accesses and the flag helpers.
#pragma once

#include <cstdint>

#include "handheld/bus.h"
#include "handheld/handheld.h"
#include "handheld/scheduler.h"

namespace wenlo::hh::cpu {

// The accesses and helpers below run several times per instruction: always
// inlined, since the compiler (across files, at link time) would otherwise
// keep some as calls.

constexpr uint8_t kZ = 0x80, kN = 0x40, kH = 0x20, kC = 0x10;

// A machine cycle passes inside an instruction. What falls due meanwhile
// (a mode change, a timer overflow) can be seen only through the bus or by
// the interrupt check after the instruction, so it is served there (Catch)
// and not at every cycle: cartridge ROM and work RAM look the same whenever.
[[gnu::always_inline]] inline void Pass(Handheld& h) { h.now += kMachineCycle; }
[[gnu::always_inline]] inline void Catch(Handheld& h) {
    if (h.now >= h.nextEvent) ServiceEvents(h);
}

// A machine cycle passes, then the access happens: cartridge ROM and work
// RAM straight from their pages, high RAM beside them, the rest through the
// bus once the events due are served.
[[gnu::always_inline]] inline uint8_t Read(Handheld& h, uint16_t a) {
    Pass(h);
    if (const uint8_t* page = h.readPages[a >> 8]) return page[a & 0xFF];
    if (a >= 0xFF80 && a != 0xFFFF) return h.hram[a - 0xFF80];
    Catch(h);
    return BusRead(h, a);
}
[[gnu::always_inline]] inline void Write(Handheld& h, uint16_t a, uint8_t v) {
    Pass(h);
    if (uint8_t* page = h.writePages[a >> 8]) {
        page[a & 0xFF] = v;
        return;
    }
    if (a >= 0xFF80 && a != 0xFFFF) {
        h.hram[a - 0xFF80] = v;
        return;
    }
    Catch(h);
    BusWrite(h, a, v);
}
[[gnu::always_inline]] inline uint8_t Fetch(Handheld& h) { return Read(h, h.cpu.pc++); }
[[gnu::always_inline]] inline uint16_t Fetch16(Handheld& h) {
    const uint8_t lo = Fetch(h);
    return uint16_t(lo | Fetch(h) << 8);
}
[[gnu::always_inline]] inline void Push(Handheld& h, uint16_t v) {
    Write(h, --h.cpu.sp, uint8_t(v >> 8));
    Write(h, --h.cpu.sp, uint8_t(v));
}
[[gnu::always_inline]] inline uint16_t Pop(Handheld& h) {
    const uint8_t lo = Read(h, h.cpu.sp++);
    return uint16_t(lo | Read(h, h.cpu.sp++) << 8);
}

[[gnu::always_inline]] inline uint8_t Flags(bool z, bool n, bool hc, bool c) {
    return uint8_t((z ? kZ : 0) | (n ? kN : 0) | (hc ? kH : 0) | (c ? kC : 0));
}

// Register operand r of an opcode (0 B, 1 C, 2 D, 3 E, 4 H, 5 L, 7 A; 6 is
// (HL), handled by GetR and SetR).
[[gnu::always_inline]] inline uint8_t& Reg(Handheld& h, int r) { return h.cpu.r[size_t(r)]; }
[[gnu::always_inline]] inline uint16_t HL(const Handheld& h) {
    return uint16_t(h.cpu.r[reg::H] << 8 | h.cpu.r[reg::L]);
}
[[gnu::always_inline]] inline void SetHL(Handheld& h, uint16_t v) {
    h.cpu.r[reg::H] = uint8_t(v >> 8);
    h.cpu.r[reg::L] = uint8_t(v);
}
// Operand r read and written, (HL) through the bus in its own cycle.
[[gnu::always_inline]] inline uint8_t GetR(Handheld& h, int r) { return r == 6 ? Read(h, HL(h)) : Reg(h, r); }
[[gnu::always_inline]] inline void SetR(Handheld& h, int r, uint8_t v) {
    if (r == 6)
        Write(h, HL(h), v);
    else
        Reg(h, r) = v;
}

}  // namespace wenlo::hh::cpu
