// The tray icon controller with a fake window and a fake desktop, and the
// real icon on a desktop without a notification area.

#include "shell/tray_icon.h"

#include <QApplication>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

class FakeWindow : public TrayHost {
public:
    QString caption = QStringLiteral("Vantoli");
    bool minimized = false;
    bool visible = true;
    QStringList calls;

    QString windowCaption() const override { return caption; }
    bool isWindowMinimized() const override { return minimized; }
    bool isWindowVisible() const override { return visible; }
    void restoreWindow() override {
        calls << QStringLiteral("restore");
        minimized = false;
        visible = true;
    }
    void showWindow() override {
        calls << QStringLiteral("show");
        visible = true;
    }
    void hideWindow() override {
        calls << QStringLiteral("hide");
        visible = false;
    }
    void minimizeWindow() override {
        calls << QStringLiteral("minimize");
        minimized = true;
    }
    void popupMainMenu(const QPoint &pos) override {
        calls << QStringLiteral("menu %1,%2").arg(pos.x()).arg(pos.y());
    }
};

class FakeDesktop : public TraySurface {
public:
    bool tray = true;
    QStringList calls;
    QString toolTip;

    bool hasTray() const override { return tray; }
    void showIcon(const QString &tip) override {
        toolTip = tip;
        calls << QStringLiteral("icon");
    }
    void removeIcon() override { calls << QStringLiteral("remove"); }
    void setToolTip(const QString &tip) override { toolTip = tip; }
    void showBalloon(const QString &title, const QString &text) override {
        calls << QStringLiteral("balloon ") + title + QLatin1Char('|') + text;
    }
    void showWindowNotice(const QString &title, const QString &text) override {
        calls << QStringLiteral("notice ") + title + QLatin1Char('|') + text;
    }
};

class TrayControllerTest : public ::testing::Test {
protected:
    FakeWindow window;
    FakeDesktop desktop;
    TrayController tray{window, desktop};
};

} // namespace

TEST_F(TrayControllerTest, LeftClickRestoresThenHidesThenShows) {
    tray.install(window.caption);
    window.minimized = true;
    tray.leftClick();
    tray.leftClick();
    tray.leftClick();
    EXPECT_EQ(window.calls, (QStringList{QStringLiteral("restore"), QStringLiteral("hide"), QStringLiteral("show")}));
}

TEST_F(TrayControllerTest, RightClickPopsUpTheMainMenuWhereClicked) {
    tray.rightClick(QPoint(300, 700));
    EXPECT_EQ(window.calls, QStringList{QStringLiteral("menu 300,700")});
}

TEST_F(TrayControllerTest, BalloonUsesTheFixedTitleAndResetsTheToolTip) {
    tray.install(QStringLiteral("old caption"));
    EXPECT_EQ(desktop.toolTip, QStringLiteral("old caption"));
    window.caption = QStringLiteral("正在播放");
    tray.balloon(QStringLiteral("开始缓冲下一集！"));
    EXPECT_EQ(desktop.toolTip, QStringLiteral("正在播放"));
    EXPECT_EQ(desktop.calls.last(), QStringLiteral("balloon 提示:Vantoli|开始缓冲下一集！"));
}

TEST_F(TrayControllerTest, WithoutATrayNoticesShowInTheWindowAndCloseMinimises) {
    desktop.tray = false;
    tray.install(window.caption);
    tray.balloon(QStringLiteral("正在准备播放下一集！"));
    EXPECT_EQ(desktop.calls.last(), QStringLiteral("notice 提示:Vantoli|正在准备播放下一集！"));
    tray.hideToTray();
    EXPECT_EQ(window.calls, QStringList{QStringLiteral("minimize")});

    desktop.tray = true;
    tray.hideToTray();
    EXPECT_EQ(window.calls.last(), QStringLiteral("hide"));
    // Once the icon is gone (exit), hiding would strand the window.
    tray.remove();
    tray.hideToTray();
    EXPECT_EQ(window.calls.last(), QStringLiteral("minimize"));
    EXPECT_EQ(desktop.calls.count(QStringLiteral("remove")), 1);
    tray.remove();
    EXPECT_EQ(desktop.calls.count(QStringLiteral("remove")), 1);
}

TEST_F(TrayControllerTest, LongTextsAreCutToTheirFields) {
    window.caption = QString(200, QChar(0x4E2D));
    tray.install(window.caption);
    EXPECT_EQ(desktop.toolTip, QString(63, QChar(0x4E2D))); // 126 of 127 bytes
    tray.balloon(QString(300, QLatin1Char('a')));
    EXPECT_EQ(desktop.calls.last(), QStringLiteral("balloon 提示:Vantoli|") + QString(255, QLatin1Char('a')));
}

TEST(TrayIconTest, WithoutATrayTheNoticeAppearsInsideTheWindow) {
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this desktop has a notification area";

    QWidget window;
    window.resize(600, 400);
    window.show();
    FakeWindow host;
    TrayIcon icon(&window, host);
    icon.install(QStringLiteral("Vantoli"));
    icon.balloon(QStringLiteral("读取数据出错，请返回重试！"));

    auto *notice = window.findChild<QWidget *>(QStringLiteral("trayNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(window.rect().contains(notice->geometry()));
    QStringList texts;
    for (const QLabel *label : notice->findChildren<QLabel *>())
        texts << label->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("提示:Vantoli"), QStringLiteral("读取数据出错，请返回重试！")}));
    icon.remove();
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (at build time) needs no display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
