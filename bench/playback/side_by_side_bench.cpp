// What playing costs in the main window against mpv alone and PeerPlayer,
// measured side by side in one run: each program is started with the clip as
// its argument, in turn, several rounds, on a 640x360 and a 1920x1080 clip.
//
// Per start:
// - first frame: from starting the process to the first test picture on the
//   screen, read back from the X server (four one-pixel rows across the
//   screen, every few milliseconds, until enough of them show the clip's
//   saturated colours);
// - CPU while playing: CPU time of every process of the run over wall time,
//   in % of one core, over a stretch that begins 3 s after the first frame;
//   the processes of a run are those carrying its own XDG_RUNTIME_DIR (the
//   web engine's helpers and the transfer program included), and the X
//   server's share is given apart;
// - PSS of those processes while playing (for the window also by kind of
//   process: the program, the web engine's zygotes and renderer, PeerTerminal);
// - for the window also CPU while paused (its pause button clicked through
//   the X server).
//
// Needs a display, ffmpeg, xdotool and mpv; run by hand:
//   xvfb-run -a -s "-screen 0 1280x1024x24" side_by_side_bench
//       --window build-bench/src/vantoli --peer-player build-bench/src/Peer/PeerPlayer
// --content-base gives the window's panes a running content server's pages
// (by default their server refuses at once).
// mpv plays with --vo=x11 in a window the size of the main window's video
// area (784x541), so both scale the picture to the same size.

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

const QSize kVideoArea(784, 541);

struct Sample {
    double firstFrameMs = -1;
    double cpuPlaying = -1;
    double xServerPlaying = -1;
    double cpuPaused = -1;
    double pssMiB = -1;
    QString pssParts; // PSS by process kind, for the window
};

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Processes whose environment holds the marker.
std::vector<int> processesWith(const QByteArray &marker) {
    std::vector<int> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &e : entries) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (!ok || pid == getpid())
            continue;
        const QByteArray env = readFile(QStringLiteral("/proc/%1/environ").arg(pid));
        if (env.split('\0').contains(marker))
            pids.push_back(pid);
    }
    return pids;
}

// utime + stime in clock ticks.
long long cpuTicks(int pid) {
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> f = stat.mid(close + 2).split(' ');
    // Fields after the name start at 3 (state); utime is 14, stime 15.
    return f.size() > 12 ? f[11].toLongLong() + f[12].toLongLong() : 0;
}

long long ticksOf(const std::vector<int> &pids) {
    long long sum = 0;
    for (int p : pids)
        sum += cpuTicks(p);
    return sum;
}

double pssMiB(const std::vector<int> &pids) {
    long long kb = 0;
    static const QRegularExpression pss(QStringLiteral("^Pss:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    for (int p : pids) {
        const auto m = pss.match(QString::fromLatin1(readFile(QStringLiteral("/proc/%1/smaps_rollup").arg(p))));
        if (m.hasMatch())
            kb += m.captured(1).toLongLong();
    }
    return double(kb) / 1024.0;
}

// "main 120, renderer 60, ...": PSS by the kind of process (the web engine's
// helpers carry --type=).
QString pssByKind(const std::vector<int> &pids) {
    std::map<QString, double> kinds;
    for (int p : pids) {
        const QList<QByteArray> args = readFile(QStringLiteral("/proc/%1/cmdline").arg(p)).split('\0');
        QString kind = args.isEmpty() ? QString() : QFileInfo(QString::fromLocal8Bit(args[0])).fileName();
        for (const QByteArray &a : args)
            if (a.startsWith("--type="))
                kind = QString::fromLatin1(a.mid(7));
            else if (a.startsWith("--utility-sub-type="))
                kind = QString::fromLatin1(a.mid(19)).section(u'.', -2);
        // The web engine's renderers keep the command line of the zygote
        // they were forked from.
        if (kind == u"zygote") {
            const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(p));
            const QList<QByteArray> f = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
            const int parent = f.size() > 1 ? f[1].toInt() : 0;
            if (readFile(QStringLiteral("/proc/%1/cmdline").arg(parent)).contains("--type=zygote"))
                kind = QStringLiteral("renderer");
        }
        kinds[kind] += pssMiB({p});
    }
    QStringList parts;
    for (const auto &[kind, mib] : kinds)
        parts << QStringLiteral("%1 %2").arg(kind).arg(mib, 0, 'f', 0);
    return parts.join(QStringLiteral(", "));
}

int xServerPid() {
    // The X server of this display: the Xvfb process whose arguments name it.
    const QByteArray display = qgetenv("DISPLAY");
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &e : entries) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (!ok)
            continue;
        const QList<QByteArray> args = readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
        if (!args.isEmpty() && args[0].endsWith("Xvfb") && args.contains(display))
            return pid;
    }
    return -1;
}

