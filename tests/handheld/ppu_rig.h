// The handheld's picture unit driven without a CPU: time moved on a machine
// cycle at a time as the CPU's accesses move it, registers through the
// unit's own read and write, video RAM and OAM filled directly, the picture
// read back from a surface in one display mode.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/machine.h"
#include "handheld/handheld.h"
#include "handheld/ppu.h"
#include "handheld/scheduler.h"
#include "video/surface.h"

namespace wenlo::hh::test {

// A colour the unit never writes: shows the pixels it left alone.
inline constexpr Color kMarker = 0x123456;

// Register addresses.
enum : uint16_t {
    kLcdc = 0xFF40,
    kStat = 0xFF41,
    kScy = 0xFF42,
    kScx = 0xFF43,
    kLy = 0xFF44,
    kLyc = 0xFF45,
    kBgp = 0xFF47,
    kObp0 = 0xFF48,
    kObp1 = 0xFF49,
    kWy = 0xFF4A,
    kWx = 0xFF4B,
};

struct PpuRig {
    std::unique_ptr<Handheld> h = std::make_unique<Handheld>();
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    Host host;
    uint64_t origin = 0;  // the time line 0 of frame 0 began

    explicit PpuRig(uint8_t mode = Mode1x1) {
        host.Screen = surface.get();
        h->host = &host;
        h->DisplayMode = mode;
        surface->Resize(ModeWidth(mode), ModeHeight(mode));
        surface->SetBackColor(kMarker);
        surface->Clear();
        h->events.fill(kNever);
        h->nextEvent = kNever;
        PpuReset(*h);
        Write(kBgp, 0xE4);
        Write(kObp0, 0xE4);
        Write(kObp1, 0x1B);
        h->IF = 0;
    }

    // Clock cycles from line 0 of frame 0 to dot `dot` of a line.
    static uint64_t At(int line, int dot = 0, int frame = 0) {
        return uint64_t(frame) * kFrameCycles + uint64_t(line) * kLineCycles + uint64_t(dot);
    }
    // Machine cycles pass until origin + t (rounded up to a machine cycle).
    void RunTo(uint64_t t) {
        while (h->now < origin + t) Tick(*h);
    }
    uint8_t Read(uint16_t address) { return PpuRead(*h, address); }
    void Write(uint16_t address, uint8_t value) { PpuWrite(*h, address, value); }
    // The LCD turned on at now: line 0 of frame 0 begins again.
    void TurnOn(uint8_t lcdc) {
        origin = h->now;
        Write(kLcdc, lcdc);
    }

    // STAT interrupt requests among the events in [from, to) (times from
    // origin, both line starts).
    int CountStat(uint64_t from, uint64_t to) {
        RunTo(from - kMachineCycle);
        h->IF = 0;
        int count = 0;
        while (h->now + kMachineCycle < origin + to) {
            Tick(*h);
            if (h->IF & 2) ++count;
            h->IF = 0;
        }
        return count;
    }

    // A CPU write to OAM mid-frame, as the bus makes it: dropped while the
    // unit holds OAM.
    void OamWrite(int index, uint8_t value) {
        if (!PpuOamOpen(*h)) return;
        h->oam[index] = value;
        PpuOamChanged(*h);
    }

    // Tile data numbered from 0x8000.
    void TileRow(int tile, int row, uint8_t low, uint8_t high) {
        h->vram[16 * tile + 2 * row] = low;
        h->vram[16 * tile + 2 * row + 1] = high;
    }
    void SolidTile(int tile, int colour) {
        for (int row = 0; row < 8; ++row)
            TileRow(tile, row, colour & 1 ? 0xFF : 0x00, colour & 2 ? 0xFF : 0x00);
    }
    // Every entry of a tile map (0x9800 or 0x9C00) the same tile.
    void FillMap(uint16_t base, uint8_t tile) {
        for (int i = 0; i < 0x400; ++i) h->vram[base - 0x8000 + i] = tile;
    }
    void Sprite(int entry, uint8_t y, uint8_t x, uint8_t tile, uint8_t attr = 0) {
        h->oam[4 * entry] = y;
        h->oam[4 * entry + 1] = x;
        h->oam[4 * entry + 2] = tile;
        h->oam[4 * entry + 3] = attr;
        PpuOamChanged(*h);
    }

    // The shade (0-3) surface pixel (x, y) shows; -1 for anything else.
    int ShadeAt(int x, int y) const {
        const Color c = surface->GetPixel(x, y);
        for (int s = 0; s < 4; ++s)
            if (ShadeColors[s] == c) return s;
        return -1;
    }
    // Shade of Game Boy pixel (x, y) in the rig's display mode (its block's
    // upper left pixel).
    int Pixel(int x, int y) const {
        const int scale = h->DisplayMode == Mode1x1 ? 1 : 2;
        return ShadeAt(scale * x, scale * y);
    }
    // The picture of frame `frame` drawn: time moved to its VBlank.
    void DrawFrame(int frame = 0) { RunTo(At(144, 0, frame)); }
};

}  // namespace wenlo::hh::test
