// The statistics identity and the two ping addresses.

#include "app/first_pages.h"
#include "app/machine_id.h"
#include "notices/pings.h"

#include <gtest/gtest.h>

using namespace vantoli;

TEST(Pings, IdentityOfAnEmptyProfileIsTheDefaultsAndEntersTheAddressAsItIs) {
    const StatisticsPings p(QStringLiteral("http://s/stat/"), QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_EQ(unscramble(p.identity()), QStringLiteral("0|0|1|1.0"));
    EXPECT_EQ(p.checkNumber(), checkNumber(p.identity()));
    EXPECT_EQ(p.startPingUrl(), QStringLiteral("http://s/stat/tongji.php?enid=") + p.identity() +
                                    QStringLiteral("&us=") + QString::number(p.checkNumber()));
    EXPECT_EQ(p.playPingUrl(), QStringLiteral("http://s/stat/tongjidb.php?enid=") + p.identity() +
                                   QStringLiteral("&us=") + QString::number(p.checkNumber()));
}

TEST(FirstPages, LoadInTheirOrderWithThePingBeforeTheAdvertisementAndTvPanes) {
    const auto pages = firstPages(QStringLiteral("http://c/"), QStringLiteral("/h/c.htm"), QStringLiteral("/h/f.htm"),
                                  QStringLiteral("ping"));
    QList<int> order;
    for (const FirstPage &p : pages)
        order << p.pane;
    EXPECT_EQ(order, (QList<int>{1, 2, 3, 4, 5, 6, 8, 9, 7, 11, 10}));
    EXPECT_EQ(pages.at(0).address, QStringLiteral("http://c/"));
    EXPECT_EQ(pages.at(2).address, QStringLiteral("/h/c.htm"));
    EXPECT_EQ(pages.at(5).address, QStringLiteral("ping"));
    EXPECT_EQ(pages.at(8).address, QStringLiteral("http://c/js/ads/peerad.html"));
    EXPECT_EQ(pages.at(10).address, QStringLiteral("http://c/tv/ad.htm"));
}