bool saturated(QRgb c) {
    const int hi = std::max({qRed(c), qGreen(c), qBlue(c)});
    const int lo = std::min({qRed(c), qGreen(c), qBlue(c)});
    return hi > 120 && hi - lo > 100;
}

// The clip's picture is on the screen: a fifth of some sampled row shows its
// saturated colours (the window's own pictures cover far less of a row).
bool clipOnScreen(QScreen *screen) {
    const int w = screen->geometry().width();
    const int h = screen->geometry().height();
    for (const int y : {h * 3 / 10, h * 4 / 10, h / 2, h * 6 / 10}) {
        const QImage row = screen->grabWindow(0, 0, y, w, 1).toImage();
        int n = 0;
        for (int x = 0; x < row.width(); ++x)
            n += saturated(row.pixel(x, 0));
        if (n > row.width() / 5)
            return true;
    }
    return false;
}

bool run(const QString &program, const QStringList &args, int timeoutMs = 60000) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString output(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

void sleepMs(int ms) {
    QThread::msleep(ms);
}

struct Program {
    QString name;
    QString executable;
    QStringList arguments; // the clip is appended
    bool isWindow = false;
};

Sample measure(const Program &program, const QString &clip, int seconds, int xPid) {
    Sample s;
    QTemporaryDir folder;
    const QString runtime = folder.filePath(QStringLiteral("run"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(folder.filePath(QStringLiteral("home")));
    const QByteArray marker = "XDG_RUNTIME_DIR=" + runtime.toLocal8Bit();

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("VANTOLI_AUDIO_OUTPUT"), QStringLiteral("null"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    QStringList args = program.arguments;
    for (QString &a : args)
        a.replace(QStringLiteral("@HOME@"), folder.filePath(QStringLiteral("home")));
    args << clip;
    QScreen *screen = QGuiApplication::primaryScreen();

    QElapsedTimer clock;
    clock.start();
    p.start(program.executable, args);
    if (!p.waitForStarted(10000))
        return s;
    while (clock.elapsed() < 30000) {
        if (clipOnScreen(screen)) {
            s.firstFrameMs = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
        sleepMs(4);
    }
    if (s.firstFrameMs >= 0) {
        sleepMs(3000);
        auto stretch = [&](double *own, double *server) {
            const std::vector<int> pids = processesWith(marker);
            const long long before = ticksOf(pids), xBefore = xPid > 0 ? cpuTicks(xPid) : 0;
            QElapsedTimer wall;
            wall.start();
            sleepMs(seconds * 1000);
            const double tick = double(sysconf(_SC_CLK_TCK));
            const double elapsed = double(wall.nsecsElapsed()) / 1e9;
            // Processes that ended meanwhile are left out of both ends.
            *own = double(ticksOf(pids) - before) / tick / elapsed * 100.0;
            if (server)
                *server = xPid > 0 ? double(cpuTicks(xPid) - xBefore) / tick / elapsed * 100.0 : -1;
        };
        stretch(&s.cpuPlaying, &s.xServerPlaying);
        const std::vector<int> playing = processesWith(marker);
        s.pssMiB = pssMiB(playing);
        s.pssParts = pssByKind(playing);
        if (program.isWindow) {
            // The play/pause button: bottom bar, 20 px from its left edge.
            const QString geometry =
                output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                                   QStringLiteral("^Vantoli$"), QStringLiteral("getwindowgeometry")});
            const auto pos = QRegularExpression(QStringLiteral("Position: (\\d+),(\\d+)")).match(geometry);
            const auto size = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
            if (pos.hasMatch() && size.hasMatch()) {
                const int x = pos.captured(1).toInt() + 2 + 20 + 29;
                const int y = pos.captured(2).toInt() + size.captured(2).toInt() - 46 + 21;
                run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(x), QString::number(y),
                                                QStringLiteral("click"), QStringLiteral("1")});
                sleepMs(2500);
                if (!clipOnScreen(screen))
                    stretch(&s.cpuPaused, nullptr);
            }
        }
    }
    const std::vector<int> pids = processesWith(marker);
    ::kill(pid_t(p.processId()), SIGTERM);
    if (!p.waitForFinished(20000))
        p.kill();
    // What the run started and left (the transfer program), by pid.
    for (int pid : pids)
        if (pid != p.processId())
            ::kill(pid, SIGTERM);
    sleepMs(500);
    return s;
}

double median(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QString figure(double v, int decimals) {
    return v < 0 ? QStringLiteral("-") : QString::number(v, 'f', decimals);
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption windowOption(QStringLiteral("window"), QStringLiteral("The program."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption peerOption(QStringLiteral("peer-player"), QStringLiteral("PeerPlayer."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption mpvOption(QStringLiteral("mpv"), QStringLiteral("mpv."), QStringLiteral("FILE"),
                                       QStringLiteral("mpv"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds (5)."),
                                          QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Seconds per stretch (10)."),
                                           QStringLiteral("S"), QStringLiteral("10"));
    const QCommandLineOption sizesOption(QStringLiteral("sizes"), QStringLiteral("Clip sizes (640x360,1920x1080)."),
                                         QStringLiteral("LIST"), QStringLiteral("640x360,1920x1080"));
    // A running content server (scripts/run.sh's) gives the panes real
    // pages; by default their server refuses at once.
    const QCommandLineOption contentOption(QStringLiteral("content-base"),
                                           QStringLiteral("The window's content server (http://127.0.0.1:9/)."),
                                           QStringLiteral("URL"), QStringLiteral("http://127.0.0.1:9/"));
    parser.addOptions({windowOption, peerOption, mpvOption, roundsOption, secondsOption, sizesOption, contentOption});
    parser.process(app);
    if (!parser.isSet(windowOption)) {
        std::fputs("--window is needed\n", stderr);
        return 2;
    }
    const int rounds = parser.value(roundsOption).toInt();
    const int seconds = parser.value(secondsOption).toInt();

    std::vector<Program> programs;
    programs.push_back({QStringLiteral("mpv --vo=x11"), parser.value(mpvOption),
                        {QStringLiteral("--no-config"), QStringLiteral("--vo=x11"), QStringLiteral("--ao=null"),
                         QStringLiteral("--really-quiet"), QStringLiteral("--loop-file=inf"),
                         QStringLiteral("--geometry=%1x%2+0+0").arg(kVideoArea.width()).arg(kVideoArea.height())}});
    if (parser.isSet(peerOption))
        programs.push_back({QStringLiteral("PeerPlayer"), parser.value(peerOption), {}});
    programs.push_back({QStringLiteral("window"), parser.value(windowOption),
                        {QStringLiteral("--home"), QStringLiteral("@HOME@"), QStringLiteral("--content-base"),
                         parser.value(contentOption)},
                        true});

    QTemporaryDir media;
    const int xPid = xServerPid();
    std::printf("%d rounds, %d s per stretch, screen %dx%d, %d cores\n", rounds, seconds,
                QGuiApplication::primaryScreen()->geometry().width(),
                QGuiApplication::primaryScreen()->geometry().height(), QThread::idealThreadCount());
    for (const QString &size : parser.value(sizesOption).split(u',')) {
        const QString clip = media.filePath(QStringLiteral("clip-%1.mp4").arg(size));
        if (!run(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=%1:rate=25:duration=120").arg(size), QStringLiteral("-pix_fmt"),
                  QStringLiteral("yuv420p"), QStringLiteral("-c:v"), QStringLiteral("libx264"), clip},
                 300000)) {
            std::fputs("ffmpeg could not make the clip\n", stderr);
            return 1;
        }
        std::map<QString, std::vector<Sample>> samples;
        for (int r = 0; r < rounds; ++r)
            for (const Program &program : programs) {
                const Sample s = measure(program, clip, seconds, xPid);
                samples[program.name].push_back(s);
                std::printf("  %s %s round %d: first frame %s ms, playing %s %% (X %s %%), paused %s %%, PSS %s MiB\n",
                            qPrintable(size), qPrintable(program.name), r + 1, qPrintable(figure(s.firstFrameMs, 0)),
                            qPrintable(figure(s.cpuPlaying, 1)), qPrintable(figure(s.xServerPlaying, 1)),
                            qPrintable(figure(s.cpuPaused, 2)), qPrintable(figure(s.pssMiB, 0)));
                if (program.isWindow)
                    std::printf("    PSS MiB by process: %s\n", qPrintable(s.pssParts));
                std::fflush(stdout);
            }
        std::printf("\n%s, medians of %d | first frame ms | CPU playing %% | X server %% | CPU paused %% | PSS MiB\n",
                    qPrintable(size), rounds);
        for (const Program &program : programs) {
            auto pick = [&](double Sample::*field) {
                std::vector<double> v;
                for (const Sample &s : samples[program.name])
                    v.push_back(s.*field);
                return median(v);
            };
            std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(program.name),
                        qPrintable(figure(pick(&Sample::firstFrameMs), 0)),
                        qPrintable(figure(pick(&Sample::cpuPlaying), 1)),
                        qPrintable(figure(pick(&Sample::xServerPlaying), 1)),
                        qPrintable(figure(pick(&Sample::cpuPaused), 2)), qPrintable(figure(pick(&Sample::pssMiB), 0)));
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
