#pragma once
// Small geometry edits on the window's parts, shared by the playback,
// transport, bar and keyboard controllers.

#include "playback/playback_view.h"

#include <QRect>
#include <QString>

namespace vantoli {

// Moves a part horizontally, keeping its top and size.
inline void setLeftOf(PlaybackView &view, Part part, int left) {
    QRect g = view.geometryOf(part);
    g.moveLeft(left);
    view.setGeometryOf(part, g);
}

// Sets a part's width, keeping its position and height.
inline void setWidthOf(PlaybackView &view, Part part, int width) {
    QRect g = view.geometryOf(part);
    g.setWidth(width);
    view.setGeometryOf(part, g);
}

} // namespace vantoli
