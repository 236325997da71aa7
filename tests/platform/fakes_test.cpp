// The fakes other layers' tests rely on keep the real layers' rules: no
// reply from inside start(), none for a cancelled fetch.

#include "support/fake_http_get.h"
#include "support/fake_power.h"

#include <gtest/gtest.h>

namespace vantoli {
namespace {

TEST(PlatformFakes, FakeHttpGetKeepsTheRealRules) {
    FakeAsyncHttpGet http;
    http.replies.insert(QStringLiteral("http://a/"), QStringLiteral("A"));
    QStringList got;
    http.start(QStringLiteral("http://a/"), [&](const QString &body) { got << body; });
    const quint64 b = http.start(QStringLiteral("http://b/"), [&](const QString &body) { got << body; });
    http.start(QStringLiteral("http://unknown/"), [&](const QString &body) { got << u'[' + body + u']'; });
    EXPECT_TRUE(got.isEmpty());
    http.cancel(b);
    http.cancel(b);
    http.answerAll();
    EXPECT_EQ(got, (QStringList{QStringLiteral("A"), QStringLiteral("[]")}));
    EXPECT_EQ(http.cancelled, QStringList{QStringLiteral("http://b/")});
    EXPECT_EQ(http.requested, (QStringList{"http://a/", "http://b/", "http://unknown/"}));

    FakePower power;
    power.result = false;
    EXPECT_FALSE(power.powerOff());
    EXPECT_EQ(power.requests, 1);
}

} // namespace
} // namespace vantoli
