// Internal to the handheld's CPU (cpu.cpp, cpu_cb.cpp) and their tests: the
// timed memory accesses and the flag helpers.
#pragma once

#include <cstdint>

#include "handheld/bus.h"
#include "handheld/handheld.h"
#include "handheld/scheduler.h"

namespace wenlo::hh::cpu {

constexpr uint8_t kZ = 0x80, kN = 0x40, kH = 0x20, kC = 0x10;

// A machine cycle passes, then the access happens.
inline uint8_t Read(Handheld& h, uint16_t a) {
    Tick(h);
    return BusRead(h, a);
}
inline void Write(Handheld& h, uint16_t a, uint8_t v) {
    Tick(h);
    BusWrite(h, a, v);
}
inline uint8_t Fetch(Handheld& h) {
    const uint8_t v = Read(h, h.cpu.pc);
    // The HALT bug: the byte after HALT is read, but pc does not move past it.
    if (h.cpu.haltBug)
        h.cpu.haltBug = false;
    else
        ++h.cpu.pc;
    return v;
}
inline uint16_t Fetch16(Handheld& h) {
    const uint8_t lo = Fetch(h);
    return uint16_t(lo | Fetch(h) << 8);
}
inline void Push(Handheld& h, uint16_t v) {
    Write(h, --h.cpu.sp, uint8_t(v >> 8));
    Write(h, --h.cpu.sp, uint8_t(v));
}
inline uint16_t Pop(Handheld& h) {
    const uint8_t lo = Read(h, h.cpu.sp++);
    return uint16_t(lo | Read(h, h.cpu.sp++) << 8);
}

inline uint8_t Flags(bool z, bool n, bool hc, bool c) {
    return uint8_t((z ? kZ : 0) | (n ? kN : 0) | (hc ? kH : 0) | (c ? kC : 0));
}

// Register operand r of an opcode (0 B, 1 C, 2 D, 3 E, 4 H, 5 L, 7 A; 6 is (HL)).
inline uint8_t& Reg(Handheld& h, int r) {
    Cpu& c = h.cpu;
    switch (r) {
        case 0: return c.b;
        case 1: return c.c;
        case 2: return c.d;
        case 3: return c.e;
        case 4: return c.h;
        case 5: return c.l;
        default: return c.a;
    }
}
inline uint16_t HL(const Handheld& h) { return uint16_t(h.cpu.h << 8 | h.cpu.l); }
inline void SetHL(Handheld& h, uint16_t v) {
    h.cpu.h = uint8_t(v >> 8);
    h.cpu.l = uint8_t(v);
}
// Operand r read and written, (HL) through the bus in its own cycle.
inline uint8_t GetR(Handheld& h, int r) { return r == 6 ? Read(h, HL(h)) : Reg(h, r); }
inline void SetR(Handheld& h, int r, uint8_t v) {
    if (r == 6)
        Write(h, HL(h), v);
    else
        Reg(h, r) = v;
}

}  // namespace wenlo::hh::cpu
