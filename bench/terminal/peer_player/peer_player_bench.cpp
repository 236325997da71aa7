// PeerPlayer from process start to its first video frame, its memory and its
// CPU playing and paused. Needs a display: run it under xvfb-run; building it
// runs nothing. The clip is made with ffmpeg in a temporary folder; sound
// goes to mpv's null output. Pausing is the space key, sent with xdotool.
//
//   peer_player_bench [--runs N] [--seconds S] [PeerPlayer path]

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

double monotonicNow() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

QString makeClip(const QString &folder) {
    const QString clip = folder + QStringLiteral("/clip640.mp4");
    const QStringList input{"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=120",
                            "-f", "lavfi", "-i", "sine=f=440:duration=120"};
    for (const QStringList &codec : {QStringList{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"},
                                     QStringList{"-c:v", "mpeg4", "-q:v", "4"}}) {
        QProcess p;
        p.start(QStringLiteral("ffmpeg"), input + codec + QStringList{"-c:a", "aac", "-movflags", "+faststart", clip});
        if (p.waitForFinished(300000) && p.exitCode() == 0) {
            std::printf("clip: 640x360, 25 fps, 120 s, %s + AAC, %lld bytes\n", qPrintable(codec[1]),
                        QFileInfo(clip).size());
            return clip;
        }
    }
    return {};
}

struct Child {
    pid_t pid = -1;
    int out = -1; // its standard output
    double started = 0;
    std::string text;
};

Child spawnPlayer(const std::string &program, const std::string &clip) {
    Child c;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return c;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "PEERPLAYER_", 11) != 0 && std::strncmp(*e, "VANTOLI_AUDIO_OUTPUT=", 21) != 0)
            env.emplace_back(*e);
    env.emplace_back("PEERPLAYER_PRINT_FIRST_FRAME_TIME=1");
    env.emplace_back("VANTOLI_AUDIO_OUTPUT=null");
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = program, arg1 = clip;
    char *argv[] = {arg0.data(), arg1.data(), nullptr};
    c.started = monotonicNow();
    if (posix_spawn(&c.pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
        c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    c.out = fds[0];
    return c;
}

// Seconds from the spawn to the first frame line, or a negative value.
double waitFirstFrame(Child &c, int timeoutMs) {
    const double deadline = monotonicNow() + timeoutMs / 1000.0;
    while (monotonicNow() < deadline) {
        pollfd p{c.out, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[512];
            const ssize_t n = read(c.out, buf, sizeof buf);
            if (n <= 0)
                return -1;
            c.text.append(buf, size_t(n));
        }
        const auto at = c.text.find("first video frame drawn at ");
        if (at != std::string::npos && c.text.find('\n', at) != std::string::npos)
            return std::stod(c.text.substr(at + 27)) - c.started;
    }
    return -1;
}

int endPlayer(Child &c) {
    int status = -1;
    if (c.pid > 0) {
        kill(c.pid, SIGTERM);
        waitpid(c.pid, &status, 0);
    }
    if (c.out >= 0)
        close(c.out);
    return status;
}

double cpuSeconds(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = f.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // Fields 14 and 15 of the file (utime, stime); the list starts at field 3.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

double pssMiB(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// CPU over wall time in % of one core, sampled over seconds.
double cpuPercent(pid_t pid, int seconds) {
    const double c0 = cpuSeconds(pid), t0 = monotonicNow();
    sleep(unsigned(seconds));
    return (cpuSeconds(pid) - c0) / (monotonicNow() - t0) * 100.0;
}

// The Xvfb serving DISPLAY (xvfb-run started it for this run), or -1.
pid_t displayServer() {
    const QByteArray display = qgetenv("DISPLAY");
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = pid_t(entry.toInt(&numeric));
        if (!numeric)
            continue;
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> argv = f.readAll().split('\0');
        if (!argv.isEmpty() && argv[0].endsWith("Xvfb") && argv.contains(display))
            return pid;
    }
    return -1;
}

bool pressSpace(pid_t pid) {
    QProcess find;
    find.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--pid", QString::number(pid)});
    if (!find.waitForFinished(5000))
        return false;
    const QByteArray window = find.readAllStandardOutput().split('\n').value(0).trimmed();
    if (window.isEmpty())
        return false;
    QProcess key;
    key.start(QStringLiteral("xdotool"), {"windowfocus", "--sync", window, "key", "space"});
    return key.waitForFinished(5000) && key.exitCode() == 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    int runs = 5, seconds = 10;
    QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../../../src/Peer/PeerPlayer");
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--runs" && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == u"--seconds" && i + 1 < args.size())
            seconds = std::max(1, args[++i].toInt());
        else
            program = args[i];
    }
    program = QFileInfo(program).canonicalFilePath();
    if (program.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("needs the PeerPlayer program and a display (run under xvfb-run)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString clip = makeClip(dir.path());
    if (clip.isEmpty()) {
        std::printf("ffmpeg could not make the clip\n");
        return 1;
    }
    // A copy under another name: the main program ends every running
    // "PeerPlayer" when it starts, and it may be started beside the bench.
    const QString copy = dir.filePath(QStringLiteral("player-under-bench"));
    if (!QFile::copy(program, copy) ||
        !QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner)) {
        std::printf("could not copy %s\n", qPrintable(program));
        return 1;
    }
    const std::string exe = copy.toStdString(), media = clip.toStdString();

    // One run first so that the program and its libraries are in the page
    // cache, as they are for every start but the first after boot.
    std::vector<double> times;
    for (int i = 0; i <= runs; ++i) {
        Child c = spawnPlayer(exe, media);
        const double t = waitFirstFrame(c, 20000);
        const int status = endPlayer(c);
        std::printf("%s start to first frame: %.0f ms (exit status %d)\n", i == 0 ? "warm-up" : "run",
                    t * 1000.0, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        if (i > 0 && t > 0)
            times.push_back(t * 1000.0);
    }
    std::printf("first frame, median of %zu: %.0f ms (min %.0f, max %.0f)\n", times.size(), median(times),
                times.empty() ? 0 : *std::min_element(times.begin(), times.end()),
                times.empty() ? 0 : *std::max_element(times.begin(), times.end()));

    Child c = spawnPlayer(exe, media);
    if (waitFirstFrame(c, 20000) < 0) {
        std::printf("no first frame\n");
        endPlayer(c);
        return 1;
    }
    sleep(2);
    const pid_t x = displayServer();
    double x0 = x > 0 ? cpuSeconds(x) : 0, t0 = monotonicNow();
    const double playingCpu = cpuPercent(c.pid, seconds);
    const double playingX = x > 0 ? (cpuSeconds(x) - x0) / (monotonicNow() - t0) * 100.0 : -1;
    const double playingPss = pssMiB(c.pid);
    const bool paused = pressSpace(c.pid);
    sleep(1);
    x0 = x > 0 ? cpuSeconds(x) : 0, t0 = monotonicNow();
    const double pausedCpu = cpuPercent(c.pid, seconds);
    const double pausedX = x > 0 ? (cpuSeconds(x) - x0) / (monotonicNow() - t0) * 100.0 : -1;
    const double pausedPss = pssMiB(c.pid);
    const int status = endPlayer(c);
    std::printf("playing: CPU %.2f %% of one core (X server %.2f %%), PSS %.1f MiB\n", playingCpu, playingX,
                playingPss);
    std::printf("paused%s: CPU %.2f %% of one core (X server %.2f %%), PSS %.1f MiB\n",
                paused ? "" : " (space key NOT delivered)", pausedCpu, pausedX, pausedPss);
    std::printf("SIGTERM: exit status %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
