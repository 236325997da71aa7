// Memory of the main window over a long run of episodes playing one after
// another: the real window, panes and player against the reference content
// server, every episode started by the window's own continuation (look-ahead,
// end of playback, next episode). When a series ends the bench clicks the
// first episode of the other series, as a user would.
//
//   episode_soak_bench [--minutes 30] [--sample-seconds 30] [--clip-seconds 6]
//                      [--base URL] [--mpv-option NAME=VALUE]... [--keep-freed-memory]
//
// Without --base the bench makes a demo catalog with short clips in a
// temporary folder and serves it itself on a free loopback port. Every sample
// prints the program's PSS, RSS and anonymous PSS (/proc/self/smaps_rollup),
// the heap in use (mallinfo2), the PSS of the web engine's processes, and how
// many episodes have started; at the end, the mappings whose resident size
// grew most since the first minute. --mpv-option sets an engine option of the
// window's player, to see what a setting changes; --keep-freed-memory leaves
// out the player's release of freed memory after each item, as it was before.
// Needs a display; run by hand:
//   xvfb-run -a -s "-screen 0 1280x1024x24" nice episode_soak_bench --minutes 8

#include "../bench_support.h"
#include "support/fake_dialogs.h"
#include "app/settings_file.h"
#include "support/fake_power.h"
#include "platform/web_pane.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/mpv_player.h"
#include "playback/player_factory.h"
#include "playback/video_widget.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <malloc.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <clocale>
#include <map>
#include <csignal>
#include <cstdio>

using namespace vantoli;
using vantoli::bench::spin;
using vantoli::bench::waitFor;

namespace {

struct Memory {
    double pss = 0, rss = 0, pssAnon = 0; // MiB
};

Memory memoryOf(int pid) {
    Memory m;
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        const double mib = parts[1].toDouble() / 1024.0;
        if (parts[0] == "Pss:")
            m.pss = mib;
        else if (parts[0] == "Rss:")
            m.rss = mib;
        else if (parts[0] == "Pss_Anon:")
            m.pssAnon = mib;
    }
    return m;
}

// Resident KiB of each mapping of this process, by "start-end name".
std::map<QString, qint64> residentMappings() {
    std::map<QString, qint64> out;
    QFile f(QStringLiteral("/proc/self/smaps"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QString current;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.isEmpty() || parts[0].isEmpty())
            continue;
        if (parts[0].contains('-') && !parts[0].endsWith(':')) {
            current = QString::fromLatin1(parts[0]) + u' ' +
                      (parts.size() > 5 ? QString::fromUtf8(parts.mid(5).join(' ')) : QStringLiteral("[anon]"));
        } else if (parts[0] == "Rss:" && parts.size() > 1) {
            out[current] = parts[1].toLongLong();
        }
    }
    return out;
}

// Every descendant of pid (the web engine's processes).
QList<int> descendants(int pid) {
    QList<int> out;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(t) + QStringLiteral("/children"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &c : f.readAll().simplified().split(' ')) {
            bool ok = false;
            const int child = c.toInt(&ok);
            if (ok) {
                out << child;
                out << descendants(child);
            }
        }
    }
    return out;
}

QString serverBinary() { return QStringLiteral(VANTOLI_SERVER_BINARY); }

// The window's usual player, with engine options of the bench's command line.
class TunedPlayerFactory final : public PlayerFactory {
public:
    std::vector<std::pair<QString, QString>> options;
    bool keepFreedMemory = false;
    PlayerCreation probe() override { return PlayerCreation::Created; }
    void registerComponent(const QString &) override {}
    std::unique_ptr<Player> create(QWidget *videoHost, const QString &programFolder, const QString &contentBase) override {
        MpvPlayerOptions o;
        o.cacheFolder = defaultPlayerCacheFolder(programFolder);
        o.contentBase = contentBase;
        o.audioOutput = QStringLiteral("null");
        o.extraOptions = options;
        if (keepFreedMemory)
            o.itemReleased = nullptr;
        auto player = MpvPlayer::create(o);
        if (player && videoHost) {
            auto *video = new VideoWidget(videoHost);
            video->setObjectName(QStringLiteral("video"));
            auto *layout = new QVBoxLayout(videoHost);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(video);
            player->attachVideoWidget(video);
        }
        return player;
    }
};

} // namespace

