#include "stats.h"

#include "app/machine_id.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDateTime>

#include <cstring>

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

namespace {

// A stable number for an identity; counting distinct numbers counts the
// machines without keeping every identity's text.
qint64 identityKey(const QString &identity) {
    const QByteArray h = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1);
    qint64 key = 0;
    std::memcpy(&key, h.constData(), sizeof key);
    return key;
}

} // namespace

bool StatsStore::open(const std::string &dataDir) {
    if (!db_.open(dataDir + "/stats.db", Database::Mode::Create))
        return false;
    return db_.exec("PRAGMA journal_mode=WAL;"
                    "CREATE TABLE IF NOT EXISTS pings("
                    "  id INTEGER PRIMARY KEY, time TEXT NOT NULL, kind TEXT NOT NULL,"
                    "  enid TEXT NOT NULL, us TEXT NOT NULL, identity TEXT NOT NULL,"
                    "  check_ok INTEGER NOT NULL, remote TEXT NOT NULL);"
                    "CREATE TABLE IF NOT EXISTS machines(key INTEGER PRIMARY KEY);") &&
           addTotals();
}

bool StatsStore::exec(const char *sql, std::initializer_list<qint64> values) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_.handle(), sql, -1, &st, nullptr) != SQLITE_OK) {
        db_.setError(sqlite3_errmsg(db_.handle()));
        return false;
    }
    int i = 0;
    for (const qint64 v : values)
        sqlite3_bind_int64(st, ++i, v);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        db_.setError(sqlite3_errmsg(db_.handle()));
    return rc == SQLITE_DONE;
}

// Databases of earlier builds hold pings only; their totals are counted
// from those rows once.
bool StatsStore::addTotals() {
    std::lock_guard lock(mutex_);
    if (!db_.exec("BEGIN IMMEDIATE"))
        return false;
    bool ok = true;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db_.handle(), "SELECT count(*) FROM sqlite_master WHERE name='totals'", -1, &st, nullptr);
    const bool present = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int64(st, 0) > 0;
    sqlite3_finalize(st);
    if (!present) {
        ok = db_.exec("CREATE TABLE totals(id INTEGER PRIMARY KEY CHECK(id = 1),"
                      "  starts INTEGER NOT NULL, plays INTEGER NOT NULL,"
                      "  unverified INTEGER NOT NULL, machines INTEGER NOT NULL)");
        st = nullptr;
        if (ok && sqlite3_prepare_v2(db_.handle(), "SELECT DISTINCT identity FROM pings", -1, &st, nullptr) == SQLITE_OK) {
            while (ok && sqlite3_step(st) == SQLITE_ROW) {
                const QString identity = QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
                ok = exec("INSERT OR IGNORE INTO machines(key) VALUES(?)", {identityKey(identity)});
            }
        }
        sqlite3_finalize(st);
        ok = ok && db_.exec("INSERT INTO totals SELECT 1,"
                            " (SELECT count(*) FROM pings WHERE kind='start'),"
                            " (SELECT count(*) FROM pings WHERE kind='play'),"
                            " (SELECT count(*) FROM pings WHERE check_ok=0),"
                            " (SELECT count(*) FROM machines)");
    }
    if (ok)
        return db_.exec("COMMIT");
    const std::string why = db_.error();
    db_.exec("ROLLBACK");
    db_.setError(why);
    return false;
}

bool StatsStore::record(const Ping &ping) {
    const PingIdentity id = identifyPing(ping.enid, ping.us);
    std::lock_guard lock(mutex_);
    if (!db_.exec("BEGIN IMMEDIATE"))
        return false;
    sqlite3_stmt *st = nullptr;
    bool ok = sqlite3_prepare_v2(db_.handle(),
                                 "INSERT INTO pings(time, kind, enid, us, identity, check_ok, remote) "
                                 "VALUES(?,?,?,?,?,?,?)",
                                 -1, &st, nullptr) == SQLITE_OK;
    if (ok) {
        const QByteArray fields[] = {
            QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8(),
            ping.kind == PingKind::Start ? QByteArray("start") : QByteArray("play"),
            ping.enid.toUtf8(), ping.us.toUtf8(), id.identity.toUtf8()};
        for (int i = 0; i < 5; ++i)
            sqlite3_bind_text(st, i + 1, fields[i].constData(), int(fields[i].size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 6, id.checkOk ? 1 : 0);
        const QByteArray remote = ping.remote.left(64).toUtf8();
        sqlite3_bind_text(st, 7, remote.constData(), int(remote.size()), SQLITE_TRANSIENT);
        ok = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    const qint64 row = sqlite3_last_insert_rowid(db_.handle());
    const bool start = ping.kind == PingKind::Start;
    ok = ok &&
         exec("UPDATE totals SET starts = starts + ?, plays = plays + ?, unverified = unverified + ? WHERE id = 1",
              {start ? 1 : 0, start ? 0 : 1, id.checkOk ? 0 : 1}) &&
         exec("INSERT OR IGNORE INTO machines(key) SELECT ? WHERE (SELECT machines FROM totals) < ?",
              {identityKey(id.identity), kMaxMachines});
    if (ok && sqlite3_changes(db_.handle()) == 1)
        ok = exec("UPDATE totals SET machines = machines + 1 WHERE id = 1");
    // Row ids only grow, so the newest `keep_` rows are those above this.
    ok = ok && exec("DELETE FROM pings WHERE id <= ?", {row - keep_});
    if (ok && db_.exec("COMMIT"))
        return true;
    db_.exec("ROLLBACK");
    return false;
}

StatsSummary StatsStore::summary() {
    StatsSummary s;
    std::lock_guard lock(mutex_);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_.handle(), "SELECT starts, plays, machines, unverified FROM totals WHERE id = 1", -1,
                           &st, nullptr) != SQLITE_OK)
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

qint64 StatsStore::storedPings() {
    std::lock_guard lock(mutex_);
    sqlite3_stmt *st = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(db_.handle(), "SELECT count(*) FROM pings", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}

} // namespace vantoli::server
