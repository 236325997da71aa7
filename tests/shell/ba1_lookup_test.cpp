// The window's episode lookups against a content server that accepts the
// connection and never answers: the window goes on handling input and timers
// while a lookup waits, and the lookup ends with the time-out's empty reply.

#include "support/fake_dialogs.h"
#include "catalog/pane_handlers.h"
#include "support/fake_http_get.h"
#include "support/fake_power.h"
#include "playback/playback_controller.h"
#include "shell/ba1.h"
#include "support/window_options.h"
#include "catalog/catalog_module.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

bool spinUntil(const std::function<bool()> &done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Notes when the window receives a key press.
class KeyWatch : public QObject {
public:
    QElapsedTimer *clock = nullptr;
    qint64 seenAt = -1;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F20 &&
            seenAt < 0)
            seenAt = clock->elapsed();
        return false;
    }
};

class BA1LookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
        for (const char *n : {"date.dat", "date_f.dat"}) {
            QFile f(dir.filePath(QString::fromLatin1(n)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("\r\n");
        }
        Settings(dir.filePath(QStringLiteral("App.ini")))
            .write(QStringLiteral("S_q"), QStringLiteral("s_h"), QStringLiteral("2"));
        // The real episode lookups against a server that never answers; the
        // control file and notices stay out of this test.
        MainWindowOptions o = windowOptions(dir.path(), fakes);
        o.contentBase = QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort());
        o.lookups = nullptr;
        window = std::make_unique<BA1>(o, dialogs);
        ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
        QApplication::processEvents();
        clock.start();
        watch.clock = &clock;
        window->installEventFilter(&watch);
    }

    // A key press and a timer, posted 30 ms from now; returns the time
    // from posting to their handling once both ran (or -1).
    qint64 eventsHandledWithinMsOfPosting() {
        qint64 postedAt = -1, timerAt = -1;
        QTimer::singleShot(30, window.get(), [&] {
            postedAt = clock.elapsed();
            QApplication::postEvent(window.get(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F20, Qt::NoModifier));
            QTimer::singleShot(0, window.get(), [&] { timerAt = clock.elapsed(); });
        });
        watch.seenAt = -1;
        spinUntil([&] { return watch.seenAt >= 0 && timerAt >= 0; }, 1000);
        if (postedAt < 0 || watch.seenAt < 0 || timerAt < 0)
            return -1;
        return std::max(watch.seenAt, timerAt) - postedAt;
    }

    // The content server: accepts (the kernel completes the connection) and
    // never answers, the panes' page loads included.
    QTcpServer silent;
    QTemporaryDir dir;
    FakeDialogs dialogs;
    WindowFakes fakes;
    QElapsedTimer clock;
    KeyWatch watch;
    std::unique_ptr<BA1> window;
};

} // namespace

TEST_F(BA1LookupTest, AByNumberClickLeavesTheWindowResponsiveUntilTheLookupTimesOut) {
    const PlaybackState &state = window->playback().state();
    const qint64 clickedAt = clock.elapsed();
    window->catalog().paneHandlers().beforeNavigate(1, QStringLiteral("kxbovod://12-0-3-T"));
    EXPECT_LT(clock.elapsed() - clickedAt, 100) << "the click waited for the server";
    const qint64 handled = eventsHandledWithinMsOfPosting();
    EXPECT_GE(handled, 0) << "input or timers were held while the lookup waited";
    EXPECT_LT(handled, 100);
    EXPECT_EQ(state.nextEpisodeState, kNothing) << "nothing is decided before the reply";

    // The time-out is the empty reply: the lookup's error.
    ASSERT_TRUE(spinUntil([&] { return state.nextEpisodeState == kNoNextEpisode; }, 8000));
    EXPECT_GE(clock.elapsed() - clickedAt, kHttpGetTimeoutMs * 9 / 10); // a coarse timer: within 5 %
}

TEST_F(BA1LookupTest, TheLookAheadDuringPlaybackLeavesTheWindowResponsive) {
    window->playback().session().startNetworkItem(QStringLiteral("12-0-3-T"), QString(), kNothing);
    const PlaybackState &state = window->playback().state();
    const qint64 askedAt = clock.elapsed();
    window->playback().continuation().lookUpNextEpisode();
    EXPECT_LT(clock.elapsed() - askedAt, 100) << "the look-ahead waited for the server";
    const qint64 handled = eventsHandledWithinMsOfPosting();
    EXPECT_GE(handled, 0) << "input or timers were held while the lookup waited";
    EXPECT_LT(handled, 100);
    EXPECT_EQ(state.nextEpisodeState, kNothing);
}
