// The notice line's labels on a real bar: copies made beside La 0, the
// mouse on a notice, clicks that reach the browser, the roll timer.

#include "notices/notice_labels.h"

#include "support/fake_dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

struct Bar {
    QWidget footer;
    QLabel *la0 = new QLabel(&footer);
    FakeDialogs dialogs;
    int hover = 0;
    NoticeLabels labels{la0, &footer, {[this] { return hover; }, [this](int s) { hover = s; }}, dialogs};
    Bar() {
        footer.resize(986, 43);
        footer.setMouseTracking(true); // as the window's bar has it
        la0->setGeometry(470, 18, 400, 14);
        la0->setMouseTracking(true);
    }
    void send(QWidget *w, QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
        const QPoint p(2, 2);
        QMouseEvent e(type, p, w->mapToGlobal(p), button, button == Qt::NoButton ? Qt::NoButton : button,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    void click(QWidget *w) {
        send(w, QEvent::MouseButtonPress, Qt::LeftButton);
        send(w, QEvent::MouseButtonRelease, Qt::LeftButton);
    }
};

} // namespace

TEST(NoticeLabels, CopiesHoverClickAndRoll) {
    Bar bar;
    ASSERT_TRUE(bar.labels.line().load(
        QStringLiteral("<b>第一条</b>||127.0.0.1:8260/$$$第二条||*$$$第三条||javascript:alert(1)$$$")));
    QLabel *la1 = bar.labels.label(1);
    QLabel *la2 = bar.labels.label(2);
    ASSERT_TRUE(la1 && la2);
    EXPECT_EQ(la1->objectName(), QStringLiteral("La1"));
    EXPECT_EQ(la1->parentWidget(), &bar.footer);
    EXPECT_EQ(bar.la0->textFormat(), Qt::PlainText); // server text is never markup
    EXPECT_EQ(la1->geometry().topLeft(), QPoint(470, 30));
    EXPECT_TRUE(la1->isHidden());
    EXPECT_LE(bar.la0->width(), bar.footer.width() - 470);

    bar.send(bar.la0, QEvent::MouseMove);
    EXPECT_EQ(bar.hover, NoticeHoverOn);
    EXPECT_TRUE(bar.la0->font().underline());
    bar.send(&bar.footer, QEvent::MouseMove);
    EXPECT_EQ(bar.hover, NoticeHoverNone);
    EXPECT_FALSE(bar.la0->font().underline());

    bar.click(la1);
    bar.click(la2);
    EXPECT_TRUE(bar.dialogs.opened.isEmpty());
    bar.click(bar.la0);
    EXPECT_EQ(bar.dialogs.opened, QStringList{QStringLiteral("http://127.0.0.1:8260/")});
    EXPECT_EQ(bar.hover, NoticeHoverClicked);

    // The real timer rolls the first notice into place.
    EXPECT_TRUE(bar.labels.rollTimer().isActive());
    EXPECT_EQ(bar.labels.rollTimer().interval(), 50);
    for (int i = 0; i < 6; ++i)
        QMetaObject::invokeMethod(&bar.labels.rollTimer(), "timeout");
    EXPECT_EQ(bar.la0->y(), 18);
}
