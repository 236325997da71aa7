#pragma once
// The 3-pixel sizing band along the edges of the borderless main window:
// which zone a client point is in, the cursor it shows and the edges a drag
// from there resizes.

#include <QPoint>
#include <QSize>
#include <Qt>

namespace vantoli::shell {

enum class SizingZone { Inner, BottomRight, TopRight, Right, Top, Bottom, BottomLeft, TopLeft, Left };

inline constexpr int kSizingBand = 3;

SizingZone sizingZone(QPoint p, QSize client);

// The non-client hit-test code of the zone (Windows values: left 10 to
// bottom-right 17; 0 for the inner area, which has none).
int hitCode(SizingZone zone);
Qt::CursorShape zoneCursor(SizingZone zone);
Qt::Edges zoneEdges(SizingZone zone);

// The inner area excludes the band: 3 < x < SW - 3 and 3 < y < SH - 3.
inline bool inInnerArea(QPoint p, QSize client) {
    return p.x() > kSizingBand && p.x() < client.width() - kSizingBand && p.y() > kSizingBand &&
           p.y() < client.height() - kSizingBand;
}
inline bool outsideClient(QPoint p, QSize client) {
    return p.x() < 0 || p.y() < 0 || p.x() > client.width() || p.y() > client.height();
}

} // namespace vantoli::shell
