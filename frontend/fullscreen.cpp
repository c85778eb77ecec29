#include "frontend/fullscreen.h"

#include <QMainWindow>
#include <QMenuBar>

namespace wenlo::ui {

void FullscreenMode::Enter(QMainWindow& w) {
    if (active_) return;
    geometry_ = w.saveGeometry();
    active_ = true;
    w.menuBar()->hide();
    w.showFullScreen();
}

void FullscreenMode::Leave(QMainWindow& w) {
    if (!active_) return;
    active_ = false;
    w.menuBar()->show();
    w.showNormal();
    // Also brings back a maximised window, and the place on the screen.
    w.restoreGeometry(geometry_);
}

}  // namespace wenlo::ui
