// Playback in the main window with the real player: the CPU of the program
// while idle, playing a 640x360 25 fps clip and paused; what is painted and
// how often mpv renders meanwhile; the time from the open-file dialog's
// answer to the first video frame painted; the CPU of one status tick.
//
//   window_playback_bench [--seconds N] [--opens N]
//   window_playback_bench --bare [--seconds N]
//       The same clip in a VideoWidget alone in a plain window of the size of
//       the main window's video area: the player's own share, for comparison.
//
// Needs a display; run it by hand under
//   xvfb-run -a -s "-screen 0 1280x1024x24" window_playback_bench
// The clip is made with ffmpeg in a temporary folder. Sound goes to mpv's
// null output.

#include "../bench_support.h"
#include "support/fake_dialogs.h"
#include "support/fake_http_get.h"
#include "support/fake_power.h"
#include "platform/web_pane.h"
#include "playback/mpv_library.h"
#include "playback/player.h"
#include "playback/player_factory.h"
#include "playback/playback_controller.h"
#include "playback/video_widget.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <vector>

using namespace vantoli;

namespace {

using vantoli::bench::spin;
using vantoli::bench::waitFor;

// ---- clocks ---------------------------------------------------------------

double threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

QElapsedTimer g_wall;

double nowMs() { return double(g_wall.nsecsElapsed()) / 1e6; }

// ---- counting mpv's render calls --------------------------------------------
// The player renders on the UI thread only, so plain globals do.

std::atomic<long> g_renders{0};
double g_renderCpuNs = 0; // UI thread CPU spent inside the render calls
decltype(&::mpv_render_context_render) g_realRender = nullptr;
std::function<void()> g_afterRender;
std::vector<double> g_renderTimes;

int countingRender(mpv_render_context *ctx, mpv_render_param *params) {
    ++g_renders;
    g_renderTimes.push_back(nowMs());
    const double c0 = threadCpuNs();
    const int result = g_realRender(ctx, params);
    g_renderCpuNs += threadCpuNs() - c0;
    if (g_afterRender)
        g_afterRender();
    return result;
}

// The loaded library's entry table is an ordinary heap object; every player
// made afterwards calls through the counting wrapper.
bool hookRenderCalls() {
    auto *api = const_cast<MpvApi *>(loadMpv());
    if (!api)
        return false;
    g_realRender = api->render_context_render;
    api->render_context_render = &countingRender;
    return true;
}

// ---- event loop -----------------------------------------------------------

// ---- processes --------------------------------------------------------------

struct ProcStat {
    QByteArray comm;
    int ppid = 0;
    double cpuSeconds = 0; // utime + stime
};

bool readStat(const QString &file, ProcStat &out) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = f.readAll();
    const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
    if (open < 0 || close < 0)
        return false;
    out.comm = text.mid(open + 1, close - open - 1);
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 13)
        return false;
    // Fields 4, 14 and 15 of the whole line.
    out.ppid = fields[1].toInt();
    out.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    return true;
}

std::map<int, ProcStat> allProcesses() {
    std::map<int, ProcStat> out;
    for (const QString &e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        ProcStat s;
        if (ok && readStat(QStringLiteral("/proc/%1/stat").arg(pid), s))
            out[pid] = s;
    }
    return out;
}

// CPU seconds so far of: this process (every thread), its descendants (the
// web engine's processes), and the X server started beside it by xvfb-run.
struct CpuSample {
    double self = 0;
    std::map<int, double> children;
    double xserver = 0;
    std::map<QByteArray, double> threads; // this process's threads by name
};

CpuSample sampleCpu() {
    CpuSample s;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    s.self = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    const auto procs = allProcesses();
    std::set<int> tree{int(getpid())};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto &[pid, st] : procs)
            if (!tree.count(pid) && tree.count(st.ppid)) {
                tree.insert(pid);
                grew = true;
            }
    }
    for (int pid : tree)
        if (pid != getpid())
            s.children[pid] = procs.at(pid).cpuSeconds;
    for (const auto &[pid, st] : procs)
        if (st.ppid == getppid() && st.comm == "Xvfb")
            s.xserver += st.cpuSeconds;
    for (const QString &t : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        ProcStat ts;
        if (readStat(QStringLiteral("/proc/self/task/%1/stat").arg(t), ts))
            s.threads[ts.comm] += ts.cpuSeconds;
    }
    return s;
}

