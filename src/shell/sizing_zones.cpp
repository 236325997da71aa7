#include "shell/sizing_zones.h"

namespace vantoli::shell {

SizingZone sizingZone(QPoint p, QSize client) {
    const int x = p.x();
    const int y = p.y();
    const int sw = client.width();
    const int sh = client.height();
    // Right column first, then the middle columns, then the left column.
    if (x >= sw - kSizingBand) {
        if (y >= sh - kSizingBand)
            return SizingZone::BottomRight;
        if (y <= kSizingBand)
            return SizingZone::TopRight;
        return SizingZone::Right;
    }
    if (x > kSizingBand) {
        if (y <= kSizingBand)
            return SizingZone::Top;
        if (y >= sh - kSizingBand)
            return SizingZone::Bottom;
        return SizingZone::Inner;
    }
    if (y >= sh - kSizingBand && y > kSizingBand)
        return SizingZone::BottomLeft;
    if (y <= kSizingBand)
        return SizingZone::TopLeft;
    return SizingZone::Left;
}

int hitCode(SizingZone zone) {
    switch (zone) {
    case SizingZone::Left: return 10;
    case SizingZone::Right: return 11;
    case SizingZone::Top: return 12;
    case SizingZone::TopLeft: return 13;
    case SizingZone::TopRight: return 14;
    case SizingZone::Bottom: return 15;
    case SizingZone::BottomLeft: return 16;
    case SizingZone::BottomRight: return 17;
    case SizingZone::Inner: break;
    }
    return 0;
}

Qt::CursorShape zoneCursor(SizingZone zone) {
    switch (zone) {
    case SizingZone::BottomRight:
    case SizingZone::TopLeft: return Qt::SizeFDiagCursor;
    case SizingZone::TopRight:
    case SizingZone::BottomLeft: return Qt::SizeBDiagCursor;
    case SizingZone::Top:
    case SizingZone::Bottom: return Qt::SizeVerCursor;
    case SizingZone::Left:
    case SizingZone::Right: return Qt::SizeHorCursor;
    case SizingZone::Inner: break;
    }
    return Qt::ArrowCursor;
}

Qt::Edges zoneEdges(SizingZone zone) {
    switch (zone) {
    case SizingZone::Left: return Qt::LeftEdge;
    case SizingZone::Right: return Qt::RightEdge;
    case SizingZone::Top: return Qt::TopEdge;
    case SizingZone::Bottom: return Qt::BottomEdge;
    case SizingZone::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case SizingZone::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case SizingZone::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case SizingZone::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    case SizingZone::Inner: break;
    }
    return {};
}

} // namespace vantoli::shell
