// The fakes other layers' tests rely on keep the real layers' rules: one
// fetch at a time, abort gives "", busy() only while a fetch runs.

#include "platform/fake_http_get.h"
#include "platform/fake_power.h"

#include <gtest/gtest.h>

namespace vantoli {
namespace {

TEST(PlatformFakes, FakeHttpGetKeepsTheRealRules) {
    FakeHttpGet http;
    http.replies.insert(QStringLiteral("http://a/"), QStringLiteral("A"));
    http.replies.insert(QStringLiteral("http://b/"), QStringLiteral("B"));
    EXPECT_EQ(http.get(QStringLiteral("http://a/")), QStringLiteral("A"));
    EXPECT_EQ(http.get(QStringLiteral("http://unknown/")), QString());

    QString nested = QStringLiteral("not called");
    bool busyInside = false;
    http.duringGet = [&](const QString &url) {
        busyInside = http.busy();
        nested = http.get(QStringLiteral("http://a/"));
        if (url == u"http://b/")
            http.abort();
    };
    EXPECT_EQ(http.get(QStringLiteral("http://a/")), QStringLiteral("A"));
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(nested, QString());
    EXPECT_EQ(http.get(QStringLiteral("http://b/")), QString());
    EXPECT_FALSE(http.busy());
    EXPECT_EQ(http.refusedNested, 2);
    EXPECT_EQ(http.requested, (QStringList{"http://a/", "http://unknown/", "http://a/", "http://b/"}));

    FakePower power;
    power.result = false;
    EXPECT_FALSE(power.powerOff());
    EXPECT_EQ(power.requests, 1);
}

} // namespace
} // namespace vantoli
