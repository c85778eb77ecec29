// PLACEHOLDER: replaced by the background renderer.
#include "video/background.h"
namespace wenlo {
void DrawBackgroundLine1x1(Machine&) {}
void DrawBackgroundLine2x2(Machine&) {}
void DrawBackgroundLineInterlaced(Machine&) {}
}  // namespace wenlo
