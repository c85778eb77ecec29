#include "frontend/picture_box.h"

#include <QKeyEvent>
#include <QPainter>

#include "frontend/keymap.h"

namespace wenlo::ui {

PictureBox::PictureBox(const Surface& surface, QWidget* parent)
    : QWidget(parent),
      surface_(surface),
      frame_(Surface::kMaxWidth, Surface::kMaxHeight, QImage::Format_RGB32) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::paintEvent(QPaintEvent*) {
    // Surface colours read as 0x00RRGGBB; QImage wants the top byte at 0xFF.
    const int w = surface_.Width(), h = surface_.Height();
    for (int y = 0; y < h; ++y) {
        const Color* src = surface_.Pixels() + y * Surface::Stride();
        auto* dst = reinterpret_cast<QRgb*>(frame_.scanLine(y));
        for (int x = 0; x < w; ++x) dst[x] = 0xFF000000u | src[x];
    }
    QPainter p(this);
    const QColor back = QColor::fromRgb(0xFF000000u | surface_.BackColor());
    p.fillRect(QRect(w, 0, width() - w, height()), back);
    p.fillRect(QRect(0, h, w, height() - h), back);
    p.drawImage(QPoint(0, 0), frame_, QRect(0, 0, w, h));
}

void PictureBox::keyPressEvent(QKeyEvent* e) {
    e->accept();
    if (e->isAutoRepeat()) return;
    if (IsFastForwardKey(e->key()) && !fastForward_) {
        fastForward_ = true;
        emit FastForward(true);
    }
    if (IsRewindKey(e->key()) && !rewind_) {
        rewind_ = true;
        emit Rewind(true);
    }
    const int code = HostKeyToKeyCode(e->key());
    if (code >= 0) emit KeyDown(code);
}

void PictureBox::keyReleaseEvent(QKeyEvent* e) {
    e->accept();
    if (e->isAutoRepeat()) return;
    if (IsFastForwardKey(e->key()) && fastForward_) {
        fastForward_ = false;
        emit FastForward(false);
    }
    if (IsRewindKey(e->key()) && rewind_) {
        rewind_ = false;
        emit Rewind(false);
    }
    const int code = HostKeyToKeyCode(e->key());
    if (code >= 0) emit KeyUp(code);
}

void PictureBox::focusOutEvent(QFocusEvent* e) {
    // The release of a key held while the focus moves goes elsewhere; do not
    // leave the machine racing on.
    if (fastForward_) {
        fastForward_ = false;
        emit FastForward(false);
    }
    if (rewind_) {
        rewind_ = false;
        emit Rewind(false);
    }
    QWidget::focusOutEvent(e);
}

}  // namespace wenlo::ui
