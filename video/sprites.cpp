// PLACEHOLDER: replaced by the sprite renderer.
#include "video/sprites.h"
namespace wenlo {
void DrawSpriteLine1x1(Machine&) {}
void DrawSpriteLine2x2(Machine&) {}
void DrawSpriteLineInterlaced(Machine&) {}
}  // namespace wenlo
