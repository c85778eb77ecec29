// Sprite line renderer: lays the sprites crossing line LY over the background
// just drawn on the host's surface (Host::Screen), one member per display mode;
// they differ only in the pixel block written and read back (video/surface.h).
//
// Called by ScanlineTick right after the background renderer of the same mode.
// Reads Oam, VideoRam, LCDC (bit 2 only: 8x16 sprites), LY, OBP0 and OBP1
// directly. All 40 entries are examined, the highest first, so entry 0 ends up
// on top; there is no per-line limit and no clipping on the right. An entry
// with attribute bit 7 is hidden wherever its block shows no exact white on
// the surface (background or sprites already drawn). No guards beyond a
// missing surface: LCDC bits 7 and 1 are ignored.
#pragma once

#include "core/machine.h"

namespace wenlo {

void DrawSpriteLine1x1(Machine&);         // DisplayMode 0
void DrawSpriteLine2x2(Machine&);         // DisplayMode 1
void DrawSpriteLineInterlaced(Machine&);  // DisplayMode 2

}  // namespace wenlo