// ---- paint events -----------------------------------------------------------

QString widgetName(const QObject *o) {
    QString n = o->objectName();
    if (n.isEmpty())
        n = QString::fromLatin1(o->metaObject()->className());
    if (o->parent() && !o->parent()->objectName().isEmpty())
        n = o->parent()->objectName() + u'/' + n;
    return n;
}

// Distinct colours in a sparse sample: the test picture shows many, black one.
int colourCount(const QImage &image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 9)
        for (int x = 0; x < image.width(); x += 9)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return int(colours.size());
}

class PaintCounter : public QObject {
public:
    std::map<QString, int> paints;
    VideoWidget *video = nullptr;
    int videoPaints = 0;
    int updateRequests = 0; // delivered to windows and widgets
    // Armed by the open-file answer: the first paint of the video widget after
    // a render call since then, showing the test picture.
    bool armed = false;
    long rendersAtAnswer = 0;
    double firstFrameMs = -1;
    double firstRenderMs = -1; // the test picture first rendered into the widget's image
    std::vector<double> videoPaintTimes;

    void afterRender() {
        if (armed && firstRenderMs < 0 && video && colourCount(video->frame()) > 20)
            firstRenderMs = nowMs();
    }

    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::UpdateRequest)
            ++updateRequests;
        if (e->type() == QEvent::Paint && o->isWidgetType()) {
            ++paints[widgetName(o)];
            if (o == video) {
                ++videoPaints;
                videoPaintTimes.push_back(nowMs());
                if (armed && g_renders > rendersAtAnswer && colourCount(video->frame()) > 20) {
                    firstFrameMs = nowMs();
                    armed = false;
                }
            }
        }
        return false;
    }
};

PaintCounter *g_paints = nullptr;

// Records when the open-file dialog gives its answer.
class TimedDialogs : public FakeDialogs {
public:
    double answeredMs = -1;
    QString chooseFile(const QString &title, const QString &filter) override {
        const QString file = FakeDialogs::chooseFile(title, filter);
        answeredMs = nowMs();
        g_paints->rendersAtAnswer = g_renders;
        g_paints->firstFrameMs = -1;
        g_paints->firstRenderMs = -1;
        g_paints->armed = true;
        return file;
    }
};

// ---- one measured stretch ---------------------------------------------------------

