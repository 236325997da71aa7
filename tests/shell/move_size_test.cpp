#include "shell/move_size.h"

#include "shell_fakes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace vantoli::shell;
using vantoli::shell::test::FakeDialogs;
using vantoli::shell::test::FakeView;

namespace {

class MoveSizeTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    FakeView view;
    FakeDialogs dialogs;
    PlaybackState playback;
    WindowModes modes{view, settings, dialogs, playback};
    MoveSizeController ms{view, modes, settings};

    QString saved(const char *key) { return settings.read(QStringLiteral("S_q"), QString::fromLatin1(key), QStringLiteral("-")); }
    QPoint global(QPoint local) const { return view.geometry.topLeft() + local; }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { ms.mousePress(p, global(p), b); }
    void drag(QPoint from, QPoint to) {
        ms.mouseMove(to, global(from) + (to - from), Qt::LeftButton);
    }
    void release(QPoint p) { ms.mouseRelease(p, global(p), Qt::LeftButton); }
};

} // namespace

TEST_F(MoveSizeTest, HoverShowsTheZoneCursor) {
    ms.mouseMove({988, 300}, {}, Qt::NoButton);
    EXPECT_EQ(view.cursor, Qt::SizeHorCursor);
    ms.mouseMove({1, 654}, {}, Qt::NoButton);
    EXPECT_EQ(view.cursor, Qt::SizeBDiagCursor);
    ms.mouseMove({400, 20}, {}, Qt::NoButton);
    EXPECT_EQ(view.cursor, Qt::ArrowCursor);
    EXPECT_EQ(view.colourResets, 3);
}

TEST_F(MoveSizeTest, PressInTheBandResizesWithThePlatformLoop) {
    press({3, 300});
    EXPECT_EQ(view.systemDrag, QStringLiteral("resize %1").arg(int(Qt::LeftEdge)));
    view.systemDrag.clear();
    press({4, 300});
    EXPECT_TRUE(view.systemDrag.isEmpty());
    press({988, 2});
    EXPECT_EQ(view.systemDrag, QStringLiteral("resize %1").arg(int(Qt::TopEdge | Qt::RightEdge)));
    press({988, 653});
    EXPECT_EQ(view.systemDrag, QStringLiteral("resize %1").arg(int(Qt::BottomEdge | Qt::RightEdge)));

    // The size is saved as the platform resizes the window.
    view.geometry.setWidth(1000);
    ms.windowResized();
    EXPECT_EQ(saved("h_w"), QStringLiteral("15000"));
    EXPECT_EQ(saved("h_h"), QString::number(655 * 15));
    // Once the pointer is back, other resizes are not saved.
    ms.pointerEntered();
    view.geometry.setWidth(1100);
    ms.windowResized();
    EXPECT_EQ(saved("h_w"), QStringLiteral("15000"));
}

TEST_F(MoveSizeTest, DragNearTheTopEdgeResizesInsteadOfMoving) {
    press({400, 3});
    drag({400, 3}, {450, 50});
    EXPECT_EQ(view.systemDrag, QStringLiteral("resize %1").arg(int(Qt::TopEdge)));
}

TEST_F(MoveSizeTest, DragInsideMovesWithThePlatformLoop) {
    press({400, 20});
    EXPECT_TRUE(view.systemDrag.isEmpty()); // a click alone does not start a move
    drag({400, 20}, {420, 30});
    EXPECT_EQ(view.systemDrag, QStringLiteral("move"));
    release({420, 30});
    EXPECT_EQ(saved("h_w"), QStringLiteral("-"));
}

TEST_F(MoveSizeTest, WithoutAWindowManagerTheWindowFollowsTheMouse) {
    view.systemDragWorks = false;
    press({400, 20});
    drag({400, 20}, {430, 60});
    EXPECT_EQ(ms.following(), MoveSizeController::Drag::Move);
    EXPECT_EQ(view.geometry, QRect(130, 140, 990, 655));
    release({430, 60});
    EXPECT_EQ(ms.following(), MoveSizeController::Drag::None);
    EXPECT_EQ(saved("h_w"), QStringLiteral("-")); // moving never saves

    // Resize from the right edge, then save on release.
    const QPoint edge(989, 300);
    ms.mousePress(edge, view.geometry.topLeft() + edge, Qt::LeftButton);
    ms.mouseMove(edge, view.geometry.topLeft() + edge + QPoint(50, 0), Qt::LeftButton);
    EXPECT_EQ(view.geometry, QRect(130, 140, 1040, 655));
    ms.mouseRelease(edge, {}, Qt::LeftButton);
    EXPECT_EQ(saved("h_w"), QStringLiteral("15600"));

    // From the left edge, never below the minimum; the right edge stays put.
    const QPoint left(1, 300);
    ms.mousePress(left, view.geometry.topLeft() + left, Qt::LeftButton);
    ms.mouseMove(left, view.geometry.topLeft() + left + QPoint(500, 0), Qt::LeftButton);
    EXPECT_EQ(view.geometry, QRect(130 + 140, 140, 900, 655));
}

TEST_F(MoveSizeTest, MaximisedNeitherMovesNorResizes) {
    view.maximised = true;
    press({1, 300});
    drag({400, 20}, {420, 30});
    press({400, 20});
    drag({400, 20}, {420, 30});
    EXPECT_TRUE(view.systemDrag.isEmpty());
    ms.windowResized();
    EXPECT_EQ(saved("h_w"), QStringLiteral("-"));
}

TEST_F(MoveSizeTest, CompactResizeKeepsTheSavedNormalSize) {
    playback.playAreaMode = (2);
    modes.npc_Click(3);
    view.geometry = QRect(0, 0, 393, 320);
    view.minimumSize = QSize(273, 200);
    view.systemDragWorks = false;
    const QPoint edge(392, 100);
    ms.mousePress(edge, edge, Qt::LeftButton);
    ms.mouseMove(edge, edge + QPoint(40, 0), Qt::LeftButton);
    ms.mouseRelease(edge, {}, Qt::LeftButton);
    EXPECT_EQ(view.geometry.width(), 433);
    EXPECT_EQ(saved("h_w"), QStringLiteral("-"));
}

TEST_F(MoveSizeTest, OtherButtonsOnTheBackgroundOnlySuppressClicks) {
    press({1, 300}, Qt::RightButton);
    EXPECT_TRUE(view.systemDrag.isEmpty());
    EXPECT_TRUE(modes.clickSuppress());
    press({400, 20});
    EXPECT_FALSE(modes.clickSuppress());
}

TEST(ResizedGeometry, KeepsOppositeEdgesAndMinimum) {
    const QRect start(100, 100, 1000, 600);
    const QSize min(900, 467);
    EXPECT_EQ(resizedGeometry(start, Qt::RightEdge | Qt::BottomEdge, {20, 30}, min), QRect(100, 100, 1020, 630));
    EXPECT_EQ(resizedGeometry(start, Qt::TopEdge, {0, -50}, min), QRect(100, 50, 1000, 650));
    EXPECT_EQ(resizedGeometry(start, Qt::TopEdge | Qt::LeftEdge, {300, 300}, min), QRect(200, 233, 900, 467));
    EXPECT_EQ(resizedGeometry(start, Qt::RightEdge, {-500, 0}, min), QRect(100, 100, 900, 600));
}
