// PeerPlayer: the standalone player window. Opens the file or address given
// on the command line. The window is shown first; libmpv loads and opens the
// item on a thread of its own meanwhile.

#include "terminal/peer_player/command_line.h"
#include "terminal/peer_player/mpv_engine.h"
#include "terminal/peer_player/peer_session.h"
#include "terminal/peer_player/peer_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

using namespace vantoli::peer;

int g_signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM (how the main program ends us), SIGINT and SIGHUP end the event
// loop, so the engine and the window are closed in order and the exit status
// is 0. A signal that comes before the loop runs waits in the pipe.
void catchTerminationSignals() {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

QStringList rawArguments(int argc, char **argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

QString executableFolder() {
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

// An item worth opening before the window exists.
QString preloadAddress(const PeerPlayerArgs &args) {
    const PlayTarget target = resolvePlayTarget(args.item, QDir::currentPath());
    if (target.kind == PlayTarget::Network)
        return target.address;
    if (target.kind == PlayTarget::LocalFile && QFileInfo(target.address).isFile())
        return target.address;
    return {};
}

void printFirstFrameTime() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("first video frame drawn at %lld.%06ld s (monotonic clock)\n", static_cast<long long>(now.tv_sec),
                now.tv_nsec / 1000);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    catchTerminationSignals();
    const QString audioEnv = qEnvironmentVariable("VANTOLI_AUDIO_OUTPUT");
    const QString firstFrameEnv = qEnvironmentVariable("PEERPLAYER_PRINT_FIRST_FRAME_TIME");

    // Qt's own options are only known once QApplication has taken them out;
    // this early look decides what the engine opens ahead. Should the final
    // reading name another item, the session simply opens that one.
    const PeerPlayerArgs early = parsePeerPlayerArgs(rawArguments(argc, argv), audioEnv, firstFrameEnv);
    if (early.help || early.version) {
        std::fputs(early.help ? qPrintable(peerPlayerUsage()) : "PeerPlayer " VANTOLI_VERSION "\n", stdout);
        return 0;
    }
    MpvSetup setup;
    const QString bundled = executableFolder() + QStringLiteral("/") + vantoli::kMpvLibraryName;
    if (QFileInfo::exists(bundled))
        setup.library = bundled;
    setup.audioOutput = early.audioOutput;
    setup.preload = preloadAddress(early);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PeerPlayer"));
    const PeerPlayerArgs args = parsePeerPlayerArgs(QApplication::arguments().mid(1), audioEnv, firstFrameEnv);
    for (const QString &warning : args.warnings)
        std::fprintf(stderr, "PeerPlayer: %s\n", qPrintable(warning));

    QSocketNotifier terminated(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&terminated, &QSocketNotifier::activated, &app, &QApplication::quit);

    PeerWindow window;
    // Errors shown in the window also go to standard error.
    struct LoggingView final : PeerView {
        PeerView &window;
        explicit LoggingView(PeerView &w) : window(w) {}
        void setTitle(const QString &title) override { window.setTitle(title); }
        void setPlayOffered(bool offered) override { window.setPlayOffered(offered); }
        void setTimes(int position, int duration) override { window.setTimes(position, duration); }
        void setVolume(int volume) override { window.setVolume(volume); }
        void setError(const QString &text) override {
            window.setError(text);
            if (!text.isEmpty())
                std::fprintf(stderr, "PeerPlayer: %s\n", qPrintable(text));
        }
    } view(window);
    window.setTitle(PeerSession::windowTitle(resolvePlayTarget(args.item, QDir::currentPath())));
    window.show();

    // libmpv pulls in some two hundred libraries, and the dynamic loader does
    // one thing at a time: loaded while Qt still loads its plugins it would
    // hold the window up for its whole load. So the window comes first, and
    // libmpv loads, starts and opens the item on a thread while the window
    // shows; the event loop keeps running meanwhile.
    PreparedMpv prepared;
    std::thread preparing;
    // Without an engine the window still opens and says why nothing plays.
    struct NoEngine final : MediaEngine {
        void open(const QString &) override {}
        void setPaused(bool) override {}
        void stop() override {}
        void seek(double) override {}
        void setVolume(int) override {}
    } noEngine;
    std::unique_ptr<MpvEngine> engine;
    std::unique_ptr<PeerSession> session;
    auto engineReady = [&] {
        preparing.join();
        // Qt set the user's locale meanwhile; the engine needs C number formats.
        std::setlocale(LC_NUMERIC, "C");
        if (prepared) {
            engine = std::make_unique<MpvEngine>(prepared);
            engine->setSurface(window.video());
            if (args.printFirstFrameTime) {
                auto connection = std::make_shared<QMetaObject::Connection>();
                *connection = QObject::connect(engine.get(), &MpvEngine::frameRendered, &window,
                                               [&window, connection] {
                                                   QObject::disconnect(*connection);
                                                   window.video()->afterNextPaint(printFirstFrameTime);
                                               });
            }
        }
        session = std::make_unique<PeerSession>(engine ? static_cast<MediaEngine &>(*engine) : noEngine, view,
                                                QDir::currentPath());
        window.setSession(session.get());
        if (engine)
            engine->setListener(session.get());
        session->openItem(args.item);
        if (engine)
            engine->dropPreload();
        else
            view.setError(prepared.failure);
    };
    preparing = std::thread([&] {
        prepared = prepareMpv(setup);
        QMetaObject::invokeMethod(&app, engineReady, Qt::QueuedConnection);
    });
    const int status = app.exec();
    if (preparing.joinable()) {
        // Ended before the engine was taken over.
        preparing.join();
        if (!engine)
            releasePrepared(prepared);
    }
    // The engine stops drawing before the session and the window go.
    window.setSession(nullptr);
    engine.reset();
    return status;
}
