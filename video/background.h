// Background line renderer: draws screen line LY of the scrolled 256x256
// background onto the host's surface (Host::Screen), one member per display
// mode; they differ only in the pixel block written (video/surface.h).
//
// Called by ScanlineTick for each visible line of a drawn frame, before the
// sprite renderer of the same mode. Reads VideoRam, LCDC (bit 7 display on,
// bit 3 map at 0x9C00, bit 4 unsigned tiles at 0x8000), SCX, SCY, LY and BGP
// directly, never through the bus. The background is opaque: every column
// 0..159 of the line is written. Draws nothing, leaving the line as an earlier
// frame left it, when the display is off, the machine is not running or is
// paused, LY > 143, or there is no surface. There is no window layer and
// LCDC bit 0 is ignored.
#pragma once

#include "core/machine.h"

namespace wenlo {

void DrawBackgroundLine1x1(Machine&);         // DisplayMode 0
void DrawBackgroundLine2x2(Machine&);         // DisplayMode 1
void DrawBackgroundLineInterlaced(Machine&);  // DisplayMode 2

}  // namespace wenlo
