// Fullscreen for the main window: remembers the window as it was (geometry,
// maximised or not), hides the menu bar and fills the screen; leaving puts
// all of it back. The window itself lays the picture over its client area
// meanwhile (frmGB::PlaceControls); the other controls stay where they are,
// covered, so the commands' shown and enabled states do not change.
#pragma once

#include <QByteArray>

class QMainWindow;

namespace wenlo::ui {

class FullscreenMode {
public:
    bool Active() const { return active_; }
    void Enter(QMainWindow& w);
    void Leave(QMainWindow& w);

private:
    bool active_ = false;
    QByteArray geometry_;  // QWidget::saveGeometry of the window before
};

}  // namespace wenlo::ui
