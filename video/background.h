// Background line renderer: draws line LY of the scrolled 256x256 background
// onto the host's surface, one member per display mode (pixel block). Reads
// VideoRam and the LCD registers directly. Draws nothing when the display is
// off, the machine is not running or is paused, LY > 143, or there is no
// surface. There is no window layer.
#pragma once

#include "core/machine.h"

namespace wenlo {

void DrawBackgroundLine1x1(Machine&);
void DrawBackgroundLine2x2(Machine&);
void DrawBackgroundLineInterlaced(Machine&);

}  // namespace wenlo
