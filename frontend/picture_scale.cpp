#include "frontend/picture_scale.h"

#include <algorithm>

namespace wenlo::ui {

PicturePlace PlacePicture(QSize area, QSize picture) {
    PicturePlace p;
    if (picture.isEmpty()) return p;
    p.scale = std::max(1, std::min(area.width() / picture.width(), area.height() / picture.height()));
    const QSize size = picture * p.scale;
    p.rect = QRect(QPoint(std::max(0, (area.width() - size.width()) / 2),
                          std::max(0, (area.height() - size.height()) / 2)),
                   size);
    return p;
}

}  // namespace wenlo::ui
