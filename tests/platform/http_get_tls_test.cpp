// The HTTP layer over https against TLS servers on the loopback interface,
// with certificates the test makes: a trusted one for localhost and
// 127.0.0.1, one from an authority nobody trusts, one for another host name
// and one that has expired. Only the first is fetched; the others are refused with
// one line on standard error, and no https fetch is handed on to plain http.

#include "platform/http_get.h"

#include "support/waiting_http_get.h"
#include "tls/tls_test_server.h"

#include <QTcpServer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantoli {
namespace {

using tlstest::answerOnce;
using tlstest::TlsServer;
QByteArray page(const QByteArray &body) { return tlstest::httpReply(body); }
QByteArray redirect(const QString &to) { return tlstest::httpRedirect(to); }

class HttpsGetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        certs_ = new QTemporaryDir;
        ASSERT_TRUE(tlstest::makeTestCertificates(certs_->path()));
        // The program trusts the authorities this file names instead of the system's.
        qputenv("SSL_CERT_FILE", certs_->filePath(QStringLiteral("ca.pem")).toLocal8Bit());
    }
    static void TearDownTestSuite() {
        delete certs_;
        certs_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(QSslSocket::supportsSsl()); }

    static QString certs() { return certs_->path(); }
    static QTemporaryDir *certs_;
};
QTemporaryDir *HttpsGetTest::certs_ = nullptr;

TEST_F(HttpsGetTest, AServerWithATrustedCertificateIsFetchedByNameAndAddress) {
    TlsServer server(certs(), QStringLiteral("server"), page("片名"));
    WaitingHttpGet http(3000);
    EXPECT_EQ(http.get(server.url()), QString::fromUtf8("片名"));
    EXPECT_EQ(http.get(server.url("127.0.0.1")), QString::fromUtf8("片名"));
}

TEST_F(HttpsGetTest, ACertificateThatDoesNotVerifyIsRefusedAndSaidOnceWhy) {
    TlsServer stranger(certs(), QStringLiteral("stranger"), page("forged"));
    TlsServer wrongHost(certs(), QStringLiteral("wronghost"), page("forged"));
    TlsServer expired(certs(), QStringLiteral("expired"), page("forged"));
    WaitingHttpGet http(3000);
    const struct {
        const TlsServer &server;
        const char *reason;
    } cases[] = {{stranger, "issuer"}, {wrongHost, "host name"}, {expired, "expired"}};
    for (const auto &c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(http.get(c.server.url()), QString()) << c.reason;
        EXPECT_EQ(http.get(c.server.url()), QString()) << c.reason;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("refused " + c.server.server().toStdString() + ": its certificate does not verify"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find(c.reason), std::string::npos) << said;
        // The second refusal of the same server says nothing new.
        EXPECT_EQ(said.find("refused", said.find("refused") + 1), std::string::npos) << said;
    }
    // The layer still fetches from a server that verifies.
    TlsServer good(certs(), QStringLiteral("server"), page("ok"));
    EXPECT_EQ(http.get(good.url()), QStringLiteral("ok"));
}

TEST_F(HttpsGetTest, AnHttpsAddressIsNeverHandedOnToPlainHttp) {
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress::LocalHost));
    QObject::connect(&plain, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket *socket = plain.nextPendingConnection())
            answerOnce(socket, page("unprotected"));
    });
    const QString plainUrl = QStringLiteral("http://127.0.0.1:%1/x").arg(plain.serverPort());
    TlsServer downgrade(certs(), QStringLiteral("server"), redirect(plainUrl));
    TlsServer good(certs(), QStringLiteral("server"), page("protected"));
    TlsServer upgrade(certs(), QStringLiteral("server"), redirect(good.url()));
    WaitingHttpGet http(3000);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(http.get(downgrade.url()), QString());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("redirects to plain http"), std::string::npos);
    // https to https is followed, and plain http itself still works.
    EXPECT_EQ(http.get(upgrade.url()), QStringLiteral("protected"));
    EXPECT_EQ(http.get(plainUrl), QStringLiteral("unprotected"));
}

TEST_F(HttpsGetTest, FetchesSideBySideEachKeepTheRules) {
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress::LocalHost));
    QObject::connect(&plain, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket *socket = plain.nextPendingConnection())
            answerOnce(socket, page("unprotected"));
    });
    TlsServer good(certs(), QStringLiteral("server"), page("1$https://localhost/a.mp4$peer"));
    TlsServer stranger(certs(), QStringLiteral("stranger"), page("forged"));
    TlsServer downgrade(certs(), QStringLiteral("server"),
                        redirect(QStringLiteral("http://127.0.0.1:%1/x").arg(plain.serverPort())));
    WaitingHttpGet http(3000);
    QStringList replies(3, QStringLiteral("none"));
    const QString urls[] = {good.url(), stranger.url(), downgrade.url()};
    for (int i = 0; i < 3; ++i)
        http.start(urls[i], [&, i](const QString &body) { replies[i] = body; });
    EXPECT_TRUE(http.waitForReplies(3, 5000));
    EXPECT_EQ(replies, (QStringList{QStringLiteral("1$https://localhost/a.mp4$peer"), QString(), QString()}));
}

} // namespace
} // namespace vantoli
