#include "handheld/cpu.h"

#include "core/debugger.h"
#include "handheld/cpu_internal.h"
#include "handheld/cpu_table_internal.h"

namespace wenlo::hh {

using namespace cpu;

namespace {

// Takes the highest-priority pending interrupt: two idle cycles, the push of
// pc (the vector is chosen only after its high byte went out, so a push that
// overwrites IE can cancel the interrupt: pc then becomes 0), the jump.
[[gnu::always_inline]] inline void Dispatch(Core& x) {
    Handheld& h = x.h;
    Cpu& c = x.c;
    c.ime = false;
    // EI, then HALT with an interrupt pending: the HALT bug's failed
    // increment falls on the return address, which points at the HALT
    // itself, so the handler returns to it and it waits again.
    if (c.haltBug) {
        c.haltBug = false;
        x.pc = uint16_t(x.pc - 1);
    }
    Pass(x);
    Pass(x);
    Write(x, --c.sp, uint8_t(x.pc >> 8));
    const uint8_t pending = h.IE & h.IF & 0x1F;
    Write(x, --c.sp, uint8_t(x.pc));
    Pass(x);
    if (!pending) {
        x.pc = 0;
        return;
    }
    const int bit = __builtin_ctz(pending);
    h.IF &= uint8_t(~(1u << bit));
    x.pc = uint16_t(0x40 + 8 * bit);
}

// Lets time pass without the CPU: to the next event, at least one cycle.
void Idle(Handheld& h) {
    const uint64_t target = h.nextEvent == kNever ? h.now + kMachineCycle : h.nextEvent;
    if (target > h.now + kMachineCycle) h.now = (target - 1) & ~(kMachineCycle - 1);
    Tick(h);
}

// The table once more, out of line, for the steps outside the plain loop
// (one inlined copy is enough).
[[gnu::noinline]] void ExecuteOutOfLine(Core& x, uint8_t op) { ExecuteOpcode<false>(x, op); }

[[gnu::noinline]] void StepOutsideWindow(Handheld& h) {
    Core x(h);
    ExecuteOutOfLine(x, Fetch(x));
    x.Save();
}

// What happens between instructions, out of the common path: HALT, STOP,
// a locked CPU, the HALT bug's repeated byte, EI's delay.
void SpecialStep(Handheld& h) {
    Cpu& c = h.cpu;
    const bool pending = (h.IE & h.IF & 0x1F) != 0;
    if (c.locked || c.stopped) {
        Idle(h);  // a key press ends STOP (handheld/joypad.cpp)
    } else if (c.halted) {
        if (pending) {
            c.halted = false;
            Tick(h);  // waking takes a cycle of its own
        } else {
            Idle(h);
        }
    } else {
        Core x(h);
        if (pending && c.ime) {
            Dispatch(x);
        } else if (c.haltBug) {
            // The byte after HALT is read, but pc does not move past it.
            c.haltBug = false;
            ExecuteOutOfLine(x, Read(x, uint16_t(x.pc)));
        } else {
            // EI enables interrupts after the instruction that follows it.
            const bool enable = c.imePending;
            ExecuteOutOfLine(x, Fetch(x));
            if (enable && c.imePending) c.ime = true, c.imePending = false;
        }
        x.Save();
    }
    Catch(h);
    UpdateSpecial(h);
}

// Instructions while nothing needs the CPU to look (Handheld::runUntil):
// only the clock against one bound between them.
[[gnu::always_inline]] inline void RunPlain(Handheld& h) {
    Core x(h);
    do {
        if (InWindow(x, 3)) [[likely]] {
            Pass(x);
            ExecuteOpcode<true>(x, x.base[x.pc++]);
        } else {
            // Code outside any window (video or cartridge RAM, the last two
            // bytes of a bank, during DMA): the instruction out of line.
            x.Save();
            StepOutsideWindow(h);
            x.Load();
        }
    } while (x.now < h.runUntil);
    x.Save();
    Catch(h);
}

}  // namespace

uint32_t CpuStep(Handheld& h) {
    const uint64_t start = h.now;
    if (h.cpu.special) {
        SpecialStep(h);
    } else {
        Core x(h);
        ExecuteOutOfLine(x, Fetch(x));
        x.Save();
        Catch(h);
    }
    return uint32_t(h.now - start);
}

void CpuRun(Handheld& h, uint64_t limit) {
    h.stopAt = h.ppu.frameReady ? 0 : limit;
    while (h.now < h.stopAt) {
        if (h.cpu.special) {
            SpecialStep(h);
            continue;
        }
        h.runUntil = h.nextEvent < h.stopAt ? h.nextEvent : h.stopAt;
        RunPlain(h);
    }
}

std::string CpuRegisterDump(const Handheld& h, bool withCB) {
    const Cpu& c = h.cpu;
    std::string line4 = "Opcode=$" + Hex(c.opcode);
    if (withCB && c.opcode == 0xCB) line4 += " $" + Hex(c.cbOpcode);
    line4 += " LY=" + std::to_string(h.ppu.ly);
    return "AF=$" + Hex(c.r[reg::A] << 8 | c.r[reg::F]) + " BC=$" + Hex(c.r[reg::B] << 8 | c.r[reg::C]) +
           "\r\n" +  //
           "DE=$" + Hex(c.r[reg::D] << 8 | c.r[reg::E]) + " HL=$" + Hex(c.r[reg::H] << 8 | c.r[reg::L]) +
           "\r\n" +                                                                     //
           "PC=$" + Hex(c.pc) + " SP=$" + Hex(c.sp) + "\r\n" +                          //
           line4 + "\r\n" +                                                             //
           "LCDC=$" + Hex(h.ppu.lcdc) + " LYC=" + std::to_string(h.ppu.lyc) + "\r\n" +  //
           "IFF=$" + Hex(h.IF);
}

}  // namespace wenlo::hh
