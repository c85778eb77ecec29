// Internal to the handheld's CPU (cpu.cpp and the headers beside it): the
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

// The CPU at work: the clock and the program counter in host registers.
// Kept in the record, they would be reloaded after every store the CPU
// makes through a page pointer (a byte store may alias them) and stored
// back after every cycle; here they go back (Save) only where something
// outside the CPU looks: before a bus access or an event, and when the CPU
// stops. A Core lives inside one inlined run of instructions: its address
// never leaves, or the copies would stay in memory after all.
// The code window (bus.h) is the stretch pc ran in last: opcodes and their
// operands come from it without the page table while pc stays inside. It is
// given up at a write that may switch banks or start DMA. The end of DMA
// (an event) needs nothing: during DMA the window is high RAM or none.
struct Core {
    Handheld& h;
    Cpu& c;
    uint64_t now;
    uint32_t pc;  // below 0x10000 (a wider register saves zero-extending it)
    // The code window as the loop tests it, in three registers: pc + neg
    // (pc - lo, wrapping) at most last holds three bytes from pc, and
    // base[pc] is the byte at pc (base is the window's code less lo). With
    // neg kNoWindow no pc is inside.
    const uint8_t* base = nullptr;
    uint32_t neg = kNoWindow, last = 0;
    static constexpr uint32_t kNoWindow = 0xFFFF0000u;
    [[gnu::always_inline]] explicit Core(Handheld& handheld)
        : h(handheld), c(handheld.cpu), now(handheld.now), pc(handheld.cpu.pc) {}
    [[gnu::always_inline]] void Save() {
        h.now = now;
        c.pc = uint16_t(pc);
    }
    // After code outside the Core ran the CPU.
    [[gnu::always_inline]] void Load() {
        now = h.now;
        pc = c.pc;
        neg = kNoWindow;
    }
    // The window CodeWindowAt gave, in that form (none shorter than three
    // bytes: high RAM, the shortest, has 127).
    [[gnu::always_inline]] void Take(const CodeWindow& w) {
        if (w.size < 3) {
            neg = kNoWindow;
            return;
        }
        base = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(w.code) - w.lo);
        neg = uint32_t(0u - w.lo);
        last = w.size - 3;
    }
};

// A machine cycle passes inside an instruction. What falls due meanwhile
// (a mode change, a timer overflow) can be seen only through the bus or by
// the interrupt check after the instruction, so it is served there (Catch)
// and not at every cycle: cartridge ROM and work RAM look the same whenever.
[[gnu::always_inline]] inline void Pass(Core& x) { x.now += kMachineCycle; }
[[gnu::always_inline]] inline void Catch(Handheld& h) {
    if (h.now >= h.nextEvent) ServiceEvents(h);
}

// A machine cycle passes, then the access happens: cartridge ROM and work
// RAM straight from their pages, high RAM beside them, the rest through the
// bus once the clock is written back and the events due are served.
[[gnu::always_inline]] inline uint8_t Read(Core& x, uint16_t a) {
    Pass(x);
    if (const uint8_t* page = x.h.readPages[a >> 8]) return page[a & 0xFF];
    if (a >= 0xFF80 && a != 0xFFFF) return x.h.hram[a - 0xFF80];
    x.h.now = x.now;
    Catch(x.h);
    return BusRead(x.h, a);
}
[[gnu::always_inline]] inline void Write(Core& x, uint16_t a, uint8_t v) {
    Pass(x);
    if (uint8_t* page = x.h.writePages[a >> 8]) {
        page[a & 0xFF] = v;
        return;
    }
    if (a >= 0xFF80 && a != 0xFFFF) {
        x.h.hram[a - 0xFF80] = v;
        return;
    }
    x.h.now = x.now;
    if (a < 0x8000 || a == 0xFF46) x.neg = Core::kNoWindow;  // a bank switch, or DMA taking the bus
    Catch(x.h);
    BusWrite(x.h, a, v);
}
// The byte at pc (and the next two), from the code window when it holds
// them; bytes: 1 to 3.
[[gnu::always_inline]] inline bool InWindow(Core& x, uint32_t bytes) {
    if (x.pc + x.neg <= x.last + (3 - bytes)) return true;
    x.Take(CodeWindowAt(x.h, uint16_t(x.pc)));
    return x.pc + x.neg <= x.last + (3 - bytes);
}
[[gnu::always_inline]] inline uint8_t Fetch(Core& x) {
    if (!InWindow(x, 1)) [[unlikely]] {
        const uint8_t v = Read(x, uint16_t(x.pc));
        x.pc = uint16_t(x.pc + 1);
        return v;
    }
    Pass(x);
    return x.base[x.pc++];
}
[[gnu::always_inline]] inline uint16_t Fetch16(Core& x) {
    if (!InWindow(x, 2)) [[unlikely]] {
        const uint8_t lo = Read(x, uint16_t(x.pc));
        const uint8_t hi = Read(x, uint16_t(x.pc + 1));
        x.pc = uint16_t(x.pc + 2);
        return uint16_t(lo | hi << 8);
    }
    const uint8_t* p = x.base + x.pc;
    x.now += 2 * kMachineCycle;
    x.pc += 2;
    return uint16_t(p[0] | p[1] << 8);
}
// An opcode's operands. windowed: the opcode came from the code window,
// which was checked to hold the two bytes after it as well (no bus access
// comes between an opcode and its operands), so they are read unchecked.
template <bool windowed>
[[gnu::always_inline]] inline uint8_t Operand(Core& x) {
    if constexpr (!windowed) return Fetch(x);
    Pass(x);
    return x.base[x.pc++];
}
template <bool windowed>
[[gnu::always_inline]] inline uint16_t Operand16(Core& x) {
    if constexpr (!windowed) return Fetch16(x);
    const uint8_t* p = x.base + x.pc;
    x.now += 2 * kMachineCycle;
    x.pc += 2;
    return uint16_t(p[0] | p[1] << 8);
}

[[gnu::always_inline]] inline void Push(Core& x, uint16_t v) {
    Write(x, --x.c.sp, uint8_t(v >> 8));
    Write(x, --x.c.sp, uint8_t(v));
}
[[gnu::always_inline]] inline uint16_t Pop(Core& x) {
    const uint8_t lo = Read(x, x.c.sp++);
    return uint16_t(lo | Read(x, x.c.sp++) << 8);
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
[[gnu::always_inline]] inline uint8_t GetR(Core& x, int r) { return r == 6 ? Read(x, HL(x.h)) : Reg(x.h, r); }
[[gnu::always_inline]] inline void SetR(Core& x, int r, uint8_t v) {
    if (r == 6)
        Write(x, HL(x.h), v);
    else
        Reg(x.h, r) = v;
}

}  // namespace wenlo::hh::cpu
