// A machine wired to a surface through a host, for the renderer tests: one
// display mode, the display on, the machine running, palettes 0xE4.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/machine.h"
#include "video/background.h"
#include "video/sprites.h"
#include "video/surface.h"

namespace wenlo::test {

// A colour that no renderer writes: shows which pixels were left alone.
inline constexpr Color kMarker = 0x123456;

inline const char* ModeName(uint8_t mode) {
    switch (mode) {
        case Mode1x1: return "Mode1x1";
        case Mode2x2: return "Mode2x2";
        default: return "Interlaced";
    }
}

struct VideoRig {
    std::unique_ptr<Machine> m = std::make_unique<Machine>();
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    Host host;
    uint8_t mode;

    explicit VideoRig(uint8_t displayMode) : mode(displayMode) {
        host.Screen = surface.get();
        m->host = &host;
        m->Running = true;
        m->DisplayMode = mode;
        m->LCDC = 0x91;
        m->BGP = m->OBP0 = m->OBP1 = 0xE4;
        surface->Resize(ModeWidth(mode), ModeHeight(mode));
    }

    // Stores one row of a tile numbered from 0x8000 (VideoRam[tile * 16]).
    void TileRow(int tile, int row, uint8_t low, uint8_t high) {
        m->VideoRam[tile * 16 + row * 2] = low;
        m->VideoRam[tile * 16 + row * 2 + 1] = high;
    }
    // Every row of the tile alike.
    void SolidTile(int tile, uint8_t low, uint8_t high) {
        for (int row = 0; row < 8; ++row) TileRow(tile, row, low, high);
    }
    void Sprite(int entry, uint8_t y, uint8_t x, uint8_t tile, uint8_t attr = 0) {
        m->Oam[4 * entry] = y;
        m->Oam[4 * entry + 1] = x;
        m->Oam[4 * entry + 2] = tile;
        m->Oam[4 * entry + 3] = attr;
    }
    void Fill(Color c) {
        surface->SetBackColor(c);
        surface->Clear();
    }

    void DrawBackground() {
        if (mode == Mode1x1) DrawBackgroundLine1x1(*m);
        if (mode == Mode2x2) DrawBackgroundLine2x2(*m);
        if (mode == Mode2x2Interlaced) DrawBackgroundLineInterlaced(*m);
    }
    void DrawSprites() {
        if (mode == Mode1x1) DrawSpriteLine1x1(*m);
        if (mode == Mode2x2) DrawSpriteLine2x2(*m);
        if (mode == Mode2x2Interlaced) DrawSpriteLineInterlaced(*m);
    }
    // Background then sprites of line ly, as the scheduler draws a line.
    void DrawLine(int ly) {
        m->LY = uint8_t(ly);
        DrawBackground();
        DrawSprites();
    }

    // The colour of Game Boy pixel (x, y): every pixel the mode writes for it
    // must agree, else the block is reported and kInvalidColor returned.
    Color Pixel(int x, int y) const {
        const Color first = mode == Mode1x1 ? surface->GetPixel(x, y) : surface->GetPixel(2 * x, 2 * y);
        if (mode == Mode1x1) return first;
        const bool agree = surface->GetPixel(2 * x + 1, 2 * y) == first &&
                           surface->GetPixel(2 * x, 2 * y + 1) == first &&
                           (mode != Mode2x2 || surface->GetPixel(2 * x + 1, 2 * y + 1) == first);
        EXPECT_TRUE(agree) << ModeName(mode) << " block (" << x << ", " << y << ") is not uniform";
        return agree ? first : kInvalidColor;
    }
};

}  // namespace wenlo::test
