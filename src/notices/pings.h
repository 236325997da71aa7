#pragma once
// The usage pings: the installation identity (inst "|" user "|1|1.0",
// scrambled) with its check number, and the two ping addresses on the
// statistics server. The identity enters the address as it is.

#include <QString>

namespace vantoli {

class StatisticsPings {
public:
    // inst and user as read from App.ini (main/inst and user/Name).
    StatisticsPings(QString statsBase, const QString &inst, const QString &user);

    QString startPingUrl() const; // tongji.php
    QString playPingUrl() const;  // tongjidb.php
    const QString &identity() const { return identity_; }
    qint32 checkNumber() const { return checkNumber_; }

private:
    QString url(const char *page) const;

    QString statsBase_;
    QString identity_;
    qint32 checkNumber_ = 0;
};

} // namespace vantoli
