// A short note over the picture ("State saved to ..."): shown for about two
// seconds, then gone. It is painted by the picture widget over the image it
// shows, never into the machine's surface, which the sprite renderer reads
// back.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QFontMetrics;
class QPainter;
class QRect;

namespace wenlo::ui {

// The lines text (lines separated by '\n') is drawn in at most width pixels:
// broken after a space or a slash, words kept whole; a word wider than a
// line by itself (a long file name) is cut where it stops fitting. The
// spaces at the breaks are left out.
QStringList NoteLines(const QFontMetrics& metrics, int width, const QString& text);

class PictureNote : public QObject {
    Q_OBJECT
public:
    static constexpr int kShownMs = 2000;

    explicit PictureNote(QObject* parent = nullptr);

    // Shows text (lines separated by '\n') from now on, for ms milliseconds,
    // replacing any note still shown.
    void Show(const QString& text, int ms = kShownMs);
    // The note shown now; empty when none is.
    const QString& Text() const { return text_; }

    // Paints the note at the bottom of the picture's rectangle (device
    // pixels, the painter working in them too), in NoteLines of its width.
    // devicePixelRatio sizes the font as the desktop scale does.
    void Paint(QPainter& p, const QRect& picture, qreal devicePixelRatio) const;

signals:
    // The note appeared or went: the picture is to be painted again.
    void Changed();

private:
    QString text_;
    QTimer timer_;
};

}  // namespace wenlo::ui
