// Screenshots: the picture surface as a PNG file at its own size (160 x 144,
// or 320 x 288 in the 2x2 modes), in the user's pictures folder under
// "Wenlo", named after the cartridge and the time.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include "video/surface.h"

namespace wenlo::ui {

// QStandardPaths::PicturesLocation + "/Wenlo".
QString DefaultScreenshotFolder();

// "<name>-YYYYMMDD-HHMMSS.png"; name "Wenlo" when the cartridge has none.
QString ScreenshotFileName(const QString& romName, const QDateTime& when);

// The surface's drawing area as an image of the same size.
QImage SurfaceImage(const Surface&);

struct ScreenshotResult {
    QString path;   // the file written, empty on failure
    QString error;  // why not, on failure
};

// Creates folder if needed and writes the picture to a new file there:
// ScreenshotFileName, or with "-2", "-3" ... before ".png" when that name is
// taken, so no file is ever overwritten. A file left half-written by a
// failure is removed.
ScreenshotResult WriteScreenshot(const Surface&, const QString& folder, const QString& romName,
                                 const QDateTime& when);

}  // namespace wenlo::ui
