// Where the picture goes in its widget: scaled by the largest whole number
// that fits and centred, all in device pixels, so that every pixel of the
// surface covers the same square of whole device pixels at any desktop scale.
#pragma once

#include <QRect>
#include <QSize>

namespace wenlo::ui {

struct PicturePlace {
    QRect rect;     // in device pixels, inside the area
    int scale = 1;  // device pixels per surface pixel, each way
};

// area: the widget's size in device pixels; picture: the surface's drawing
// area. A picture larger than the area keeps scale 1 and the top-left corner
// (it is cut at the right and bottom, as in the fixed window sizes).
PicturePlace PlacePicture(QSize area, QSize picture);

}  // namespace wenlo::ui
