// Entry point: command line, program folder, then the start-up sequence.

#include "app/instance_link.h"
#include "app/machine_id.h"
#include "app/program_folder.h"
#include "app/qt_dialogs.h"
#include "app/startup.h"
#include "desktop/outside_link.h"
#include "platform/ending_signals.h"
#include "platform/file_name.h"
#include "platform/web_pane.h"
#include "playback/play_address.h"
#include "playback/player_factory.h"
#include "shell/ba1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

// Server paths are appended to the base addresses: "http://h:8260" must
// become "http://h:8260/".
QString withTrailingSlash(QString url) {
    if (!url.endsWith(u'/'))
        url += u'/';
    return url;
}

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("vantoli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTOLI_VERSION));
}

// --help, --version and a command line that cannot be parsed are answered
// before any window system is asked for, so they work without a display.
// Returns only when the program is to start.
void answerWithoutWindow(QCommandLineParser &parser, int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (parser.parse(arguments) && !parser.isSet(QStringLiteral("help")) &&
        !parser.isSet(QStringLiteral("help-all")) && !parser.isSet(QStringLiteral("version")))
        return;
    QCoreApplication core(argc, argv);
    nameApplication();
    parser.process(core); // prints the answer or the error and ends the process
    std::exit(0);
}

} // namespace

int main(int argc, char *argv[]) {
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
    answerWithoutWindow(parser, argc, argv);

    // The web engine's start-up report is for those who ask for it
    // (QT_LOGGING_RULES overrides this).
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    // The web engine's schemes and switches must be set before the application exists.
    vantoli::prepareWebEngineStart();
    QApplication app(argc, argv);
    nameApplication();
    // The desktop entry and the window belong together (Wayland app id, task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("vantoli"));
    // The player engine parses numbers with the C locale.
    std::setlocale(LC_NUMERIC, "C");
    // Logout, shutdown, `kill`, a closed terminal and Ctrl+C: held from here
    // on, and handled once the window runs.
    vantoli::EndingSignals endingSignals;
    // Arguments by their bytes: a file name that is not UTF-8 still names
    // its file (Qt's own decoding would put U+FFFD in its place).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << vantoli::fileNameFromBytes(argv[i]);
    parser.process(arguments);

    const QString folder =
        vantoli::resolveProgramFolder(parser.value(homeOption), QCoreApplication::applicationDirPath());

    // A file named on the command line is handed on as an absolute path, so
    // the running instance finds it from its own working folder.
    QString commandLine = parser.positionalArguments().value(0);
    if (!commandLine.isEmpty() && vantoli::localFileExists(commandLine))
        commandLine = vantoli::absoluteFileName(commandLine);

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
    QString linkProblem;
    const auto link = vantoli::InstanceLink::forCurrentUser(&linkProblem);
    // Without a private folder there is no safe place to meet a later
    // start: this one runs on its own.
    if (!link)
        std::fprintf(stderr, "vantoli: %s; a later start opens a window of its own\n", qPrintable(linkProblem));
    std::unique_ptr<vantoli::shell::BA1> window;

    vantoli::StartupContext ctx;
    ctx.programFolder = folder;
    ctx.playerFactory = factory.get();
    ctx.dialogs = &dialogs;
    ctx.makeWindow = [&]() -> vantoli::MainWindowHost * {
        // Another instance runs: it gets the command line, this start ends.
        if (link && !link->claim()) {
            link->sendToRunning(commandLine);
            return nullptr;
        }
        window = std::make_unique<vantoli::shell::BA1>(options, dialogs);
        dialogs.setOwner(window.get());
        if (link)
            QObject::connect(link.get(), &vantoli::InstanceLink::commandLineReceived, window.get(),
                             [w = window.get()](const QString &text) { w->openFromOutside(text); });
        return window.get();
    };
    ctx.machineIdentifier = [] { return vantoli::machineIdentifier(); };
    if (vantoli::runStartup(ctx) != vantoli::StartupOutcome::WindowShown)
        return 0;
    // An ending signal ends the program the way its exit command does:
    // positions saved, its programs ended. So does the session ending the
    // event loop by other means.
    QObject::connect(&endingSignals, &vantoli::EndingSignals::received, window.get(),
                     [w = window.get()] { w->endSession(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, window.get(), [w = window.get()] { w->endSession(); });
    if (atStart.request == vantoli::OutsideRequest::CatalogLink || atStart.request == vantoli::OutsideRequest::TvLink)
        QTimer::singleShot(0, window.get(), [w = window.get(), c = commandLine] { w->openFromOutside(c); });
    const int result = QApplication::exec();
    dialogs.setOwner(nullptr);
    window.reset();
    return result;
}
