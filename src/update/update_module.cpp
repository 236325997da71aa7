#include "update/update_module.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace vantoli {

UpdateModule::UpdateModule(UpdateModuleServices services)
    : s_(std::move(services)),
      launcher_(s_.contentBase, QCoreApplication::applicationDirPath(),
                QFileInfo(QCoreApplication::applicationFilePath()).fileName(), QCoreApplication::arguments().mid(1),
                selfUpdateBuilt()),
      check_(*s_.http, *s_.dialogs, *s_.settings, *s_.session, *this, launcher_, s_.contentBase) {
    check_.setRefusedVersion(takeRefusedVersion());
    timer5_.setSingleShot(true);
    timer5_.setInterval(6000);
    QObject::connect(&timer5_, &QTimer::timeout, [this] { check_.timedCheck(); });
    timer5_.start();
}

} // namespace vantoli
