#include "notices/pings.h"

#include "app/machine_id.h"

namespace vantoli {

StatisticsPings::StatisticsPings(QString statsBase, const QString &inst, const QString &user)
    : statsBase_(std::move(statsBase)), identity_(statisticsIdentity(inst, user)),
      checkNumber_(vantoli::checkNumber(identity_)) {}

QString StatisticsPings::url(const char *page) const {
    return statsBase_ + QString::fromLatin1(page) + QStringLiteral("?enid=") + identity_ + QStringLiteral("&us=") +
           QString::number(checkNumber_);
}

QString StatisticsPings::startPingUrl() const { return url("tongji.php"); }
QString StatisticsPings::playPingUrl() const { return url("tongjidb.php"); }

} // namespace vantoli
