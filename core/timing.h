// The machine's timing, in clock cycles of the 4.194304 MHz clock: one place
// for every figure that the scheduler, the runner and the front end's pacing
// share.
#pragma once

#include <cstdint>

namespace wenlo {

constexpr int kCyclesPerLine = 456;  // one pass of the run loop
constexpr int kLastVisibleLine = 143;
constexpr int kVBlankLine = 144;
constexpr int kLastLine = 153;
constexpr int kLinesPerFrame = kLastLine + 1;  // 154 passes make a frame
constexpr int kFrameSkip = 3;                  // one frame in three is drawn
constexpr double kFramesPerSecond = 59.73;     // the handheld's refresh rate

}  // namespace wenlo
