// picScreen: the widget that shows the machine's picture surface and takes
// the keyboard focus. It paints the surface's drawing area scaled by the
// largest whole number that fits, centred, and the surround colour (the
// back colour in the window, black fullscreen) everywhere else; a note may
// lie over the picture (picture_note.h). Key presses and releases are handed
// to its owner as key codes (keymap.h), never passed on to the window.
#pragma once

#include <QImage>
#include <QWidget>

#include "frontend/picture_note.h"
#include "video/surface.h"

namespace wenlo::ui {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    // surface: owned by the main window and outliving this widget.
    PictureBox(const Surface& surface, QWidget* parent);

    // Repaints the picture's own rectangle: a new frame changes nothing
    // around it.
    void UpdatePicture();
    // Black around the picture (fullscreen) instead of the back colour.
    void SetBlackSurround(bool black);
    PictureNote& Note() { return note_; }
    // Ends a held fast-forward as if its key had come up (the keyboard was
    // lost, the key-up will go elsewhere).
    void EndFastForward();

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
    // The picture lost the keyboard focus: keys held down now will come up
    // elsewhere.
    void FocusLost();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    // Tab belongs to the game here (fast-forward), not to focus navigation.
    bool focusNextPrevChild(bool) override { return false; }

private:
    const Surface& surface_;
    QImage frame_;   // the surface converted for painting, reused
    QImage scaled_;  // ... and scaled by a whole number, reused
    bool fastForward_ = false;
    bool rewind_ = false;
    bool blackSurround_ = false;
    QRect lastPicture_;  // where the picture was painted last, logical pixels
    PictureNote note_;
};

}  // namespace wenlo::ui
