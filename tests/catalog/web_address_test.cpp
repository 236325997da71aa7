// Addresses compared as addresses: what the engine reports against what the
// user gave on the command line.

#include "catalog/web_address.h"

#include <gtest/gtest.h>

using namespace vantoli;

TEST(WebAddress, SamePageDespiteHowItIsWritten) {
    const QString page = QStringLiteral("http://LOCALHOST:8260/play-ended.htm");
    EXPECT_TRUE(isSameWebPage(QStringLiteral("http://localhost:8260/play-ended.htm"), page));
    EXPECT_TRUE(isSameWebPage(QStringLiteral("http://localhost:8260/play-ended.htm?ep=3#end"), page));
    EXPECT_TRUE(isSameWebPage(QStringLiteral("http://h/x"), QStringLiteral("HTTP://H:80/x")));
    EXPECT_TRUE(isSameWebPage(QStringLiteral("https://h/"), QStringLiteral("https://h:443")));

    EXPECT_FALSE(isSameWebPage(QStringLiteral("http://localhost:8261/play-ended.htm"), page));
    EXPECT_FALSE(isSameWebPage(QStringLiteral("https://localhost:8260/play-ended.htm"), page));
    EXPECT_FALSE(isSameWebPage(QStringLiteral("http://localhost:8260/PLAY-ENDED.htm"), page)) << "paths keep their case";
    EXPECT_FALSE(isSameWebPage(QStringLiteral("http://localhost:8260/play-ended.htm.x"), page));
    // The text of the page elsewhere in an address is not the page.
    EXPECT_FALSE(isSameWebPage(QStringLiteral("http://other/?u=http://localhost:8260/play-ended.htm"), page));
    EXPECT_FALSE(isSameWebPage(QString(), QString()));
    EXPECT_FALSE(isSameWebPage(QStringLiteral("about:blank"), QStringLiteral("about:blank")));
}

TEST(WebAddress, UnderTheBase) {
    const QString base = QStringLiteral("http://Example.TEST:8260/vod/");
    EXPECT_TRUE(isUnderWebBase(QStringLiteral("http://example.test:8260/vod/"), base));
    EXPECT_TRUE(isUnderWebBase(QStringLiteral("http://example.test:8260/vod/tv/list.htm?x"), base));
    EXPECT_FALSE(isUnderWebBase(QStringLiteral("http://example.test:8260/other/"), base));
    EXPECT_FALSE(isUnderWebBase(QStringLiteral("http://example.test/vod/"), base));
    EXPECT_FALSE(isUnderWebBase(QStringLiteral("http://evil.test/http://example.test:8260/vod/"), base));
    EXPECT_TRUE(isUnderWebBase(QStringLiteral("http://127.0.0.1:8260/a"), QStringLiteral("http://127.0.0.1:8260")));
}
