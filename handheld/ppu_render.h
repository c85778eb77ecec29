// Internal to handheld/: the picture unit's work on one line, called by the
// unit's clock (handheld/ppu.cpp).
#pragma once

#include "handheld/handheld.h"

namespace wenlo::hh {

// The OAM search of line LY (at its mode 2): the first ten sprites in OAM
// order whose rows cover the line go to Ppu::sprites in the order they are
// layered, lowest X first, then lowest entry (none while LCDC bit 1 hides
// sprites). Returns the dots the fetches of the chosen sprites add to
// mode 3: six each, and up to five more for the first sprite in a background
// tile, by how far into the tile it starts (eleven at X 0).
int PpuSelectSprites(Handheld&);

// Draws line LY onto the host's surface in Handheld::DisplayMode, with the
// registers as they are now (the end of the line's mode 3) and the sprites
// the OAM search chose; window: whether the window shows on this line (its
// row is Ppu::windowLine). White while Ppu::skipFrame; nothing without a
// surface.
void PpuDrawLine(Handheld&, bool window);

// The whole picture white (the LCD is off).
void PpuFillWhite(Handheld&);

}  // namespace wenlo::hh
