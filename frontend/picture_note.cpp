#include "frontend/picture_note.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace wenlo::ui {

PictureNote::PictureNote(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        text_.clear();
        emit Changed();
    });
}

void PictureNote::Show(const QString& text, int ms) {
    text_ = text;
    timer_.start(ms);
    emit Changed();
}

void PictureNote::Paint(QPainter& p, const QRect& picture, qreal devicePixelRatio) const {
    if (text_.isEmpty() || picture.isEmpty()) return;
    p.save();
    QFont font = p.font();
    // A 160-pixel picture holds about 26 characters a line at this size;
    // larger pictures get larger print, up to the desktop's own size.
    const qreal points = std::clamp(picture.height() / 24.0 / devicePixelRatio, 6.0, 14.0);
    font.setPointSizeF(points * devicePixelRatio);
    p.setFont(font);
    const int margin = std::max(2, picture.width() / 80);
    const QRect room = picture.adjusted(margin * 2, margin * 2, -margin * 2, -margin * 2);
    const int flags = Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWrapAnywhere;
    QRect box = p.boundingRect(room, flags, text_);
    box = box.intersected(room).adjusted(-margin, -margin, margin, margin);
    // Dark, half see-through behind light print: readable on every shade.
    p.fillRect(box, QColor(0, 0, 0, 170));
    p.setPen(Qt::white);
    p.drawText(room, flags, text_);
    p.restore();
}

}  // namespace wenlo::ui
