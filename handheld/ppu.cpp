// The picture unit's clock: lines, modes, LY, STAT and its interrupt line,
// the LCD switched off and on, and the access rules. The line's pixels are
// drawn by handheld/ppu_render.cpp at the end of its mode 3.
//
// The scheduler sees one event a line: its start (on a visible line mode 2,
// the OAM search, the length of mode 3 worked out). The turns to mode 3 and
// to mode 0 (where the line is drawn) are taken when the CPU looks (a
// register, video RAM, OAM) or when the next line starts, whichever comes
// first: nothing the CPU can see or change happens in between. Only with the
// HBlank interrupt selected does mode 0 get an event of its own.
#include "handheld/ppu.h"

#include <algorithm>

#include "handheld/ppu_render.h"
#include "handheld/scheduler.h"
#include "video/surface.h"

namespace wenlo::hh {

namespace {

// Ppu::phase: what the step at Ppu::nextAt does.
enum Phase : uint8_t {
    kPhaseLineStart,  // the next line begins
    kPhaseLy0,        // LY turns 0 early in line 153
    kPhaseLcdOff,     // a frame's time passed with the LCD off
};

constexpr uint64_t kMode2Dots = 80;
constexpr uint64_t kMode3Dots = 172;
constexpr int kVisibleLines = 144;
constexpr int kLastLine = 153;
// LY shows 153 for one machine cycle of its line before it reads 0.
constexpr uint64_t kLine153Ly = 4;

constexpr uint8_t kLcdOn = 0x80, kWindowOn = 0x20, kSpritesOn = 0x02, kBackgroundOn = 0x01;
constexpr uint8_t kStatSelects = 0x78, kStatLyc = 0x40, kStatCoincidence = 0x04;
constexpr uint8_t kIntVBlank = 0x01, kIntStat = 0x02;

bool LcdOn(const Ppu& p) { return p.lcdc & kLcdOn; }

// The OR of the enabled sources: the mode's select bit (none for mode 3, nor
// for the turn-on line's mode 0) and LY=LYC.
bool StatSources(const Ppu& p) {
    static constexpr uint8_t kModeSelect[4] = {0x08, 0x10, 0x20, 0x00};
    const bool modeSource = (p.stat & kModeSelect[p.mode]) && !(p.firstLine && p.mode == 0);
    return modeSource || ((p.stat & kStatLyc) && (p.stat & kStatCoincidence));
}

// STAT composed afresh from mode and LY=LYC, and the interrupt line moved:
// only its rising edge requests the interrupt, so a source that comes while
// another holds the line high goes unnoticed, as on the hardware.
void UpdateStat(Handheld& h) {
    Ppu& p = h.ppu;
    const uint8_t coincidence = p.ly == p.lyc ? kStatCoincidence : 0;
    p.stat = uint8_t(0x80 | (p.stat & kStatSelects) | coincidence | p.mode);
    const bool line = StatSources(p);
    if (line && !p.statLine) RequestInterrupt(h, kIntStat);
    p.statLine = line;
}

void EnterMode3(Handheld& h) {
    Ppu& p = h.ppu;
    p.mode = 3;
    p.mode3At = kNever;
    p.firstLine = false;
    UpdateStat(h);
}

// The time the scheduler must wake the unit: the next line, or this line's
// mode 0 when the HBlank interrupt is selected.
uint64_t NextEvent(const Ppu& p) { return (p.stat & 0x08) && p.mode0At < p.nextAt ? p.mode0At : p.nextAt; }

// Whether the window shows on the current line with the registers as they
// are: enabled (with the background, which on this model gates it), WY met
// this frame, and WX not beyond the right edge.
bool WindowShows(Ppu& p) {
    if (p.ly == p.wy) p.windowSeen = true;
    return (p.lcdc & (kWindowOn | kBackgroundOn)) == (kWindowOn | kBackgroundOn) && p.windowSeen &&
           p.wx <= 166;
}

void EnterMode0(Handheld& h) {
    Ppu& p = h.ppu;
    const bool window = WindowShows(p);
    PpuDrawLine(h, window);
    if (window) ++p.windowLine;
    p.mode = 0;
    p.mode0At = kNever;
    UpdateStat(h);
}

// Line p.line + 1 (0 after 153) begins at time t.
void StartLine(Handheld& h, uint64_t t) {
    Ppu& p = h.ppu;
    p.line = p.line == kLastLine ? 0 : uint8_t(p.line + 1);
    p.lineStart = t;
    p.ly = p.line;
    if (p.line == 0) {
        p.windowLine = 0;
        p.windowSeen = false;
    }
    if (p.line < kVisibleLines) {
        p.mode = p.firstLine ? 0 : 2;
        // Mode 3 grows by the fine scroll, the window's restart and the
        // sprite fetches (handheld/ppu_render.h).
        const int window = WindowShows(p) ? 6 : 0;
        p.mode3Length = uint16_t(kMode3Dots + (p.scx & 7) + window + PpuSelectSprites(h));
        p.mode3At = t + kMode2Dots;
        p.mode0At = p.mode3At + p.mode3Length;
        p.phase = kPhaseLineStart;
        p.nextAt = t + kLineCycles;
    } else {
        if (p.line == kVisibleLines) {
            p.mode = 1;
            RequestInterrupt(h, kIntVBlank);
            p.frameReady = true;
            p.skipFrame = false;
        }
        p.phase = p.line == kLastLine ? kPhaseLy0 : kPhaseLineStart;
        p.nextAt = t + (p.line == kLastLine ? kLine153Ly : kLineCycles);
    }
    UpdateStat(h);
}

void Step(Handheld& h) {
    Ppu& p = h.ppu;
    const uint64_t t = p.nextAt;
    switch (p.phase) {
        case kPhaseLineStart: StartLine(h, t); break;
        case kPhaseLy0:
            p.ly = 0;
            p.phase = kPhaseLineStart;
            p.nextAt = p.lineStart + kLineCycles;
            UpdateStat(h);
            break;
        default:
            p.frameReady = true;
            p.nextAt = t + kFrameCycles;
            break;
    }
}

// Everything due by now, in time order: a line's mode 3 comes before its
// mode 0, and both before the next line.
void Advance(Handheld& h) {
    Ppu& p = h.ppu;
    for (;;) {
        if (p.mode3At <= h.now) EnterMode3(h);
        if (p.mode0At <= h.now) EnterMode0(h);
        if (p.nextAt > h.now) break;
        Step(h);
    }
    Schedule(h, kEventPpu, NextEvent(p));
}

void TurnOff(Handheld& h) {
    Ppu& p = h.ppu;
    p.ly = 0;
    p.line = 0;
    p.mode = 0;
    p.mode3At = p.mode0At = kNever;
    p.firstLine = false;
    p.statLine = false;
    p.stat = uint8_t(p.stat & ~3);
    p.phase = kPhaseLcdOff;
    p.nextAt = h.now + kFrameCycles;
    Schedule(h, kEventPpu, p.nextAt);
}

// Line 0 starts afresh; its mode 2 reads 0 and raises no interrupt, and the
// frame it begins is not shown.
void TurnOn(Handheld& h) {
    Ppu& p = h.ppu;
    p.line = kLastLine;
    p.firstLine = true;
    p.skipFrame = true;
    StartLine(h, h.now);
    Schedule(h, kEventPpu, NextEvent(p));
}

}  // namespace

void PpuReset(Handheld& h) {
    h.ppu = Ppu{};
    Ppu& p = h.ppu;
    // The boot program leaves the end of line 153 (LY 0, mode 1, LY=LYC):
    // line 0 begins now.
    p.line = kLastLine;
    p.ly = 0;
    p.mode = 1;
    p.stat = 0x85;
    p.phase = kPhaseLineStart;
    p.lineStart = h.now >= kLineCycles ? h.now - kLineCycles : 0;
    p.nextAt = h.now;
    Schedule(h, kEventPpu, p.nextAt);
}

void PpuCatchUp(Handheld& h) {
    const Ppu& p = h.ppu;
    if (std::min({p.mode3At, p.mode0At, p.nextAt}) <= h.now) Advance(h);
}

void PpuEvent(Handheld& h) { Advance(h); }

uint8_t PpuRead(Handheld& h, uint16_t address) {
    PpuCatchUp(h);
    const Ppu& p = h.ppu;
    switch (address) {
        case 0xFF40: return p.lcdc;
        case 0xFF41: return p.stat;
        case 0xFF42: return p.scy;
        case 0xFF43: return p.scx;
        case 0xFF44: return p.ly;
        case 0xFF45: return p.lyc;
        case 0xFF47: return p.bgp;
        case 0xFF48: return p.obp0;
        case 0xFF49: return p.obp1;
        case 0xFF4A: return p.wy;
        case 0xFF4B: return p.wx;
        default: return 0xFF;
    }
}

void PpuWrite(Handheld& h, uint16_t address, uint8_t value) {
    PpuCatchUp(h);
    Ppu& p = h.ppu;
    switch (address) {
        case 0xFF40: {
            const bool was = LcdOn(p);
            p.lcdc = value;
            if (was && !LcdOn(p)) TurnOff(h);
            if (!was && LcdOn(p)) TurnOn(h);
            break;
        }
        case 0xFF41: {
            p.stat = uint8_t((p.stat & ~kStatSelects) | (value & kStatSelects));
            if (!LcdOn(p)) break;
            // On this model the write holds every select bit for one cycle:
            // in mode 0 or 1, or with LY=LYC, the line rises whatever was
            // written.
            const bool glitch = (p.mode == 0 && !p.firstLine) || p.mode == 1 || (p.stat & kStatCoincidence);
            const bool line = StatSources(p);
            if ((glitch || line) && !p.statLine) RequestInterrupt(h, kIntStat);
            p.statLine = line;
            Schedule(h, kEventPpu, NextEvent(p));  // the HBlank select may have changed
            break;
        }
        case 0xFF42: p.scy = value; break;
        case 0xFF43: p.scx = value; break;
        case 0xFF44: break;  // LY cannot be written
        case 0xFF45:
            p.lyc = value;
            if (LcdOn(p)) UpdateStat(h);
            break;
        case 0xFF47: p.bgp = value; break;
        case 0xFF48: p.obp0 = value; break;
        case 0xFF49: p.obp1 = value; break;
        case 0xFF4A: p.wy = value; break;
        case 0xFF4B: p.wx = value; break;
        default: break;
    }
}

// The turn to mode 3 changes nothing the CPU can see but the mode (it
// cannot raise the interrupt: mode 3 has no source of its own, and LY=LYC
// holds as it did), so an access that finds it due but nothing later
// answers from the times and leaves the turn to whoever looks next.
bool PpuVramOpen(Handheld& h) {
    const Ppu& p = h.ppu;
    if (h.now < p.mode0At && h.now < p.nextAt) return h.now < p.mode3At && p.mode != 3;
    PpuCatchUp(h);
    return p.mode != 3;
}

bool PpuOamOpen(Handheld& h) {
    const Ppu& p = h.ppu;
    if (h.now < p.mode0At && h.now < p.nextAt) return h.now < p.mode3At && p.mode < 2;
    PpuCatchUp(h);
    return p.mode < 2;
}

void PpuPresent(Handheld& h) {
    // With the LCD on the lines went straight to the surface as they were
    // drawn; switched off, the screen shows white.
    if (!LcdOn(h.ppu)) PpuFillWhite(h);
}

}  // namespace wenlo::hh