void measure(const char *label, int seconds) {
    g_paints->paints.clear();
    g_paints->videoPaints = 0;
    g_paints->updateRequests = 0;
    g_paints->videoPaintTimes.clear();
    g_renderTimes.clear();
    const long renders0 = g_renders;
    const double renderCpu0 = g_renderCpuNs;
    const CpuSample a = sampleCpu();
    QElapsedTimer wall;
    wall.start();
    spin(seconds * 1000);
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const CpuSample b = sampleCpu();

    double children = 0;
    for (const auto &[pid, cpu] : b.children)
        children += cpu - (a.children.count(pid) ? a.children.at(pid) : 0.0);
    const double self = b.self - a.self;
    const double pct = 100.0 / wallS;
    std::printf("\n== %s: %.1f s wall\n", label, wallS);
    std::printf("cpu%%  program %.2f  web-engine children (%zu) %.2f  program+children %.2f  X server %.2f\n",
                self * pct, b.children.size(), children * pct, (self + children) * pct, (b.xserver - a.xserver) * pct);
    std::printf("update requests (window and widget) %d\n", g_paints->updateRequests);
    std::printf("mpv render calls %ld (%.1f/s)  video widget paints %d (%.1f/s)\n", g_renders - renders0,
                double(g_renders - renders0) / wallS, g_paints->videoPaints, g_paints->videoPaints / wallS);
    const long renders = g_renders - renders0;
    if (renders > 0)
        std::printf("render call: %.2f ms UI-thread CPU each\n", (g_renderCpuNs - renderCpu0) / 1e6 / renders);
    auto gapStats = [](const char *what, const std::vector<double> &times) {
        if (times.size() < 3)
            return;
        std::vector<double> gaps;
        for (size_t i = 1; i < times.size(); ++i)
            gaps.push_back(times[i] - times[i - 1]);
        std::sort(gaps.begin(), gaps.end());
        std::printf("gap between %s: 10th %.1f ms, median %.1f, 90th %.1f, max %.1f\n", what,
                    gaps[gaps.size() / 10], gaps[gaps.size() / 2], gaps[gaps.size() * 9 / 10], gaps.back());
    };
    gapStats("render calls", g_renderTimes);
    // How long after a render call starts its frame is painted.
    std::vector<double> toPaint;
    for (size_t r = 0, p = 0; r < g_renderTimes.size(); ++r) {
        const auto &paintTimes = g_paints->videoPaintTimes;
        while (p < paintTimes.size() && paintTimes[p] < g_renderTimes[r])
            ++p;
        if (p < paintTimes.size())
            toPaint.push_back(paintTimes[p] - g_renderTimes[r]);
    }
    if (!toPaint.empty()) {
        std::sort(toPaint.begin(), toPaint.end());
        std::printf("render call to next video paint: median %.1f ms, 90th %.1f\n", toPaint[toPaint.size() / 2],
                    toPaint[toPaint.size() * 9 / 10]);
    }
    gapStats("video paints", g_paints->videoPaintTimes);
    std::vector<std::pair<int, QString>> painted;
    for (const auto &[name, n] : g_paints->paints)
        painted.emplace_back(n, name);
    std::sort(painted.rbegin(), painted.rend());
    std::printf("paint events by widget:");
    if (painted.empty())
        std::printf(" none");
    for (size_t i = 0; i < painted.size() && i < 10; ++i)
        std::printf(" %s=%d", qPrintable(painted[i].second), painted[i].first);
    std::printf("\nbusiest threads (cpu%%):");
    std::vector<std::pair<double, QByteArray>> threads;
    for (const auto &[name, cpu] : b.threads)
        threads.emplace_back((cpu - (a.threads.count(name) ? a.threads.at(name) : 0.0)) * pct, name);
    std::sort(threads.rbegin(), threads.rend());
    for (size_t i = 0; i < threads.size() && i < 6; ++i)
        std::printf(" %s=%.2f", threads[i].second.constData(), threads[i].first);
    std::printf("\n");
    std::fflush(stdout);
}

