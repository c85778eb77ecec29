// frmGB's view commands: Every Frame, Fullscreen, the placing of the controls
// as the client area changes size, and the notes over the picture.
#include <QAction>
#include <QEvent>

#include "frontend/frmgb.h"
#include "frontend/picture_box.h"

namespace wenlo::ui {

void frmGB::mnuDisplayEveryFrame_Click() {
    everyFrame_ = mnuDisplayEveryFrame->isChecked();
    console().SetDrawEveryFrame(everyFrame_);
    ApplyCommandStates();
}

void frmGB::mnuDisplayFullscreen_Click() {
    if (fullscreen_.Active()) {
        fullscreen_.Leave(*this);
        picScreen->SetBlackSurround(false);
        // A display mode or debugger chosen meanwhile gives the window its
        // size now; otherwise it is back exactly as it was.
        if (layoutPending_) ApplyLayout();
        layoutPending_ = false;
        PlaceControls();
    } else {
        fullscreen_.Enter(*this);
        picScreen->SetBlackSurround(true);
        PlaceControls();
    }
    ApplyCommandStates();
    picScreen->setFocus();
}

bool frmGB::eventFilter(QObject* watched, QEvent* e) {
    if (watched == centralWidget() && e->type() == QEvent::Resize) PlaceControls();
    return QMainWindow::eventFilter(watched, e);
}

void frmGB::ShowNote(const QString& text, int ms) { picScreen->Note().Show(text, ms); }

QString frmGB::NoteText() const { return picScreen->Note().Text(); }

}  // namespace wenlo::ui
