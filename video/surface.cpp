#include "video/surface.h"

#include <algorithm>

namespace wenlo {

void Surface::Resize(int width, int height) {
    width_ = std::clamp(width, 0, kMaxWidth);
    height_ = std::clamp(height, 0, kMaxHeight);
}

void Surface::Clear() { pixels_.fill(back_); }

}  // namespace wenlo
