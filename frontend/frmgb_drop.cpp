// frmGB's drag and drop: one local cartridge file dropped on the window is
// started as Load ROM starts it.
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>

#include "frontend/frmgb.h"

namespace wenlo::ui {

QString frmGB::DroppedCartridge(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return {};
    const QFileInfo info(url.toLocalFile());
    return info.isFile() ? info.absoluteFilePath() : QString();
}

void frmGB::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedCartridge(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void frmGB::dropEvent(QDropEvent* e) {
    const QString path = DroppedCartridge(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    // The drop must finish before the run loop starts: the dragging program
    // waits for its answer.
    QTimer::singleShot(0, this, [this, path] { StartRom(path); });
}

}  // namespace wenlo::ui
