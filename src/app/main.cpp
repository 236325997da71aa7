// Entry point: command line, program folder, then the start-up sequence.

#include "app/instance_link.h"
#include "app/machine_id.h"
#include "app/program_folder.h"
#include "app/qt_dialogs.h"
#include "app/startup.h"
#include "desktop/outside_link.h"
#include "platform/web_pane.h"
#include "playback/player_factory.h"
#include "shell/ba1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <clocale>

namespace {

// Server paths are appended to the base addresses: "http://h:8260" must
// become "http://h:8260/".
QString withTrailingSlash(QString url) {
    if (!url.endsWith(u'/'))
        url += u'/';
    return url;
}

} // namespace

int main(int argc, char *argv[]) {
    // The web engine's schemes and switches must be set before the application exists.
    vantoli::prepareWebEngineStart();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantoli"));
    QApplication::setApplicationVersion(QStringLiteral(VANTOLI_VERSION));
    // The desktop entry and the window belong together (Wayland app id, task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("vantoli"));
    // The player engine parses numbers with the C locale.
    std::setlocale(LC_NUMERIC, "C");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vantoli video-on-demand player"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption homeOption(
        QStringLiteral("home"),
        QStringLiteral("Program folder for settings and history (default: the executable's folder "
                       "when writable, else $XDG_DATA_HOME/vantoli)."),
        QStringLiteral("DIR"));
    const QCommandLineOption contentOption(QStringLiteral("content-base"),
                                           QStringLiteral("Content-server base URL."),
                                           QStringLiteral("URL"),
                                           QStringLiteral("http://127.0.0.1:8260/"));
    const QCommandLineOption statsOption(QStringLiteral("stats-base"),
                                         QStringLiteral("Statistics-server base URL."),
                                         QStringLiteral("URL"),
                                         QStringLiteral("http://127.0.0.1:8260/stat/"));
    parser.addOption(homeOption);
    parser.addOption(contentOption);
    parser.addOption(statsOption);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A media file or address to play."),
                                 QStringLiteral("[file]"));
    parser.process(app);

    const QString folder =
        vantoli::resolveProgramFolder(parser.value(homeOption), QCoreApplication::applicationDirPath());

    // A file named on the command line is handed on as an absolute path, so
    // the running instance finds it from its own working folder.
    QString commandLine = parser.positionalArguments().value(0);
    if (!commandLine.isEmpty() && QFileInfo::exists(commandLine))
        commandLine = QFileInfo(commandLine).absoluteFilePath();

    vantoli::QtDialogs dialogs;
    vantoli::shell::MainWindowOptions options;
    options.programFolder = folder;
    options.contentBase = withTrailingSlash(parser.value(contentOption));
    options.statsBase = withTrailingSlash(parser.value(statsOption));
    // Only a file is played at load; a catalog link waits until the window
    // shows, and any other link is dropped.
    const vantoli::OutsideCommand atStart = vantoli::classifyOutsideCommand(commandLine);
    if (atStart.request == vantoli::OutsideRequest::LocalItem)
        options.commandLine = atStart.text;
    const auto factory = vantoli::makePlayerFactory();
    options.playerFactory = factory.get();
    const auto link = vantoli::InstanceLink::forCurrentUser();
    std::unique_ptr<vantoli::shell::BA1> window;

    vantoli::StartupContext ctx;
    ctx.programFolder = folder;
    ctx.playerFactory = factory.get();
    ctx.dialogs = &dialogs;
    ctx.makeWindow = [&]() -> vantoli::MainWindowHost * {
        // Another instance runs: it gets the command line, this start ends.
        if (!link->claim()) {
            link->sendToRunning(commandLine);
            return nullptr;
        }
        window = std::make_unique<vantoli::shell::BA1>(options, dialogs);
        dialogs.setOwner(window.get());
        QObject::connect(link.get(), &vantoli::InstanceLink::commandLineReceived, window.get(),
                         [w = window.get()](const QString &text) { w->openFromOutside(text); });
        return window.get();
    };
    ctx.machineIdentifier = [] { return vantoli::machineIdentifier(); };
    if (vantoli::runStartup(ctx) != vantoli::StartupOutcome::WindowShown)
        return 0;
    if (atStart.request == vantoli::OutsideRequest::CatalogLink || atStart.request == vantoli::OutsideRequest::TvLink)
        QTimer::singleShot(0, window.get(), [w = window.get(), c = commandLine] { w->openFromOutside(c); });
    const int result = QApplication::exec();
    dialogs.setOwner(nullptr);
    window.reset();
    return result;
}
