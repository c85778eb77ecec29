#include "frontend/screenshot.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace wenlo::ui {

QString DefaultScreenshotFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + "/Wenlo";
}

QString ScreenshotFileName(const QString& romName, const QDateTime& when) {
    const QString name = romName.isEmpty() ? QString("Wenlo") : romName;
    return name + when.toString("-yyyyMMdd-HHmmss") + ".png";
}

QImage SurfaceImage(const Surface& s) {
    QImage image(s.Width(), s.Height(), QImage::Format_RGB32);
    for (int y = 0; y < s.Height(); ++y) {
        const Color* src = s.Pixels() + y * Surface::Stride();
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < s.Width(); ++x) dst[x] = 0xFF000000u | src[x];
    }
    return image;
}

ScreenshotResult WriteScreenshot(const Surface& s, const QString& folder, const QString& romName,
                                 const QDateTime& when) {
    if (!QDir().mkpath(folder)) return {{}, "the folder cannot be created"};
    const QString first = ScreenshotFileName(romName, when);
    const QImage image = SurfaceImage(s);
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? first : first.chopped(4) + QString("-%1.png").arg(n);
        const QString path = QDir(folder).filePath(name);
        QFile file(path);
        // NewOnly: taken names are skipped, atomically, never overwritten.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFile::exists(path)) continue;
            return {{}, file.errorString()};
        }
        if (image.save(&file, "PNG") && file.flush()) {
            file.close();
            if (file.error() == QFileDevice::NoError) return {path, {}};
        }
        const QString why =
            file.errorString().isEmpty() ? QString("the file cannot be written") : file.errorString();
        file.close();
        file.remove();
        return {{}, why};
    }
    return {{}, "too many screenshots with this name"};
}

}  // namespace wenlo::ui
