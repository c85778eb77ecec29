// frmGB's File > Screenshot: the picture as it is now, to a new PNG file in
// the pictures folder, and a note naming it.
#include <QDateTime>
#include <QDir>

#include "frontend/frmgb.h"
#include "frontend/screenshot.h"

namespace wenlo::ui {

void frmGB::mnuFileScreenshot_Click() {
    if (!cartridgeLoaded_) return;  // disabled then; a shortcut may still come from a queue
    const QString folder = screenshotFolder_.isEmpty() ? DefaultScreenshotFolder() : screenshotFolder_;
    const ScreenshotResult r = WriteScreenshot(surface_, folder, QString::fromStdString(console().RomName()),
                                               QDateTime::currentDateTime());
    if (r.path.isEmpty()) {
        dialogs_->Critical(this, "Wenlo",
                           QString("Could not save the screenshot in %1: %2.")
                               .arg(QDir::toNativeSeparators(folder), r.error));
        return;
    }
    ShowNote("Screenshot saved to " + QDir::toNativeSeparators(r.path));
}

}  // namespace wenlo::ui
