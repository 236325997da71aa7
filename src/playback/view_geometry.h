#pragma once
// Small geometry edits on the window's named controls, shared by the
// playback, transport, bar and keyboard controllers and the pane handlers.

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

// Moves a control horizontally, keeping its top and size.
inline void setControlLeft(PlaybackView &view, const QString &name, int left) {
    QRect g = view.controlGeometry(name);
    g.moveLeft(left);
    view.setControlGeometry(name, g);
}

// Sets a control's width, keeping its position and height.
inline void setControlWidth(PlaybackView &view, const QString &name, int width) {
    QRect g = view.controlGeometry(name);
    g.setWidth(width);
    view.setControlGeometry(name, g);
}

// The time label `times` right-aligned in the player area `peer`, 13 pixels
// from its right edge, `top` from the top. Call after its text is set: the
// label takes the width of its text.
inline void placeTimeLabel(PlaybackView &view, int top = 3) {
    QRect g = view.controlGeometry(QStringLiteral("times"));
    g.moveTo(view.controlGeometry(QStringLiteral("peer")).width() - g.width() - 13, top);
    view.setControlGeometry(QStringLiteral("times"), g);
}

// The title label `bo_name` shows `text`, centred in its bar `bo_zt`, 3 from
// the top.
inline void showTitle(PlaybackView &view, const QString &text) {
    const QString name = QStringLiteral("bo_name");
    view.setLabelText(name, text);
    QRect g = view.controlGeometry(name);
    g.moveTo((view.controlGeometry(QStringLiteral("bo_zt")).width() - g.width()) / 2, 3);
    view.setControlGeometry(name, g);
}

} // namespace vantoli
