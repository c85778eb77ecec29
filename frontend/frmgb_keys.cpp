// frmGB's key routing: keys of the picture and keys the window sees itself
// (when no control has the focus) go to the machine as the keyboard's held
// keys (input/key_sources.h, shared with the gamepads); Escape in the picture
// stops the game, Tab held there fast-forwards, Backspace rewinds. The keys
// the keyboard holds are released when the keyboard is lost: their key-ups
// would go to another window, or nowhere.
#include <QApplication>
#include <QKeyEvent>

#include "frontend/frmgb.h"
#include "frontend/keymap.h"
#include "frontend/picture_box.h"
#include "input/keys.h"

namespace wenlo::ui {

void frmGB::picScreen_KeyDown(int keyCode) {
    heldKeys_.Press(console(), KeySources::kKeyboard, keyCode);
    if (keyCode != keys::Escape) return;
    console().SetRunning(false);  // stops, but neither clears nor disables Stop
    UpdateSound();
}

void frmGB::picScreen_KeyUp(int keyCode) { heldKeys_.Release(console(), KeySources::kKeyboard, keyCode); }

void frmGB::ReleaseKeyboardKeys() {
    heldKeys_.ReleaseSource(console(), KeySources::kKeyboard);
    picScreen->EndFastForward();
}

void frmGB::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    // The picture's focus-out covers most of this; a key the window held
    // itself (no control had the focus) has no such report.
    const bool lost = (e->type() == QEvent::ActivationChange && !isActiveWindow()) ||
                      (e->type() == QEvent::WindowStateChange && isMinimized());
    if (lost) ReleaseKeyboardKeys();
}

void frmGB::picScreen_FastForward(bool held) {
    run_.SetFastForward(held);
    UpdateSound();
}

void frmGB::picScreen_Rewind(bool held) {
    rewind_.SetHeld(held);
    UpdateSound();
}

bool frmGB::OwnsKeyEvents() const {
    // The window does not preview keys: it sees them only when no control
    // has the focus, not when a button passes on a key it does not use.
    const QWidget* focus = QApplication::focusWidget();
    return focus == nullptr || focus == this;
}

void frmGB::keyPressEvent(QKeyEvent* e) {
    if (!OwnsKeyEvents() || e->isAutoRepeat()) return QMainWindow::keyPressEvent(e);
    const int code = HostKeyToKeyCode(e->key());
    if (code >= 0) heldKeys_.Press(console(), KeySources::kKeyboard, code);
}

void frmGB::keyReleaseEvent(QKeyEvent* e) {
    if (!OwnsKeyEvents() || e->isAutoRepeat()) return QMainWindow::keyReleaseEvent(e);
    const int code = HostKeyToKeyCode(e->key());
    if (code >= 0) heldKeys_.Release(console(), KeySources::kKeyboard, code);
}

}  // namespace wenlo::ui
