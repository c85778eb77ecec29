#include "handheld/handheld.h"

#include "handheld/bus.h"
#include "handheld/mbc.h"
#include "handheld/ppu.h"
#include "handheld/scheduler.h"

namespace wenlo::hh {

namespace {

// The 16-bit counter behind DIV when the boot program hands over at 0x0100
// on the DMG-ABC (DIV reads 0xAB).
constexpr uint16_t kPostBootCounter = 0xABCC;

}  // namespace

void ResetHandheld(Handheld& h) {
    h.events.fill(kNever);
    h.nextEvent = kNever;
    Cpu& c = h.cpu;
    c = Cpu{};
    c.r[reg::A] = 0x01, c.r[reg::F] = 0xB0, c.r[reg::B] = 0x00, c.r[reg::C] = 0x13, c.r[reg::D] = 0x00,
    c.r[reg::E] = 0xD8, c.r[reg::H] = 0x01, c.r[reg::L] = 0x4D;
    c.sp = 0xFFFE;
    c.pc = 0x0100;
    h.timer = Timer{};
    h.timer.counterBase = h.now - kPostBootCounter;
    h.timer.last = h.now;
    h.serial.sb = 0;
    h.serial.sc = 0;
    h.serial.doneAt = kNever;
    h.joypad.select = 0x30;
    h.joypad.lines = 0x0F;
    h.dma = Dma{};
    h.IF = 0xE1 & 0x1F;
    h.IE = 0;
    h.cpu.special = true;
    h.wram.fill(0);
    h.vram.fill(0);
    h.oam.fill(0);
    h.hram.fill(0);
    audio::ApuReset(h.apu, h.now, true);  // as the boot program leaves it, output rate kept
    MbcReset(h);
    RefreshMemoryMap(h);
    PpuReset(h);
}

}  // namespace wenlo::hh
