#include "frontend/picture_note.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace wenlo::ui {

namespace {

QString WithoutTrailingSpaces(QString s) {
    while (s.endsWith(' ')) s.chop(1);
    return s;
}

}  // namespace

QStringList NoteLines(const QFontMetrics& metrics, int width, const QString& text) {
    const auto fits = [&](const QString& s) {
        return metrics.horizontalAdvance(WithoutTrailingSpaces(s)) <= width;
    };
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        for (qsizetype i = 0; i < paragraph.size();) {
            // A piece: a word with the space or slash after it.
            qsizetype end = i;
            while (end < paragraph.size() && paragraph[end] != ' ' && paragraph[end] != '/') ++end;
            if (end < paragraph.size()) ++end;
            const QString piece = paragraph.mid(i, end - i);
            i = end;
            if (!line.isEmpty() && !fits(line + piece)) {
                lines << WithoutTrailingSpaces(line);
                line.clear();
            }
            line += piece;
            while (!fits(line) && line.size() > 1) {
                qsizetype n = line.size() - 1;
                while (n > 1 && !fits(line.left(n))) --n;
                lines << line.left(n);
                line = line.mid(n);
            }
        }
        lines << WithoutTrailingSpaces(line);
    }
    return lines;
}

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
    const QString lines = NoteLines(p.fontMetrics(), room.width(), text_).join('\n');
    const int flags = Qt::AlignHCenter | Qt::AlignBottom;
    QRect box = p.boundingRect(room, flags, lines);
    box = box.intersected(room).adjusted(-margin, -margin, margin, margin);
    // Dark, half see-through behind light print: readable on every shade.
    p.fillRect(box, QColor(0, 0, 0, 170));
    p.setPen(Qt::white);
    p.drawText(room, flags, lines);
    p.restore();
}

}  // namespace wenlo::ui
