// The statistics store's bounds: old rows go, the totals stay exact, a
// database of an earlier build keeps its counts; and the per-address limit
// that guards it forgets addresses instead of growing.

#include "content_server.h"
#include "stats.h"

#include "app/machine_id.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QTemporaryDir>

using namespace vantoli;
using namespace vantoli::server;
using namespace std::chrono_literals;

namespace {

Ping pingFrom(int machine, PingKind kind, bool verified) {
    const QString enid = statisticsIdentity(QStringLiteral("0"), QStringLiteral("m-%1").arg(machine));
    const QString us = QString::number(verified ? checkNumber(enid) : checkNumber(enid) + 1);
    return {kind, enid, us, QStringLiteral("127.0.0.1")};
}

} // namespace

TEST(StatsStore, KeepsTheNewestRowsAndExactTotals) {
    QTemporaryDir dir;
    StatsStore store;
    ASSERT_TRUE(store.open(dir.path().toStdString())) << store.error();
    store.setKeep(50);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(store.record(pingFrom(i % 7, i % 3 ? PingKind::Play : PingKind::Start, i % 5 != 0)));
    EXPECT_EQ(store.storedPings(), 50);
    const StatsSummary s = store.summary();
    EXPECT_EQ(s.starts, 100);
    EXPECT_EQ(s.plays, 200);
    EXPECT_EQ(s.machines, 7);
    EXPECT_EQ(s.unverified, 60);

    // The counts live in the file, not in the process.
    StatsStore again;
    ASSERT_TRUE(again.open(dir.path().toStdString()));
    EXPECT_EQ(again.summary().plays, 200);
    ASSERT_TRUE(again.record(pingFrom(8, PingKind::Start, true)));
    EXPECT_EQ(again.summary().machines, 8);
}

TEST(StatsStore, ADatabaseOfAnEarlierBuildKeepsItsCounts) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/stats.db";
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE pings(id INTEGER PRIMARY KEY, time TEXT NOT NULL, kind TEXT NOT NULL,"
                           " enid TEXT NOT NULL, us TEXT NOT NULL, identity TEXT NOT NULL,"
                           " check_ok INTEGER NOT NULL, remote TEXT NOT NULL);"
                           "INSERT INTO pings VALUES(1,'t','start','e','1','0|a|1|1.0',1,'r');"
                           "INSERT INTO pings VALUES(2,'t','play','e','1','0|a|1|1.0',0,'r');"
                           "INSERT INTO pings VALUES(3,'t','play','e','1','0|b|1|1.0',1,'r');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    StatsStore store;
    ASSERT_TRUE(store.open(dir.path().toStdString())) << store.error();
    StatsSummary s = store.summary();
    EXPECT_EQ(s.starts, 1);
    EXPECT_EQ(s.plays, 2);
    EXPECT_EQ(s.machines, 2);
    EXPECT_EQ(s.unverified, 1);
    ASSERT_TRUE(store.record(pingFrom(1, PingKind::Start, true)));
    s = store.summary();
    EXPECT_EQ(s.starts, 2);
    EXPECT_EQ(s.machines, 3);
    EXPECT_EQ(store.storedPings(), 4);
}

TEST(RateLimit, RefillsPerAddressAndForgetsIdleAddresses) {
    RateLimit limit(3, 1000ms);
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limit.take("10.0.0.1", t0));
    EXPECT_FALSE(limit.take("10.0.0.1", t0));
    EXPECT_TRUE(limit.take("10.0.0.2", t0));
    EXPECT_FALSE(limit.take("10.0.0.1", t0 + 900ms));
    EXPECT_TRUE(limit.take("10.0.0.1", t0 + 1000ms));
    EXPECT_FALSE(limit.take("10.0.0.1", t0 + 1000ms));

    for (int i = 0; i < 5000; ++i)
        limit.take("addr" + std::to_string(i), t0);
    EXPECT_GE(limit.tracked(), 4096u);
    // Once their buckets are full again, they are dropped.
    EXPECT_TRUE(limit.take("late", t0 + 10s));
    EXPECT_LT(limit.tracked(), 10u);
}
