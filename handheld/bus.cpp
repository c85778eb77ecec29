#include "handheld/bus.h"

#include "handheld/joypad.h"
#include "handheld/mbc.h"
#include "handheld/ppu.h"
#include "handheld/scheduler.h"
#include "handheld/serial.h"
#include "handheld/timer.h"

namespace wenlo::hh {

namespace {

constexpr uint16_t kP1 = 0xFF00, kIF = 0xFF0F, kDma = 0xFF46, kIE = 0xFFFF;
constexpr uint16_t kDmaCycles = 160 * kMachineCycle;

bool DmaActive(const Handheld& h) { return h.dma.done < 160 && h.now >= h.dma.start; }

uint8_t ReadIo(Handheld& h, uint16_t a) {
    if (a >= 0xFF80 && a < kIE) return h.hram[a - 0xFF80];  // code and stack: first
    if (a == kP1) return JoypadRead(h);
    if (a <= 0xFF02) return SerialRead(h, a);
    if (a >= 0xFF04 && a <= 0xFF07) return TimerRead(h, a);
    if (a == kIF) return uint8_t(h.IF | 0xE0);
    if (a >= 0xFF10 && a <= 0xFF3F) {
        TimerSoundCatchUp(h);
        return audio::ApuRead(h.apu, a, h.now);
    }
    if (a == kDma) return h.dma.reg;
    if (a >= 0xFF40 && a <= 0xFF4B) return PpuRead(h, a);
    if (a >= 0xFF80 && a < kIE) return h.hram[a - 0xFF80];
    if (a == kIE) return h.IE;
    return 0xFF;  // no register: the bus floats high
}

void WriteIo(Handheld& h, uint16_t a, uint8_t v) {
    if (a >= 0xFF80 && a < kIE) {
        h.hram[a - 0xFF80] = v;
        return;
    }
    if (a == kP1) return JoypadWrite(h, v);
    if (a <= 0xFF02) return SerialWrite(h, a, v);
    if (a >= 0xFF04 && a <= 0xFF07) return TimerWrite(h, a, v);
    if (a == kIF) {
        h.IF = v & 0x1F;
        Attend(h);
        return;
    }
    if (a >= 0xFF10 && a <= 0xFF3F) {
        TimerSoundCatchUp(h);
        return audio::ApuWrite(h.apu, a, v, h.now);
    }
    if (a == kDma) {
        // A new transfer (also one started during another) begins after one
        // machine cycle and copies a byte each cycle after that.
        DmaCatchUp(h);
        h.dma.reg = v;
        h.dma.source = uint16_t(v << 8);
        h.dma.start = h.now + kMachineCycle;
        h.dma.done = 0;
        RefreshMemoryMap(h);
        Schedule(h, kEventDma, h.dma.start + kDmaCycles);
        return;
    }
    if (a >= 0xFF40 && a <= 0xFF4B) return PpuWrite(h, a, v);
    if (a >= 0xFF80 && a < kIE) {
        h.hram[a - 0xFF80] = v;
        return;
    }
    if (a == kIE) {
        h.IE = v;
        Attend(h);
    }
}

// What DMA reads from its source: the same map the CPU sees, without the
// access rules (echo RAM above 0xE000 reads work RAM).
uint8_t DmaSourceByte(const Handheld& h, uint16_t a) {
    if (a >= 0xE000) a = uint16_t(a - 0x2000);
    return PeekByte(h, a);
}

}  // namespace

void RefreshMemoryMap(Handheld& h) {
    PpuOamChanged(h);  // after a reset or a state loaded
    h.readPages.fill(nullptr);
    h.writePages.fill(nullptr);
    if (h.dma.done < 160 || h.rom.empty()) return;  // DMA: everything through the bus
    for (int page = 0; page < 0x40; ++page) {
        h.readPages[size_t(page)] = h.rom.data() + h.mbc.rom0 + page * 0x100;
        h.readPages[size_t(page + 0x40)] = h.rom.data() + h.mbc.rom1 + page * 0x100;
    }
    for (int page = 0xC0; page < 0xFE; ++page) {
        uint8_t* p = h.wram.data() + ((page - 0xC0) & 0x1F) * 0x100;
        h.readPages[size_t(page)] = p;
        h.writePages[size_t(page)] = p;
    }
}

CodeWindow CodeWindowAt(const Handheld& h, uint16_t pc) {
    if (pc >= 0xFF80 && pc != 0xFFFF) return {h.hram.data(), 0xFF80, 0x7F};
    const uint8_t* page = h.readPages[pc >> 8];  // null during DMA: everything else through the bus
    if (!page) return {};
    if (pc < 0x8000) {
        const uint32_t lo = pc & 0xC000;
        return {h.rom.data() + (lo ? h.mbc.rom1 : h.mbc.rom0), lo, 0x4000};
    }
    if (pc < 0xE000) return {h.wram.data(), 0xC000, 0x2000};
    return {h.wram.data(), 0xE000, 0x1E00};  // the echo, up to OAM
}

void DmaCatchUp(Handheld& h) {
    Dma& d = h.dma;
    if (d.done >= 160 || h.now < d.start) return;
    const uint64_t due = (h.now - d.start) / kMachineCycle + 1;
    const uint8_t upTo = due >= 160 ? 160 : uint8_t(due);
    if (d.done < upTo) PpuOamChanged(h);
    for (; d.done < upTo; ++d.done) h.oam[d.done] = DmaSourceByte(h, uint16_t(d.source + d.done));
    if (d.done == 160) RefreshMemoryMap(h);
}

uint8_t PeekByte(const Handheld& h, uint16_t a) {
    if (a < 0x8000) return MbcReadRom(h, a);
    if (a < 0xA000) return h.vram[a - 0x8000];
    if (a < 0xC000) {
        return MbcReadRam(h, a);  // RAM as stored, the clock as latched
    }
    if (a < 0xFE00) return h.wram[a & 0x1FFF];
    if (a < 0xFEA0) return h.oam[a - 0xFE00];
    if (a < 0xFF00) return 0x00;
    if (a >= 0xFF80 && a < 0xFFFF) return h.hram[a - 0xFF80];
    if (a == 0xFFFF) return h.IE;
    return 0xFF;
}

uint8_t BusRead(Handheld& h, uint16_t a) {
    // During OAM DMA the CPU reaches only the I/O page and high RAM.
    if (h.dma.done < 160 && a < 0xFF00 && DmaActive(h)) return 0xFF;
    switch (a >> 12) {
        case 0x0:
        case 0x1:
        case 0x2:
        case 0x3: return h.rom[h.mbc.rom0 + a];
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x7: return h.rom[h.mbc.rom1 + (a - 0x4000u)];
        case 0x8:
        case 0x9: return PpuVramOpen(h) ? h.vram[a - 0x8000] : 0xFF;
        case 0xA:
        case 0xB: return MbcReadRam(h, a);
        case 0xC:
        case 0xD:
        case 0xE: return h.wram[a & 0x1FFF];
        default:
            if (a < 0xFE00) return h.wram[a & 0x1FFF];
            if (a < 0xFF00) {
                DmaCatchUp(h);
                if (!PpuOamOpen(h)) return 0xFF;
                return a < 0xFEA0 ? h.oam[a - 0xFE00] : 0x00;  // the unusable area reads 0
            }
            return ReadIo(h, a);
    }
}

void BusWrite(Handheld& h, uint16_t a, uint8_t v) {
    if (h.dma.done < 160 && a < 0xFF00 && DmaActive(h)) return;
    switch (a >> 12) {
        case 0x0:
        case 0x1:
        case 0x2:
        case 0x3:
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x7: MbcWriteRegister(h, a, v); return;
        case 0x8:
        case 0x9:
            if (PpuVramOpen(h)) h.vram[a - 0x8000] = v;
            return;
        case 0xA:
        case 0xB: MbcWriteRam(h, a, v); return;
        case 0xC:
        case 0xD:
        case 0xE: h.wram[a & 0x1FFF] = v; return;
        default:
            if (a < 0xFE00) {
                h.wram[a & 0x1FFF] = v;
                return;
            }
            if (a < 0xFF00) {
                if (a < 0xFEA0 && PpuOamOpen(h)) {
                    h.oam[a - 0xFE00] = v;
                    PpuOamChanged(h);
                }
                return;
            }
            WriteIo(h, a, v);
    }
}

}  // namespace wenlo::hh
