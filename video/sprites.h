// Sprite line renderer: lays the sprites crossing line LY over the background
// just drawn, deciding behind-background priority by reading the surface back.
// One member per display mode. No guards of its own beyond a missing surface.
#pragma once

#include "core/machine.h"

namespace wenlo {

void DrawSpriteLine1x1(Machine&);
void DrawSpriteLine2x2(Machine&);
void DrawSpriteLineInterlaced(Machine&);

}  // namespace wenlo