int main(int argc, char *argv[]) {
    prepareWebEngineStart();
    qputenv("VANTOLI_AUDIO_OUTPUT", "null");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto value = [&](const char *name, const QString &fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const double minutes = value("--minutes", QStringLiteral("30")).toDouble();
    const int sampleSeconds = std::max(1, value("--sample-seconds", QStringLiteral("30")).toInt());
    const QString clipSeconds = value("--clip-seconds", QStringLiteral("6"));
    QString base = value("--base", QString());

    QTemporaryDir data;
    QProcess server;
    if (base.isEmpty()) {
        std::printf("making the demo catalog (%s s clips)...\n", qPrintable(clipSeconds));
        std::fflush(stdout);
        QProcess demo;
        demo.start(serverBinary(), {QStringLiteral("demo"), QStringLiteral("--data"), data.filePath(QStringLiteral("d")),
                                    QStringLiteral("--clip-seconds"), clipSeconds, QStringLiteral("--size"),
                                    QStringLiteral("320x180")});
        if (!demo.waitForFinished(600000) || demo.exitCode() != 0) {
            std::printf("the demo catalog could not be made\n");
            return 1;
        }
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server.start(serverBinary(), {QStringLiteral("serve"), QStringLiteral("--data"),
                                      data.filePath(QStringLiteral("d")), QStringLiteral("--port"),
                                      QStringLiteral("0")});
        const QRegularExpression serving(QStringLiteral("on (http://127\\.0\\.0\\.1:\\d+/)"));
        QString out;
        if (!server.waitForStarted() || !waitFor([&] {
                out += QString::fromUtf8(server.readAll());
                return serving.match(out).hasMatch();
            }, 10000)) {
            std::printf("the content server did not start: %s\n", qPrintable(out));
            return 1;
        }
        base = serving.match(out).captured(1);
    }
    if (!base.endsWith(u'/'))
        base += u'/';

    QTemporaryDir home;
    for (const char *n : {"date.dat", "date_f.dat"}) {
        QFile f(home.filePath(QString::fromLatin1(n)));
        if (f.open(QIODevice::WriteOnly))
            f.write("\r\n");
    }
    {
        Settings s(home.filePath(QStringLiteral("App.ini")));
        for (const char *k : {"s_h", "s_bo"})
            s.write(QStringLiteral("S_q"), QString::fromLatin1(k), QStringLiteral("2"));
    }
    FakeDialogs dialogs;
    FakePower power;
    auto factory = std::make_unique<TunedPlayerFactory>();
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        const qsizetype eq = args[i + 1].indexOf(u'=');
        if (args[i] == u"--mpv-option" && eq > 0)
            factory->options.emplace_back(args[i + 1].left(eq), args[i + 1].mid(eq + 1));
    }
    factory->keepFreedMemory = args.contains(QStringLiteral("--keep-freed-memory"));
    shell::MainWindowOptions o;
    o.programFolder = home.path();
    o.contentBase = base;
    o.statsBase = base + QStringLiteral("stat/");
    o.playerFactory = factory.get();
    o.power = &power;
    shell::BA1 window(o, dialogs);
    WebPane *catalog = window.webPane(1);
    bool catalogLoaded = false;
    QObject::connect(catalog, &WebPane::documentComplete, &window, [&] { catalogLoaded = true; });
    window.show();
    std::setlocale(LC_NUMERIC, "C");
    catalog->navigate(base);
    if (!waitFor([&] { return catalogLoaded; }, 30000)) {
        std::printf("the catalog did not load\n");
        return 1;
    }
    spin(3000); // the other panes finish loading

    Player &player = window.playbackModule().player();
    const PlaybackState &state = window.playback().state();
    int episodes = 0;
    QString lastKey;
    int series = 0;
    int idleSeconds = 0;
    // The home page lists series 1 (4 episodes) and then series 2 (5); a
    // click on the first episode of one plays it to its end by itself.
    auto clickSeries = [&] {
        const int index = series++ % 2 == 0 ? 0 : 4;
        catalog->view()->page()->runJavaScript(
            QStringLiteral("document.querySelectorAll('a.ep')[%1].click();").arg(index));
    };

    QElapsedTimer clock;
    clock.start();
    const qint64 endMs = qint64(minutes * 60000.0);
    qint64 nextSample = 0;
    std::map<QString, qint64> mappingsAtStart;
    std::printf("   s  episodes   PSS MiB  RSS MiB  anon PSS  heap MiB  (of MiB)  web engine PSS (procs)\n");
    clickSeries();
    while (clock.elapsed() <= endMs) {
        if (clock.elapsed() >= nextSample) {
            const Memory self = memoryOf(int(::getpid()));
            double web = 0;
            const QList<int> kids = descendants(int(::getpid()));
            for (int pid : kids)
                web += memoryOf(pid).pss;
            const struct mallinfo2 heap = mallinfo2();
            std::printf("%4lld  %8d  %8.1f  %7.1f  %8.1f  %8.1f  %8.1f  %8.1f (%lld)\n", clock.elapsed() / 1000,
                        episodes, self.pss, self.rss, self.pssAnon, double(heap.uordblks) / 1048576.0,
                        double(heap.arena + heap.hblkhd) / 1048576.0, web, qlonglong(kids.size()));
            // The first minute fills caches; growth is counted from there.
            if (mappingsAtStart.empty() && clock.elapsed() >= 60000)
                mappingsAtStart = residentMappings();
            std::fflush(stdout);
            nextSample += sampleSeconds * 1000;
        }
        spin(1000);
        if (state.currentItemKey != lastKey && state.currentItemKey != kNothing) {
            lastKey = state.currentItemKey;
            ++episodes;
        }
        // A series played to its end: nothing follows, the window stays on
        // its finished screen.
        idleSeconds = player.PlayState() == kStatePlaying ? 0 : idleSeconds + 1;
        if (idleSeconds >= 12) {
            idleSeconds = 0;
            clickSeries();
        }
    }
    std::printf("%d episodes started in %.1f minutes\n", episodes, double(clock.elapsed()) / 60000.0);
    // Where resident memory grew since the first minute, largest first.
    std::vector<std::pair<qint64, QString>> grown;
    const std::map<QString, qint64> mappingsAtEnd = residentMappings();
    for (const auto &[name, kib] : mappingsAtEnd) {
        const auto it = mappingsAtStart.find(name);
        const qint64 before = it == mappingsAtStart.end() ? 0 : it->second;
        if (kib - before != 0)
            grown.emplace_back(kib - before, name);
    }
    for (const auto &[name, kib] : mappingsAtStart)
        if (!mappingsAtEnd.count(name))
            grown.emplace_back(-kib, name);
    std::sort(grown.begin(), grown.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    qint64 total = 0;
    for (const auto &g : grown)
        total += g.first;
    std::printf("resident growth since the first minute: %.1f MiB; largest mappings:\n", double(total) / 1024.0);
    for (size_t i = 0; i < grown.size() && i < 12; ++i)
        std::printf("  %+8lld KiB  %s\n", qlonglong(grown[i].first), qPrintable(grown[i].second));
    window.playbackModule().bo_but_Click(1);
    return 0;
}
