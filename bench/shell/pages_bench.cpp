// Start-up time and memory of the main window with its panes on their real
// first pages from a content server and a video playing.
//
//   pages_bench --base URL [--runs N] [--flags A,B,...]
//       Runs itself as a fresh process N times (default 5) for every web
//       engine switch set in --flags (default: "--renderer-process-limit=0"
//       for one renderer per page as the engine decides, and
//       "--renderer-process-limit=1", each also with the deferral), alternating, and prints each run and
//       the medians. Every run starts from a new process, so "process start"
//       is the real one.
//       A set ending in " defer" also simulates deferring the first loads of
//       the panes hidden at start: they are stopped at once and loaded again
//       when the visible panes have loaded. A set ending in " hold" never
//       loads them: the memory of a window whose hidden panes wait until
//       they are shown.
//   pages_bench --child --base URL [--defer | --hold]
//       One run: one line of key=value figures.
//
// URL is a running content server (vantoli-content-server serve) with a
// demo catalog. Needs a display; run it by hand under
//   xvfb-run -a -s "-screen 0 1280x1024x24" pages_bench --base http://127.0.0.1:PORT/
//
// "Loaded" for a pane is its first documentComplete; the window is loaded
// when all eleven have reported theirs (or the time-out of 30 s passes).

#include "../bench_support.h"
#include "support/fake_dialogs.h"
#include "app/settings_file.h"
#include "history/history_files.h"
#include "support/fake_power.h"
#include "platform/web_pane.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/player_factory.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <unistd.h>

using namespace vantoli;

namespace {

using vantoli::bench::spin;
using vantoli::bench::waitFor;

// Seconds since this process started: its start time in /proc/self/stat
// (clock ticks since boot) against the boot-time clock.
double secondsSinceProcessStart() {
    static double startS = [] {
        QFile stat(QStringLiteral("/proc/self/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return -1.0;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK)); // field 22 of the line
    }();
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9 - startS;
}

// KiB from /proc/<pid>/smaps_rollup: PSS (shared pages divided among the
// processes that map them), and the pages private to the process (USS),
// which do not depend on what else runs on the machine.
struct Memory {
    long pss = 0, uss = 0;
};

Memory memoryKiB(int pid) {
    Memory m;
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon);
        const long kib = line.mid(colon + 1).trimmed().split(' ').value(0).toLong();
        if (key == "Pss")
            m.pss = kib;
        else if (key == "Private_Clean" || key == "Private_Dirty")
            m.uss += kib;
    }
    return m;
}

int parentOf(int pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = f.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt();
}

// A process and all its descendants with their memory.
std::map<int, Memory> treeMemory(int root) {
    std::map<int, int> parents;
    for (const QString &e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (ok)
            parents[pid] = parentOf(pid);
    }
    std::set<int> tree{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto &[pid, parent] : parents)
            if (!tree.count(pid) && tree.count(parent)) {
                tree.insert(pid);
                grew = true;
            }
    }
    std::map<int, Memory> out;
    for (int pid : tree)
        out[pid] = memoryKiB(pid);
    return out;
}

Memory total(const std::map<int, Memory> &tree) {
    Memory sum;
    for (const auto &[pid, m] : tree) {
        sum.pss += m.pss;
        sum.uss += m.uss;
    }
    return sum;
}

// Panes whose first load the deferral simulation holds back: hidden at
// start, with a page of their own. The about:blank panes cost nothing, and
// the statistics pane's page is the start ping, which must go at start.
bool deferrable(int pane) { return pane != 2 && pane != 5 && pane != 6; }

double g_mainAt = 0, g_appAt = 0; // main() entered, QApplication made