QString makeClip(const QString &folder) {
    const QString clip = folder + QStringLiteral("/clip640.mp4");
    const QStringList common{"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=180",
                             "-f", "lavfi", "-i", "sine=f=440:duration=180"};
    for (const QStringList &codec : {QStringList{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"},
                                     QStringList{"-c:v", "mpeg4", "-q:v", "4"}}) {
        QProcess p;
        p.start(QStringLiteral("ffmpeg"),
                common + codec + QStringList{"-c:a", "aac", "-movflags", "+faststart", clip});
        if (p.waitForFinished(300000) && p.exitCode() == 0) {
            std::printf("clip: 640x360 25 fps 180 s, %s, %lld bytes\n", qPrintable(codec[1]),
                        QFileInfo(clip).size());
            return clip;
        }
    }
    return {};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    prepareWebEngineStart();
    qputenv("VANTOLI_AUDIO_OUTPUT", "null");
    QApplication app(argc, argv);
    g_wall.start();
    const QStringList args = app.arguments();
    auto intArg = [&](const char *name, int fallback) {
        const int i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int seconds = intArg("--seconds", 10);
    const int opens = std::max(1, intArg("--opens", 7));

    if (!hookRenderCalls()) {
        std::printf("libmpv could not be loaded\n");
        return 1;
    }
    QTemporaryDir home;
    const QString clip = makeClip(home.path());
    if (clip.isEmpty()) {
        std::printf("ffmpeg could not make the clip\n");
        return 1;
    }
    for (const char *n : {"date.dat", "date_f.dat"}) {
        QFile f(home.filePath(QString::fromLatin1(n)));
        if (f.open(QIODevice::WriteOnly))
            f.write("\r\n");
    }

    PaintCounter paints;
    g_paints = &paints;
    g_afterRender = [&paints] { paints.afterRender(); };
    app.installEventFilter(&paints);
    FakeAsyncHttpGet http;
    FakePower power;
    auto factory = makePlayerFactory();

    if (args.contains(QStringLiteral("--bare"))) {
        QWidget host;
        host.resize(784, 541);
        std::unique_ptr<Player> player = factory->create(&host, home.path(), QString());
        paints.video = host.findChild<VideoWidget *>(QStringLiteral("video"));
        if (!player || !paints.video)
            return 1;
        host.show();
        spin(2000);
        measure("bare window, nothing loaded", seconds);
        player->setUrl(clip);
        player->Play();
        waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000);
        spin(2000);
        measure("bare window, playing", seconds);
        player->Pause();
        waitFor([&] { return player->PlayState() == kStatePaused; }, 5000);
        spin(2000);
        measure("bare window, paused", seconds);
        return 0;
    }

    TimedDialogs dialogs;
    dialogs.chosenFile = clip;
    shell::MainWindowOptions options;
    options.programFolder = home.path();
    options.playerFactory = factory.get();
    options.http = &http;
    options.power = &power;
    shell::BA1 window(options, dialogs);
    window.show();
    paints.video = window.findChild<VideoWidget *>(QStringLiteral("video"));
    if (!paints.video) {
        std::printf("the window has no video widget (no player)\n");
        return 1;
    }
    Player &player = window.playbackModule().player();
    std::printf("video area %dx%d\n", paints.video->parentWidget()->width(), paints.video->parentWidget()->height());
    spin(4000); // start-up: panes load, the first paints settle

    measure("idle, nothing loaded", seconds);

    // Open the clip from the open button, several times; the first run also
    // pays for loading the decoders.
    std::vector<double> firstFrame, firstRender, toPlaying;
    for (int i = 0; i < opens; ++i) {
        window.playbackModule().bo_but_Click(4);
        const double answered = dialogs.answeredMs;
        const bool playing = waitFor([&] { return player.PlayState() == kStatePlaying; }, 10000);
        const double playingAt = nowMs();
        const bool painted = waitFor([&] { return paints.firstFrameMs >= 0; }, 10000);
        if (!playing || !painted) {
            std::printf("open %d: playing=%d painted=%d\n", i, playing, painted);
            return 1;
        }
        firstFrame.push_back(paints.firstFrameMs - answered);
        firstRender.push_back(paints.firstRenderMs - answered);
        toPlaying.push_back(playingAt - answered);
        std::printf("open %d: answer -> state 3 %.1f ms, -> first frame rendered %.1f ms, -> first frame "
                    "painted %.1f ms\n",
                    i, toPlaying.back(), firstRender.back(), firstFrame.back());
        spin(1500);
        if (i + 1 < opens) {
            window.playbackModule().bo_but_Click(1); // stop
            waitFor([&] { return player.PlayState() == kStateStopped; }, 5000);
            spin(500);
        }
    }
    std::printf("answer -> first frame rendered: median %.1f ms\n", median(firstRender));
    std::printf("answer -> first frame painted: median %.1f ms, min %.1f, max %.1f (%d opens)\n",
                median(firstFrame), *std::min_element(firstFrame.begin(), firstFrame.end()),
                *std::max_element(firstFrame.begin(), firstFrame.end()), opens);

    spin(2000);
    measure("playing", seconds);

    // One status tick while playing, on the UI thread's CPU clock: spread out
    // (one every 20 ms, between the frames) and back to back.
    {
        std::vector<double> spread;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            const double c0 = threadCpuNs();
            window.playback().statusTick().tick();
            spread.push_back((threadCpuNs() - c0) / 1e3);
            spin(20);
        }
        std::sort(spread.begin(), spread.end());
        constexpr int kTicks = 5000;
        const double c0 = threadCpuNs();
        for (int i = 0; i < kTicks; ++i)
            window.playback().statusTick().tick();
        const double loop = (threadCpuNs() - c0) / 1e3 / kTicks;
        std::printf("\n== status tick while playing (UI thread CPU)\n"
                    "spread out: median %.1f us, 90th %.1f us, max %.1f us (%zu ticks); back to back: %.1f us "
                    "(%d ticks)\n",
                    spread[spread.size() / 2], spread[spread.size() * 9 / 10], spread.back(), spread.size(), loop,
                    kTicks);
    }
    spin(1000);

    window.playbackModule().bo_but_Click(0); // pause
    if (!waitFor([&] { return player.PlayState() == kStatePaused; }, 5000)) {
        std::printf("did not pause\n");
        return 1;
    }
    spin(2000);
    measure("paused", seconds);

    window.playbackModule().bo_but_Click(1); // stop
    waitFor([&] { return player.PlayState() == kStateStopped; }, 5000);
    spin(2000);
    measure("stopped", seconds);
    return 0;
}
