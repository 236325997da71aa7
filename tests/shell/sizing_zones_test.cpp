#include "shell/sizing_zones.h"

#include <gtest/gtest.h>

using namespace vantoli::shell;

namespace {
const QSize kClient(990, 655);
SizingZone zoneAt(int x, int y) { return sizingZone({x, y}, kClient); }
} // namespace

TEST(SizingZones, BandIsThreePixelsWideOnEveryEdge) {
    EXPECT_EQ(zoneAt(3, 300), SizingZone::Left);
    EXPECT_EQ(zoneAt(4, 300), SizingZone::Inner);
    EXPECT_EQ(zoneAt(0, 300), SizingZone::Left);
    EXPECT_EQ(zoneAt(987, 300), SizingZone::Right);
    EXPECT_EQ(zoneAt(986, 300), SizingZone::Inner);
    EXPECT_EQ(zoneAt(500, 3), SizingZone::Top);
    EXPECT_EQ(zoneAt(500, 4), SizingZone::Inner);
    EXPECT_EQ(zoneAt(500, 652), SizingZone::Bottom);
    EXPECT_EQ(zoneAt(500, 651), SizingZone::Inner);
}

TEST(SizingZones, Corners) {
    EXPECT_EQ(zoneAt(988, 2), SizingZone::TopRight);
    EXPECT_EQ(zoneAt(988, 653), SizingZone::BottomRight);
    EXPECT_EQ(zoneAt(988, 100), SizingZone::Right);
    EXPECT_EQ(zoneAt(1, 1), SizingZone::TopLeft);
    EXPECT_EQ(zoneAt(1, 654), SizingZone::BottomLeft);
    // A window so short that the top and bottom bands meet: the right column
    // tests the bottom corner first, the left column only takes y > 3 as bottom.
    const QSize tiny(100, 5);
    EXPECT_EQ(sizingZone({99, 3}, tiny), SizingZone::BottomRight);
    EXPECT_EQ(sizingZone({0, 3}, tiny), SizingZone::TopLeft);
    EXPECT_EQ(sizingZone({0, 4}, tiny), SizingZone::BottomLeft);
    EXPECT_EQ(sizingZone({50, 3}, tiny), SizingZone::Top);
}

TEST(SizingZones, HitCodesCursorsAndEdges) {
    struct Row {
        SizingZone zone;
        int code;
        Qt::CursorShape cursor;
        Qt::Edges edges;
    };
    const Row rows[] = {
        {SizingZone::Left, 10, Qt::SizeHorCursor, Qt::LeftEdge},
        {SizingZone::Right, 11, Qt::SizeHorCursor, Qt::RightEdge},
        {SizingZone::Top, 12, Qt::SizeVerCursor, Qt::TopEdge},
        {SizingZone::TopLeft, 13, Qt::SizeFDiagCursor, Qt::TopEdge | Qt::LeftEdge},
        {SizingZone::TopRight, 14, Qt::SizeBDiagCursor, Qt::TopEdge | Qt::RightEdge},
        {SizingZone::Bottom, 15, Qt::SizeVerCursor, Qt::BottomEdge},
        {SizingZone::BottomLeft, 16, Qt::SizeBDiagCursor, Qt::BottomEdge | Qt::LeftEdge},
        {SizingZone::BottomRight, 17, Qt::SizeFDiagCursor, Qt::BottomEdge | Qt::RightEdge},
        {SizingZone::Inner, 0, Qt::ArrowCursor, Qt::Edges()},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(hitCode(r.zone), r.code);
        EXPECT_EQ(zoneCursor(r.zone), r.cursor);
        EXPECT_EQ(zoneEdges(r.zone), r.edges);
    }
}

TEST(SizingZones, InnerAreaAndOutside) {
    EXPECT_TRUE(inInnerArea({4, 4}, kClient));
    EXPECT_FALSE(inInnerArea({3, 100}, kClient));
    EXPECT_FALSE(inInnerArea({100, 652}, kClient));
    EXPECT_TRUE(outsideClient({-1, 10}, kClient));
    EXPECT_TRUE(outsideClient({991, 10}, kClient));
    EXPECT_FALSE(outsideClient({990, 655}, kClient));
}
