// Places of the main window's controls, in pixels. The design gives them in
// twips (1/1440 inch) and this program uses 15 twips per pixel, as a 96 dpi
// display does.
#pragma once

#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>

namespace wenlo::ui {

constexpr int kTwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel.
constexpr int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
inline QRect TwipRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

struct MainLayout {
    QRect picScreen;
    QRect cmdLoad, cmdStop, cmdExit;
    // The debugger panel. In 1x1 these are the places of the design; in the
    // 2x2 modes the panel moves with the picture and the button column so
    // that it never covers them.
    QRect cmdLoad2, cmdStep, cmdRunTo, lblStats;
    std::array<QRect, 4> Check;  // Check1..Check4
    QRect Line1;
    // Client area below the menu bar: everything shown, plus a small margin.
    QSize client;
};

// displayMode: 0 = 1x1, 1 = 2x2, 2 = 2x2 interlaced (others count as 1x1).
MainLayout ComputeMainLayout(uint8_t displayMode, bool debuggerShown);

// The layout in a client area larger than its own (a window resized or
// maximised): the picture grows by the difference, the controls right of it
// move right and those below it move down by as much. A smaller area leaves
// the layout as it is.
MainLayout StretchMainLayout(MainLayout l, QSize client);

}  // namespace wenlo::ui
