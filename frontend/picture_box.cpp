#include "frontend/picture_box.h"

#include <QKeyEvent>
#include <QPainter>
#include <cmath>
#include <cstring>

#include "frontend/keymap.h"
#include "frontend/picture_scale.h"

namespace wenlo::ui {

PictureBox::PictureBox(const Surface& surface, QWidget* parent)
    : QWidget(parent),
      surface_(surface),
      frame_(Surface::kMaxWidth, Surface::kMaxHeight, QImage::Format_RGB32),
      note_(this) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&note_, &PictureNote::Changed, this, [this] { update(); });
}

void PictureBox::UpdatePicture() {
    if (lastPicture_.isEmpty())
        update();
    else
        update(lastPicture_);
}

void PictureBox::SetBlackSurround(bool black) {
    blackSurround_ = black;
    update();
}

namespace {

// dst becomes src's top-left w x h pixels, each a scale x scale square.
void ScaleInto(QImage& dst, const QImage& src, int w, int h, int scale) {
    const QSize size(w * scale, h * scale);
    if (dst.size() != size) dst = QImage(size, QImage::Format_RGB32);
    const size_t rowBytes = size_t(size.width()) * sizeof(QRgb);
    for (int y = 0; y < h; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* first = reinterpret_cast<QRgb*>(dst.scanLine(y * scale));
        for (int x = 0; x < w; ++x)
            for (int i = 0; i < scale; ++i) first[x * scale + i] = in[x];
        for (int i = 1; i < scale; ++i) std::memcpy(dst.scanLine(y * scale + i), first, rowBytes);
    }
}

}  // namespace

void PictureBox::paintEvent(QPaintEvent*) {
    // Surface colours read as 0x00RRGGBB; QImage wants the top byte at 0xFF.
    const int w = surface_.Width(), h = surface_.Height();
    for (int y = 0; y < h; ++y) {
        const Color* src = surface_.Pixels() + y * Surface::Stride();
        auto* dst = reinterpret_cast<QRgb*>(frame_.scanLine(y));
        for (int x = 0; x < w; ++x) dst[x] = 0xFF000000u | src[x];
    }
    QPainter p(this);
    // Work in device pixels: a whole number of them per surface pixel keeps
    // every pixel of the picture equally wide at desktop scales like 1.5.
    // The widget's own corner may fall between device pixels (a menu bar of
    // fractional height above it); the picture is moved onto whole ones.
    const qreal dpr = devicePixelRatioF();
    const QPointF corner = p.deviceTransform().map(QPointF(0, 0));
    const QPointF snap(std::round(corner.x()) - corner.x(), std::round(corner.y()) - corner.y());
    p.setWorldTransform(QTransform::fromTranslate(snap.x() / dpr, snap.y() / dpr).scale(1 / dpr, 1 / dpr));
    const QSize area(int(std::floor(width() * dpr)), int(std::floor(height() * dpr)));
    const PicturePlace place = PlacePicture(area, QSize(w, h));
    const QRect pic = place.rect;

    const QColor surround =
        blackSurround_ ? QColor(Qt::black) : QColor::fromRgb(0xFF000000u | surface_.BackColor());
    const QRect all(QPoint(0, 0),
                    QSize(int(std::ceil(width() * dpr)) + 1, int(std::ceil(height() * dpr)) + 1));
    p.fillRect(QRect(all.left(), all.top(), all.width(), pic.top()), surround);
    p.fillRect(QRect(all.left(), pic.bottom() + 1, all.width(), all.bottom() - pic.bottom()), surround);
    p.fillRect(QRect(all.left(), pic.top(), pic.left(), pic.height()), surround);
    p.fillRect(QRect(pic.right() + 1, pic.top(), all.right() - pic.right(), pic.height()), surround);
    // Sharp: every surface pixel becomes a square of whole device pixels.
    // Scaled here by copying, not by the painter: fullscreen at 1080 lines
    // is a million device pixels a frame, and copying whole rows is several
    // times cheaper than the painter's per-pixel scaling.
    if (place.scale == 1) {
        p.drawImage(pic.topLeft(), frame_, QRect(0, 0, w, h));
    } else {
        ScaleInto(scaled_, frame_, w, h, place.scale);
        p.drawImage(pic.topLeft(), scaled_);
    }
    note_.Paint(p, pic, dpr);

    // The same rectangle in logical pixels, rounded outwards, for the next
    // frame's repaint.
    lastPicture_ = QRectF(pic.x() / dpr, pic.y() / dpr, pic.width() / dpr, pic.height() / dpr)
                       .toAlignedRect()
                       .adjusted(-1, -1, 1, 1)
                       .intersected(rect());
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

void PictureBox::EndFastForward() {
    if (!fastForward_) return;
    fastForward_ = false;
    emit FastForward(false);
}

void PictureBox::focusOutEvent(QFocusEvent* e) {
    // The release of a key held while the focus moves goes elsewhere; do not
    // leave the machine racing on, nor a key held for good.
    EndFastForward();
    if (rewind_) {
        rewind_ = false;
        emit Rewind(false);
    }
    emit FocusLost();
    QWidget::focusOutEvent(e);
}

}  // namespace wenlo::ui
