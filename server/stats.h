#pragma once
// Usage pings from the program, kept in DATA/stats.db: the newest pings in
// full (one row each), and running totals of every ping ever recorded, which
// is all the summary needs. Older rows are deleted as new ones come, so the
// file stays bounded.

#include "catalog.h"

#include <QString>

#include <algorithm>
#include <initializer_list>
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
    // Distinct machines are counted up to this many; past it the count
    // stays put rather than the table growing.
    static constexpr qint64 kMaxMachines = 1000000;

    bool open(const std::string &dataDir);
    std::string error() const { return db_.error(); }
    // How many of the newest pings are kept in full (at least 1).
    void setKeep(long long pings) { keep_ = std::max(1LL, pings); }
    bool record(const Ping &ping);
    StatsSummary summary();
    // Rows in the pings table.
    qint64 storedPings();

private:
    bool exec(const char *sql, std::initializer_list<qint64> values = {});
    bool addTotals();

    std::mutex mutex_;
    Database db_;
    long long keep_ = 100000;
    long long sincePrune_ = 0;
};

} // namespace vantoli::server
