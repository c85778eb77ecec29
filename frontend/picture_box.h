// picScreen: the widget that shows the machine's picture surface and takes
// the keyboard focus. It paints the surface's drawing area at its top-left
// corner and the back colour everywhere else; key presses and releases are
// handed to its owner as key codes (keymap.h), never passed on to the window.
#pragma once

#include <QImage>
#include <QWidget>

#include "video/surface.h"

namespace wenlo::ui {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    // surface: owned by the main window and outliving this widget.
    PictureBox(const Surface& surface, QWidget* parent);

signals:
    // Key code (0..255) of a host key going down or up; auto-repeats are not
    // reported (a held key is simply still held).
    void KeyDown(int keyCode);
    void KeyUp(int keyCode);
    // The fast-forward key (Tab) went down (true) or up (false), or the
    // picture lost the focus while it was held (false).
    void FastForward(bool held);
    // The same for the rewind key (Backspace).
    void Rewind(bool held);

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    // Tab belongs to the game here (fast-forward), not to focus navigation.
    bool focusNextPrevChild(bool) override { return false; }

private:
    const Surface& surface_;
    QImage frame_;  // the surface converted for painting, reused
    bool fastForward_ = false;
    bool rewind_ = false;
};

}  // namespace wenlo::ui
