// Start-up cost of the main window, and a driver that puts the window into a
// given state for screenshots.
//
//   shell_bench [--home DIR]
//       Time from process start to the main window shown with all eleven
//       panes loaded, then the memory (PSS) of this process and its web
//       engine processes. One line of figures on standard output.
//   shell_bench --show STATE [--home DIR] [--seconds N]
//       Shows the window in STATE (default, blue, player, blue+player,
//       sidebar-closed, compact, menu) for N seconds (default 8), for a screenshot of the screen.

#include "support/fake_dialogs.h"
#include "app/program_folder.h"
#include "platform/web_pane.h"
#include "playback/playback_controller.h"
#include "shell/ba1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

class SilentDialogs : public vantoli::FakeDialogs {
public:
    SilentDialogs() { answer = true; }
};

// Seconds since this process started, from /proc/self/stat.
double secondsSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields[19].toDouble(); // field 22 of the whole line
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!uptime.open(QIODevice::ReadOnly))
        return -1;
    const double up = uptime.readAll().split(' ').value(0).toDouble();
    return up - startTicks / double(sysconf(_SC_CLK_TCK));
}

long pssKiB(int pid) {
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLong();
    return 0;
}

int parentOf(int pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = f.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt();
}

// PSS of a process and all its descendants, and how many there are.
std::pair<long, int> treePss(int root) {
    QList<int> tree{root};
    bool grew = true;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    while (grew) {
        grew = false;
        for (const QString &e : entries) {
            bool ok = false;
            const int pid = e.toInt(&ok);
            if (ok && !tree.contains(pid) && tree.contains(parentOf(pid))) {
                tree << pid;
                grew = true;
            }
        }
    }
    long total = 0;
    for (int pid : tree)
        total += pssKiB(pid);
    return {total, int(tree.size())};
}

} // namespace

int main(int argc, char *argv[]) {
    vantoli::prepareWebEngineStart();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto value = [&](const char *name, const QString &fallback) {
        const int i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    QTemporaryDir scratch;
    const QString home = value("--home", scratch.path());
    const QString state = value("--show", QString());

    SilentDialogs dialogs;
    vantoli::shell::MainWindowOptions options;
    options.programFolder = home;
    vantoli::shell::BA1 window(options, dialogs);

    if (!state.isEmpty()) {
        if (state.contains(QStringLiteral("blue")))
            vantoli::writeSetting(vantoli::inFolder(home, QStringLiteral("App.ini")), QStringLiteral("Skin"),
                                  QStringLiteral("Num"), QStringLiteral("1"));
        window.show();
        auto &modes = window.modes();
        if (state == QStringLiteral("sidebar-closed")) {
            modes.npc_Click(9);
            modes.npc_Click(6);
        } else if (state == QStringLiteral("compact")) {
            modes.npc_Click(9);
            window.playback().session().setPlayAreaMode(vantoli::kPlayAreaPlayer);
            modes.npc_Click(3);
        } else if (state == QStringLiteral("menu")) {
            QTimer::singleShot(1500, &window, [&] { modes.npc_Click(5); });
        } else if (state.contains(QStringLiteral("player"))) {
            modes.npc_Click(9);
        }
        QTimer::singleShot(value("--seconds", QStringLiteral("8")).toInt() * 1000, &app, &QApplication::quit);
        return app.exec();
    }

    // Benchmark: count the panes whose first document has loaded.
    int loaded = 0;
    double shownAt = -1;
    for (int i = 1; i <= 11; ++i) {
        QObject::connect(window.webPane(i), &vantoli::WebPane::documentComplete, &app, [&] {
            if (++loaded == 11) {
                shownAt = secondsSinceProcessStart();
                QTimer::singleShot(2000, &app, &QApplication::quit);
            }
        });
    }
    window.show();
    QTimer::singleShot(30000, &app, &QApplication::quit);
    app.exec();
    const auto [pss, processes] = treePss(int(getpid()));
    std::printf("panes_loaded=%d start_to_shown_s=%.3f pss_mib=%.1f processes=%d\n", loaded, shownAt,
                pss / 1024.0, processes);
    return loaded == 11 ? 0 : 1;
}
