#include "playback/processes_module.h"

#include "app/program_folder.h"
#include "platform/process_table.h"
#include "playback/cache_folder.h"
#include "playback/player_processes.h"

#include <QCoreApplication>

namespace vantoli {

ProcessesModule::ProcessesModule(ProcessTable *table, Settings &settings, const QString &programFolder) {
    if (!table) {
        ownTable_ = makeProcessTable();
        table = ownTable_.get();
    }
    // The player programs are in "Peer/" beside the executable in the build
    // tree, under lib/vantoli/ once installed.
    auto processes = std::make_unique<TablePlayerProcesses>(
        *table, settings, playerProgramsFolder(QCoreApplication::applicationDirPath()));
    // The player's configuration (its cache folder) is the user's, in the
    // program folder: an installed player folder is the system's.
    processes->setUserConfigFolder(inFolder(programFolder, QStringLiteral("Peer/")));
    processes_ = std::move(processes);

    timer3_.setObjectName(QStringLiteral("Timer3"));
    timer3_.setSingleShot(true);
    timer3_.setInterval(10);
    QObject::connect(&timer3_, &QTimer::timeout, [this] { processes_->runHousekeeping(); });
    timer3_.start();
}

ProcessesModule::~ProcessesModule() = default;

void ProcessesModule::ensureTerminalRunning() { processes_->ensureTerminalRunning(); }

QString ProcessesModule::configFolder() const { return processes_->configFolder(); }

QString ProcessesModule::downloadFolder() const { return lookUpCacheFolder(processes_->configFolder()); }

} // namespace vantoli
