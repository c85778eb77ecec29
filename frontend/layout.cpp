#include "frontend/layout.h"

#include <algorithm>

#include "video/surface.h"

namespace wenlo::ui {

namespace {

// Twips. The buttons are as tall and wide as the debugger's buttons, which
// the design sizes explicitly (1335 x 615).
constexpr int kTop = 120;  // below the etched line
constexpr int kButtonWidth = 1335, kButtonHeight = 615;
constexpr int kButtonTops[3] = {120, 840, 1560};
constexpr int kPanelButtonGap = 1390 - kButtonWidth;  // 3960 - 2570 - 1335 in 1x1
constexpr int kStatsGap = 300;                        // picture bottom 2340 to lblStats 2640 in 1x1
constexpr int kStatsWidth = 4815, kStatsHeight = 1935;
constexpr int kChecksGap = 2040;  // lblStats 2640 to the check boxes 4680
constexpr int kCheckLefts[4] = {0, 600, 1200, 1800};
constexpr int kCheckWidths[4] = {495, 495, 495, 735};
constexpr int kCheckHeight = 255;
constexpr int kLineLength = 9480;
constexpr int kMargin = 120;

}  // namespace

MainLayout ComputeMainLayout(uint8_t displayMode, bool debuggerShown) {
    const bool big = displayMode == Mode2x2 || displayMode == Mode2x2Interlaced;
    const int picWidth = big ? 4810 : 2455;
    const int picHeight = big ? 4490 : 2220;
    const int buttonsLeft = big ? 5015 : 2570;

    MainLayout l;
    l.picScreen = TwipRect(0, kTop, picWidth, picHeight);
    l.cmdLoad = TwipRect(buttonsLeft, kButtonTops[0], kButtonWidth, kButtonHeight);
    l.cmdStop = TwipRect(buttonsLeft, kButtonTops[1], kButtonWidth, kButtonHeight);
    l.cmdExit = TwipRect(buttonsLeft, kButtonTops[2], kButtonWidth, kButtonHeight);

    const int panelLeft = buttonsLeft + kButtonWidth + kPanelButtonGap;
    l.cmdLoad2 = TwipRect(panelLeft, kButtonTops[0], kButtonWidth, kButtonHeight);
    l.cmdStep = TwipRect(panelLeft, kButtonTops[1], kButtonWidth, kButtonHeight);
    l.cmdRunTo = TwipRect(panelLeft, kButtonTops[2], kButtonWidth, kButtonHeight);
    const int statsTop = kTop + picHeight + kStatsGap;
    l.lblStats = TwipRect(0, statsTop, kStatsWidth, kStatsHeight);
    for (int i = 0; i < 4; ++i)
        l.Check[i] = TwipRect(kCheckLefts[i], statsTop + kChecksGap, kCheckWidths[i], kCheckHeight);

    QRect used = l.picScreen | l.cmdLoad | l.cmdStop | l.cmdExit;
    if (debuggerShown) {
        used |= l.cmdLoad2 | l.cmdStep | l.cmdRunTo | l.lblStats;
        for (const QRect& r : l.Check) used |= r;
    }
    l.client = QSize(used.right() + 1 + Px(kMargin), used.bottom() + 1 + Px(kMargin));
    l.Line1 = QRect(0, 0, Px(kLineLength), 2);
    return l;
}

MainLayout StretchMainLayout(MainLayout l, QSize client) {
    const int dx = std::max(0, client.width() - l.client.width());
    const int dy = std::max(0, client.height() - l.client.height());
    if (dx == 0 && dy == 0) return l;
    l.picScreen.adjust(0, 0, dx, dy);
    for (QRect* r : {&l.cmdLoad, &l.cmdStop, &l.cmdExit, &l.cmdLoad2, &l.cmdStep, &l.cmdRunTo})
        r->translate(dx, 0);
    l.lblStats.translate(0, dy);
    for (QRect& r : l.Check) r.translate(0, dy);
    l.Line1.setWidth(std::max(l.Line1.width(), client.width()));
    l.client = l.client.expandedTo(client);
    return l;
}

}  // namespace wenlo::ui
