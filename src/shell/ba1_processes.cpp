// Player processes and the cache folder. Wired into the main window here.
#include "shell/ba1.h"

#include "app/program_folder.h"
#include "platform/process_table.h"
#include "playback/player_processes.h"

#include <QCoreApplication>
#include <QTimer>

namespace vantoli::shell {

void BA1::wireProcesses() {
    ProcessTable *table = options_.processTable;
    if (!table) {
        ownProcessTable_ = makeProcessTable();
        table = ownProcessTable_.get();
    }
    // The player programs are in "Peer/" beside the executable in the build
    // tree, under lib/vantoli/ once installed.
    auto processes = std::make_unique<TablePlayerProcesses>(
        *table, settings_, playerProgramsFolder(QCoreApplication::applicationDirPath()));
    // The player's configuration (its cache folder) is the user's, in the
    // program folder: an installed player folder is the system's.
    processes->setUserConfigFolder(inFolder(options_.programFolder, QStringLiteral("Peer/")));
    processes_ = std::move(processes);

    // Timer3: one housekeeping run shortly after load, and one more each
    // time a link execute enables it again.
    timer3_ = new QTimer(this);
    timer3_->setObjectName(QStringLiteral("Timer3"));
    timer3_->setSingleShot(true);
    timer3_->setInterval(10);
    connect(timer3_, &QTimer::timeout, this, [this] { processes_->runHousekeeping(); });
    timer3_->start();
}

void BA1::ensureTransferRunning() {
    if (processes_)
        processes_->ensureTerminalRunning();
}

} // namespace vantoli::shell
