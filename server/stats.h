#pragma once
// Usage pings from the program: one row per start-up or play ping, kept in
// DATA/stats.db.

#include "catalog.h"

#include <QString>

#include <mutex>

namespace vantoli::server {

enum class PingKind { Start, Play };

struct Ping {
    PingKind kind = PingKind::Start;
    QString enid;     // scrambled identity, as sent
    QString us;       // check number, as sent
    QString remote;   // client address
};

// What a ping tells once its scramble is reversed.
struct PingIdentity {
    QString identity; // inst "|" user "|1|1.0", recovered from enid
    bool checkOk = false; // us equals the check number of enid
};

// enid must be 1..256 characters of the scramble alphabet and us a 32-bit
// decimal integer; anything else is not recorded.
bool isValidPing(const QString &enid, const QString &us);
PingIdentity identifyPing(const QString &enid, const QString &us);

struct StatsSummary {
    qint64 starts = 0;
    qint64 plays = 0;
    qint64 machines = 0;   // distinct recovered identities
    qint64 unverified = 0; // pings whose check number did not match
};

class StatsStore {
public:
    bool open(const std::string &dataDir);
    std::string error() const { return db_.error(); }
    bool record(const Ping &ping);
    StatsSummary summary();

private:
    std::mutex mutex_;
    Database db_;
};

} // namespace vantoli::server