int runChild(const QString &base, bool defer, bool hold) {
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
    // The history pages exist, as after the program's first start.
    for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays})
        HistoryStore(home.path()).renderHistoryPage(list);
    FakeDialogs dialogs;
    FakePower power;
    auto factory = makePlayerFactory();
    shell::MainWindowOptions o;
    o.programFolder = home.path();
    o.contentBase = base;
    o.statsBase = base + QStringLiteral("stat/");
    o.playerFactory = factory.get();
    o.power = &power;
    shell::BA1 window(o, dialogs);

    double loadedAt[12], downloadedAt[12];
    std::fill(std::begin(loadedAt), std::end(loadedAt), -1.0);
    std::fill(std::begin(downloadedAt), std::end(downloadedAt), -1.0);
    int loaded = 0;
    for (int i = 1; i <= 11; ++i) {
        QObject::connect(window.webPane(i), &WebPane::documentComplete, &window, [&, i] {
            if (loadedAt[i] < 0) {
                loadedAt[i] = secondsSinceProcessStart();
                ++loaded;
            }
        });
        QObject::connect(window.webPane(i), &WebPane::navigateError, &window, [i](const QString &address, int code) {
            std::fprintf(stderr, "web%d: navigate error %d for %s\n", i, code, qPrintable(address));
        });
        QObject::connect(window.webPane(i), &WebPane::downloadComplete, &window, [&, i] {
            if (downloadedAt[i] < 0)
                downloadedAt[i] = secondsSinceProcessStart();
        });
    }
    const double beforeShow = secondsSinceProcessStart();
    window.show();
    std::setlocale(LC_NUMERIC, "C");
    // Deferring, simulated: the hidden panes' first loads are stopped at once
    // and started again when the visible panes have loaded.
    std::map<int, QUrl> deferred;
    if (defer) {
        for (int i = 1; i <= 11; ++i) {
            QWebEnginePage *page = window.webPane(i)->view()->page();
            if (!window.webPane(i)->isVisible() && deferrable(i)) {
                deferred[i] = page->requestedUrl();
                page->triggerAction(QWebEnginePage::Stop);
            }
        }
        waitFor([&] {
            for (int i = 1; i <= 11; ++i)
                if (!deferred.count(i) && loadedAt[i] < 0)
                    return false;
            return true;
        }, 30000);
        if (!hold)
            for (const auto &[i, url] : deferred)
                window.webPane(i)->navigate(url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    if (!hold)
        waitFor([&] { return loaded == 11; }, 30000);
    double allLoaded = 0, visibleLoaded = 0;
    QString visible;
    bool shownAtStart[12] = {};
    for (int i = 1; i <= 11; ++i) {
        allLoaded = std::max(allLoaded, loadedAt[i] < 0 ? 99.0 : loadedAt[i]);
        shownAtStart[i] = window.webPane(i)->isVisible();
        if (shownAtStart[i]) {
            visibleLoaded = std::max(visibleLoaded, loadedAt[i] < 0 ? 99.0 : loadedAt[i]);
            visible += QString::number(i) + u',';
        }
    }
    spin(1500);
    const Memory idle = total(treeMemory(int(getpid())));

    // A video playing: the first episode of the catalog.
    window.webPane(1)->view()->page()->runJavaScript(QStringLiteral("document.querySelector('a.ep').click();"));
    const bool playing = waitFor([&] { return window.playbackModule().player().PlayState() == kStatePlaying; }, 20000);
    spin(3000);
    const auto memory = treeMemory(int(getpid()));
    const Memory all = total(memory);

    // Which renderer holds which pane; renderers holding only panes hidden
    // at start are what deferring their first loads would save.
    std::map<int, std::pair<int, int>> renderers; // pid -> visible panes, hidden panes
    for (int i = 1; i <= 11; ++i) {
        const int pid = int(window.webPane(i)->view()->page()->renderProcessPid());
        auto &r = renderers[pid];
        (shownAtStart[i] ? r.first : r.second)++;
    }
    long hiddenOnly = 0, rendererPss = 0;
    for (const auto &[pid, panes] : renderers) {
        const long kib = memory.count(pid) ? memory.at(pid).pss : 0;
        rendererPss += kib;
        if (panes.first == 0)
            hiddenOnly += kib;
    }
    visible.chop(1);
    QString perPane;
    for (int i = 1; i <= 11; ++i)
        perPane += QStringLiteral(" web%1=%2/%3").arg(i).arg(loadedAt[i], 0, 'f', 2).arg(downloadedAt[i], 0, 'f', 2);
    std::fprintf(stderr, "first documentComplete/downloadComplete (s):%s\n", qPrintable(perPane));
    std::printf("main_s=%.3f app_s=%.3f loaded=%d show_s=%.3f visible_loaded_s=%.3f all_loaded_s=%.3f playing=%d idle_pss_mib=%.1f "
                "playing_pss_mib=%.1f playing_uss_mib=%.1f program_mib=%.1f renderers=%zu renderer_mib=%.1f hidden_only_renderer_mib=%.1f "
                "processes=%zu visible_panes=%s\n",
                g_mainAt, g_appAt, loaded, beforeShow, visibleLoaded, allLoaded, int(playing), idle.pss / 1024.0, all.pss / 1024.0,
                all.uss / 1024.0, memory.at(int(getpid())).pss / 1024.0, renderers.size(), rendererPss / 1024.0,
                hiddenOnly / 1024.0, memory.size(), qPrintable(visible));
    std::fflush(stdout);
    return playing && (hold || loaded == 11) ? 0 : 1;
}

std::map<QString, double> parseLine(const QString &line) {
    std::map<QString, double> out;
    for (const QString &kv : line.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype eq = kv.indexOf(u'=');
        if (eq > 0)
            out[kv.left(eq)] = kv.mid(eq + 1).toDouble();
    }
    return out;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    auto value = [&](const char *name, const QString &fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const QString base = value("--base", QString());
    if (base.isEmpty()) {
        std::fprintf(stderr, "usage: pages_bench --base URL [--runs N] [--flags A,B]\n");
        return 2;
    }
    if (args.contains(QStringLiteral("--child"))) {
        g_mainAt = secondsSinceProcessStart();
        prepareWebEngineStart();
        qputenv("VANTOLI_AUDIO_OUTPUT", "null");
        QApplication app(argc, argv);
        g_appAt = secondsSinceProcessStart();
        return runChild(base.endsWith(u'/') ? base : base + u'/', args.contains(QStringLiteral("--defer")) || args.contains(QStringLiteral("--hold")),
                        args.contains(QStringLiteral("--hold")));
    }

    QCoreApplication app(argc, argv);
    const int runs = value("--runs", QStringLiteral("5")).toInt();
    // A set ending in " defer" or " hold" runs the deferral simulation with
    // its flags.
    const QStringList flagSets =
        value("--flags", QStringLiteral("--renderer-process-limit=0,--renderer-process-limit=1,"
                                        "--renderer-process-limit=0 defer,--renderer-process-limit=1 defer"))
            .split(u',');
    std::map<QString, std::map<QString, std::vector<double>>> figures;
    for (int run = 0; run < runs; ++run) {
        for (const QString &flags : flagSets) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            QString switches = flags;
            QStringList childArgs{QStringLiteral("--child"), QStringLiteral("--base"), base};
            for (const QString &mode : {QStringLiteral("defer"), QStringLiteral("hold")})
                if (switches.endsWith(u' ' + mode)) {
                    switches.chop(mode.size() + 1);
                    childArgs << QStringLiteral("--") + mode;
                }
            env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), switches);
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QString::fromLocal8Bit(argv[0]), childArgs);
            child.waitForFinished(120000);
            const QString line = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
            std::printf("[%s] run %d: %s\n", qPrintable(flags), run + 1, qPrintable(line));
            std::fflush(stdout);
            for (const auto &[key, v] : parseLine(line))
                figures[flags][key].push_back(v);
            spin(1000); // let the previous run's engine processes go
        }
    }
    for (const QString &flags : flagSets) {
        std::printf("median [%s]:", qPrintable(flags));
        for (const char *key : {"main_s", "app_s", "show_s", "visible_loaded_s", "all_loaded_s", "idle_pss_mib", "playing_pss_mib", "playing_uss_mib", "program_mib",
                                "renderer_mib", "hidden_only_renderer_mib", "renderers", "processes"})
            std::printf(" %s=%.3g", key, median(figures[flags][QString::fromLatin1(key)]));
        std::printf("\n");
    }
    return 0;
}
