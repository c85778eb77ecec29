// Stand-in picture unit: line timing and VBlank only (replaced by the full unit).
#include "handheld/ppu.h"

#include "handheld/cpu.h"
#include "handheld/scheduler.h"

namespace wenlo::hh {

void PpuReset(Handheld& h) {
    h.ppu = Ppu{};
    h.ppu.lineStart = h.now;
    h.ppu.mode = 2;
    Schedule(h, kEventPpu, h.now + kLineCycles);
}
void PpuCatchUp(Handheld&) {}
void PpuEvent(Handheld& h) {
    Ppu& p = h.ppu;
    p.lineStart += kLineCycles;
    p.ly = uint8_t((p.ly + 1) % 154);
    if (p.ly == 144) {
        p.frameReady = true;
        RequestInterrupt(h, kIntVBlank);
    }
    Schedule(h, kEventPpu, p.lineStart + kLineCycles);
}
uint8_t PpuRead(Handheld& h, uint16_t a) {
    const Ppu& p = h.ppu;
    switch (a) {
        case 0xFF40: return p.lcdc;
        case 0xFF41: return uint8_t(0x80 | (p.stat & 0x78) | (p.ly >= 144 ? 1 : 0));
        case 0xFF42: return p.scy;
        case 0xFF43: return p.scx;
        case 0xFF44: return p.ly;
        case 0xFF45: return p.lyc;
        case 0xFF47: return p.bgp;
        case 0xFF48: return p.obp0;
        case 0xFF49: return p.obp1;
        case 0xFF4A: return p.wy;
        default: return p.wx;
    }
}
void PpuWrite(Handheld& h, uint16_t a, uint8_t v) {
    Ppu& p = h.ppu;
    switch (a) {
        case 0xFF40: p.lcdc = v; break;
        case 0xFF41: p.stat = v; break;
        case 0xFF42: p.scy = v; break;
        case 0xFF43: p.scx = v; break;
        case 0xFF45: p.lyc = v; break;
        case 0xFF47: p.bgp = v; break;
        case 0xFF48: p.obp0 = v; break;
        case 0xFF49: p.obp1 = v; break;
        case 0xFF4A: p.wy = v; break;
        case 0xFF4B: p.wx = v; break;
        default: break;
    }
}
bool PpuVramOpen(Handheld&) { return true; }
bool PpuOamOpen(Handheld&) { return true; }
void PpuPresent(Handheld&) {}

}  // namespace wenlo::hh
