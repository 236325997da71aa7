#include "stats.h"

#include "app/machine_id.h"

#include <sqlite3.h>

#include <QDateTime>

namespace vantoli::server {

bool isValidPing(const QString &enid, const QString &us) {
    if (enid.isEmpty() || enid.size() > 256)
        return false;
    for (const QChar c : enid)
        if (!kScramblePermutation.contains(c))
            return false;
    bool ok = false;
    us.toInt(&ok, 10);
    return ok && !us.isEmpty() && us.size() <= 11 && !us.startsWith(u'+') && us.trimmed() == us;
}

PingIdentity identifyPing(const QString &enid, const QString &us) {
    return {unscramble(enid), QString::number(checkNumber(enid)) == us};
}

bool StatsStore::open(const std::string &dataDir) {
    if (!db_.open(dataDir + "/stats.db", Database::Mode::Create))
        return false;
    return db_.exec("PRAGMA journal_mode=WAL;"
                    "CREATE TABLE IF NOT EXISTS pings("
                    "  id INTEGER PRIMARY KEY, time TEXT NOT NULL, kind TEXT NOT NULL,"
                    "  enid TEXT NOT NULL, us TEXT NOT NULL, identity TEXT NOT NULL,"
                    "  check_ok INTEGER NOT NULL, remote TEXT NOT NULL);");
}

bool StatsStore::record(const Ping &ping) {
    const PingIdentity id = identifyPing(ping.enid, ping.us);
    std::lock_guard lock(mutex_);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_.handle(),
                           "INSERT INTO pings(time, kind, enid, us, identity, check_ok, remote) "
                           "VALUES(?,?,?,?,?,?,?)",
                           -1, &st, nullptr) != SQLITE_OK)
        return false;
    const QByteArray fields[] = {
        QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8(),
        ping.kind == PingKind::Start ? QByteArray("start") : QByteArray("play"),
        ping.enid.toUtf8(), ping.us.toUtf8(), id.identity.toUtf8()};
    for (int i = 0; i < 5; ++i)
        sqlite3_bind_text(st, i + 1, fields[i].constData(), int(fields[i].size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 6, id.checkOk ? 1 : 0);
    const QByteArray remote = ping.remote.left(64).toUtf8();
    sqlite3_bind_text(st, 7, remote.constData(), int(remote.size()), SQLITE_TRANSIENT);
    const bool ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    return ok;
}

StatsSummary StatsStore::summary() {
    StatsSummary s;
    std::lock_guard lock(mutex_);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_.handle(),
                           "SELECT"
                           " (SELECT count(*) FROM pings WHERE kind='start'),"
                           " (SELECT count(*) FROM pings WHERE kind='play'),"
                           " (SELECT count(DISTINCT identity) FROM pings),"
                           " (SELECT count(*) FROM pings WHERE check_ok=0)",
                           -1, &st, nullptr) != SQLITE_OK)
        return s;
    if (sqlite3_step(st) == SQLITE_ROW) {
        s.starts = sqlite3_column_int64(st, 0);
        s.plays = sqlite3_column_int64(st, 1);
        s.machines = sqlite3_column_int64(st, 2);
        s.unverified = sqlite3_column_int64(st, 3);
    }
    sqlite3_finalize(st);
    return s;
}

} // namespace vantoli::server
