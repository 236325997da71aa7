// Time from a click on a by-number link in the catalog pane to the first
// video frame painted, with the real panes, the real player and a content
// server on loopback.
//
//   click_play_bench --base URL [--clicks N]
//
// Each click (default 12) is a script click on the first episode link of the
// catalog page; the clock starts when the script is handed to the page. Then
// the times of: the episode lookup's reply (the window's HTTP fetch), the
// player's loadfile command, the playing state (3), the first render of a
// frame of the test picture into the video widget's image, and the first
// paint of the video widget ("video" in "PeerC") showing it. Between clicks
// the stop button. URL is a running content server with a demo catalog.
// Needs a display; run it by hand under
//   xvfb-run -a -s "-screen 0 1280x1024x24" click_play_bench --base http://127.0.0.1:PORT/

#include "../bench_support.h"
#include "support/fake_dialogs.h"
#include "app/settings_file.h"
#include "support/fake_power.h"
#include "platform/http_get.h"
#include "platform/web_pane.h"
#include "playback/mpv_library.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/player_factory.h"
#include "playback/video_widget.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

using namespace vantoli;

namespace {

using vantoli::bench::spin;
using vantoli::bench::waitFor;

QElapsedTimer g_wall;
double nowMs() { return double(g_wall.nsecsElapsed()) / 1e6; }

// What one click produced, in ms since the click was dispatched (-1: not yet).
struct Marks {
    bool armed = false;
    double clickAt = 0;
    double lookupStart = -1, lookupReply = -1, loadfile = -1, playing = -1, firstRender = -1, firstPaint = -1;
    double rel(double t) const { return t < 0 ? -1 : t - clickAt; }
};
Marks g_marks;
VideoWidget *g_video = nullptr;

// The test pictures have many colours; a black or cover frame has few.
bool showsTestPicture(const QImage &image) {
    if (image.isNull())
        return false;
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 9)
        for (int x = 0; x < image.width(); x += 9)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return colours.size() > 20;
}

// ---- hooks into the loaded libmpv's entry table ------------------------------

decltype(&::mpv_render_context_render) g_realRender = nullptr;
decltype(&::mpv_command_async) g_realCommand = nullptr;

int timedRender(mpv_render_context *ctx, mpv_render_param *params) {
    const int result = g_realRender(ctx, params);
    if (g_marks.armed && g_marks.firstRender < 0 && g_video && showsTestPicture(g_video->frame()))
        g_marks.firstRender = nowMs();
    return result;
}

int timedCommand(mpv_handle *handle, uint64_t reply, const char **args) {
    if (g_marks.armed && g_marks.loadfile < 0 && args && args[0] && std::strcmp(args[0], "loadfile") == 0)
        g_marks.loadfile = nowMs();
    return g_realCommand(handle, reply, args);
}

bool hookMpv() {
    auto *api = const_cast<MpvApi *>(loadMpv());
    if (!api)
        return false;
    g_realRender = api->render_context_render;
    api->render_context_render = &timedRender;
    g_realCommand = api->command_async;
    api->command_async = &timedCommand;
    return true;
}

// The window's HTTP fetches, timed.
class TimedHttpGet : public AsyncHttpGet {
public:
    quint64 start(const QString &url, Reply reply) override {
        const double start = nowMs();
        return real_->start(url, [start, reply = std::move(reply)](const QString &body) {
            if (g_marks.armed && g_marks.lookupReply < 0) {
                g_marks.lookupStart = start;
                g_marks.lookupReply = nowMs();
            }
            reply(body);
        });
    }
    void cancel(quint64 id) override { real_->cancel(id); }

private:
    std::unique_ptr<AsyncHttpGet> real_ = makeAsyncHttpGet();
};

class PaintWatch : public QObject {
public:
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::Paint && o == g_video && g_marks.armed && g_marks.firstRender >= 0 &&
            g_marks.firstPaint < 0 && showsTestPicture(g_video->frame()))
            g_marks.firstPaint = nowMs();
        return false;
    }
};

struct Stat {
    double median, min, max;
};
Stat stat(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {-1, -1, -1};
    return {v[v.size() / 2], v.front(), v.back()};
}

} // namespace

