#include "core/scheduler.h"

#include "core/bus.h"
#include "core/compat_hooks_internal.h"
#include "core/cpu.h"
#include "core/io_regs.h"
#include "core/timing.h"
#include "input/joypad_internal.h"
#include "video/background.h"
#include "video/sprites.h"
#include "video/surface.h"

namespace wenlo {

namespace {

[[gnu::always_inline]] inline void DrawLine(Machine& m) {
    switch (m.DisplayMode) {
        case Mode1x1:
            DrawBackgroundLine1x1(m);
            DrawSpriteLine1x1(m);
            break;
        case Mode2x2:
            DrawBackgroundLine2x2(m);
            DrawSpriteLine2x2(m);
            break;
        case Mode2x2Interlaced:
            DrawBackgroundLineInterlaced(m);
            DrawSpriteLineInterlaced(m);
            break;
        default: break;  // an unknown mode draws nothing
    }
}

// LCD-status request: the line just finished equals LYC. Raised whatever the
// STAT select bits say, withdrawn at the next tick if not taken.
void SetCoincidence(Machine& m, bool equal) {
    if (equal)
        m.IF |= io::kIntLcdStat;
    else
        m.IF &= uint8_t(~io::kIntLcdStat);
}

// Takes at most one request. IME is left set, so a request still pending at
// a later tick is taken then, even inside a handler. Bit 4 has the highest
// priority here, bit 0 the lowest.
[[gnu::always_inline]] inline void DispatchInterrupt(Machine& m) {
    const uint8_t pending = m.IE & m.IF & io::kIntMask;
    if (pending == 0) return;
    m.regSP = int32_t(uint32_t(m.regSP) - 2);
    WriteByte(m, m.regSP, uint8_t(m.regPC & 0xFF));
    WriteByte(m, int32_t(uint32_t(m.regSP) + 1), uint8_t((m.regPC >> 8) & 0xFF));
    CompatDispatch(m);
    for (int bit = io::kIntHighestBit; bit >= 0; --bit) {
        if (pending & (1 << bit)) {
            m.regPC = io::InterruptVector(bit);
            m.IF &= uint8_t(~(1 << bit));
            return;
        }
    }
}

}  // namespace

namespace {

// The line's bookkeeping, inlined into the run loop's line (once a line it
// is worth more than its call).
[[gnu::always_inline]] inline void TickLine(Machine& m, bool render) {
    const int line = m.LY;
    // Before the event pump below, where a new cartridge may be loaded.
    CompatLineEnd(m, line);
    m.STAT &= uint8_t(~io::kStatModeMask);
    if (line < kVBlankLine) {
        if (render && (m.FrameCount % kFrameSkip == 0 || m.DrawEveryFrame)) DrawLine(m);
        if (m.IME) {
            m.IF &= uint8_t(~io::kIntVBlank);
            SetCoincidence(m, line == m.LYC);
            joypad_detail::Update(m);
        }
        ++m.LY;
    } else if (line == kVBlankLine) {
        m.STAT |= io::kStatModeVBlank;
        if (m.IME) {
            m.IF |= io::kIntVBlank;
            SetCoincidence(m, m.LYC == kVBlankLine);
            joypad_detail::Update(m);
        }
        ++m.FrameCount;
        ++m.LY;
    } else {
        if (m.IME) {
            SetCoincidence(m, line == m.LYC);
            joypad_detail::Update(m);
        }
        ++m.LY;  // a byte: a stray 255 (only a state file can hold one) wraps to 0
        if (render && m.host) {
            m.host->RefreshPicture();
            // FrameCount moved on at the VBlank line: this frame's lines were
            // drawn under the count before it.
            if (line == kLastLine)
                m.host->FrameEnded(m.DrawEveryFrame || uint8_t(m.FrameCount - 1) % kFrameSkip == 0);
            else
                m.host->PumpEvents();
        }
    }
    m.regSP &= 0xFFFF;
    if (m.IME) DispatchInterrupt(m);
}

}  // namespace

void ScanlineTick(Machine& m, bool render) { TickLine(m, render); }

namespace {
[[gnu::always_inline]] inline void Line(Machine& m) {
    Interpret(m, kCyclesPerLine);
    --m.DIV;  // counts down, wrapping from 0 to 255
    if (m.LY > kLastLine) m.LY = 0;
    TickLine(m, true);
}
}  // namespace

void RunScanline(Machine& m) { Line(m); }

void RunScanlines(Machine& m, int lines) {
    for (int i = 0; i < lines; ++i) Line(m);
}

void RunEmulation(Machine& m) {
    while (m.Running) Line(m);
}

}  // namespace wenlo