int main(int argc, char *argv[]) {
    prepareWebEngineStart();
    qputenv("VANTOLI_AUDIO_OUTPUT", "null");
    QApplication app(argc, argv);
    g_wall.start();
    const QStringList args = app.arguments();
    auto value = [&](const char *name, const QString &fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    QString base = value("--base", QString());
    const int clicks = std::max(1, value("--clicks", QStringLiteral("12")).toInt());
    if (base.isEmpty()) {
        std::fprintf(stderr, "usage: click_play_bench --base URL [--clicks N]\n");
        return 2;
    }
    if (!base.endsWith(u'/'))
        base += u'/';
    if (!hookMpv()) {
        std::printf("libmpv could not be loaded\n");
        return 1;
    }

    QTemporaryDir home;
    for (const char *n : {"date.dat", "date_f.dat"}) {
        QFile f(home.filePath(QString::fromLatin1(n)));
        if (f.open(QIODevice::WriteOnly))
            f.write("\r\n");
    }
    {
        Settings s(home.filePath(QStringLiteral("App.ini")));
        for (const char *k : {"s_h", "s_bo", "s_pao"})
            s.write(QStringLiteral("S_q"), QString::fromLatin1(k), QStringLiteral("2"));
    }
    FakeDialogs dialogs;
    FakePower power;
    TimedHttpGet http;
    auto factory = makePlayerFactory();
    shell::MainWindowOptions o;
    o.programFolder = home.path();
    o.contentBase = base;
    o.statsBase = base + QStringLiteral("stat/");
    o.playerFactory = factory.get();
    o.power = &power;
    o.lookups = &http; // the episode lookup is what is timed
    shell::BA1 window(o, dialogs);
    PaintWatch paints;
    app.installEventFilter(&paints);

    WebPane *catalog = window.webPane(1);
    bool catalogLoaded = false;
    QObject::connect(catalog, &WebPane::documentComplete, &window, [&] { catalogLoaded = true; });
    window.show();
    std::setlocale(LC_NUMERIC, "C");
    if (QWidget *peerc = window.findChild<QWidget *>(QStringLiteral("PeerC")))
        g_video = peerc->findChild<VideoWidget *>(QStringLiteral("video"));
    if (!g_video || !waitFor([&] { return catalogLoaded; }, 30000)) {
        std::printf("no video widget or the catalog did not load\n");
        return 1;
    }
    spin(3000); // the other panes finish loading

    // The playing state is polled on a 1 ms timer while a click is timed.
    Player &player = window.playbackModule().player();
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (g_marks.armed && g_marks.playing < 0 && player.PlayState() == kStatePlaying)
            g_marks.playing = nowMs();
    });

    std::vector<double> lookup, loadfile, playing, render, paint;
    int failed = 0;
    for (int i = 0; i < clicks; ++i) {
        g_marks = Marks{};
        g_marks.armed = true;
        poll.start();
        g_marks.clickAt = nowMs();
        catalog->view()->page()->runJavaScript(QStringLiteral("document.querySelector('a.ep').click();"));
        const bool painted = waitFor([] { return g_marks.firstPaint >= 0; }, 15000);
        poll.stop();
        g_marks.armed = false;
        const Marks &m = g_marks;
        std::printf("click %2d: lookup %.1f..%.1f ms, loadfile %.1f, state 3 %.1f, first render %.1f, first paint "
                    "%.1f\n",
                    i + 1, m.rel(m.lookupStart), m.rel(m.lookupReply), m.rel(m.loadfile), m.rel(m.playing),
                    m.rel(m.firstRender), m.rel(m.firstPaint));
        std::fflush(stdout);
        if (!painted) {
            ++failed;
        } else {
            lookup.push_back(m.rel(m.lookupReply));
            loadfile.push_back(m.rel(m.loadfile));
            playing.push_back(m.rel(m.playing));
            render.push_back(m.rel(m.firstRender));
            paint.push_back(m.rel(m.firstPaint));
        }
        spin(1500);
        window.playbackModule().bo_but_Click(1); // stop
        waitFor([&] { return player.PlayState() != kStatePlaying; }, 5000);
        spin(1000);
    }
    std::printf("\n%zu clicks timed, %d without a painted frame within 15 s (ms after the click):\n", paint.size(),
                failed);
    const std::pair<const char *, std::vector<double> *> rows[] = {
        {"lookup reply", &lookup}, {"loadfile", &loadfile}, {"state 3", &playing},
        {"first render", &render}, {"first paint", &paint}};
    for (const auto &[name, v] : rows) {
        const Stat s = stat(*v);
        std::printf("%-13s median %7.1f  min %7.1f  max %7.1f\n", name, s.median, s.min, s.max);
    }
    return failed ? 1 : 0;
}
