// HttpGet over https against TLS servers on the loopback interface, with
// certificates the test makes: a trusted one for localhost and 127.0.0.1,
// one from an authority nobody trusts, one for another host name and one
// that has expired. Only the first is fetched; the others are refused with
// one line on standard error, and no https fetch is handed on to plain http.

#include "platform/http_get.h"

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace vantoli {
namespace {

// Answers every request on one connection with a fixed reply and closes.
void answer(QTcpSocket *socket, QByteArray reply) {
    auto request = std::make_shared<QByteArray>();
    QObject::connect(socket, &QIODevice::readyRead, socket, [socket, request, reply] {
        *request += socket->readAll();
        if (!request->contains("\r\n\r\n"))
            return;
        socket->write(reply);
        socket->disconnectFromHost();
    });
    QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
}

QByteArray page(const QByteArray &body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray redirect(const QString &to) {
    return "HTTP/1.1 302 Found\r\nLocation: " + to.toUtf8() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

class TlsServer {
public:
    TlsServer(const QString &certs, const QString &name, QByteArray reply) {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificateChain(QSslCertificate::fromPath(certs + u'/' + name + QStringLiteral(".pem")));
        QFile key(certs + u'/' + name + QStringLiteral(".key"));
        key.open(QIODevice::ReadOnly);
        config.setPrivateKey(QSslKey(&key, QSsl::Ec));
        server_.setSslConfiguration(config);
        QObject::connect(&server_, &QTcpServer::pendingConnectionAvailable, &server_, [this, reply] {
            while (QTcpSocket *socket = server_.nextPendingConnection())
                answer(socket, reply);
        });
        server_.listen(QHostAddress::LocalHost);
    }
    QString url(const char *host = "localhost") const {
        return QStringLiteral("https://%1:%2/x").arg(QLatin1String(host)).arg(server_.serverPort());
    }

private:
    QSslServer server_;
};

class HttpsGetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        certs_ = new QTemporaryDir;
        const int made = QProcess::execute(QStringLiteral(VANTOLI_TEST_CERTS), {certs_->path()});
        ASSERT_EQ(made, 0);
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
    auto http = makeHttpGet(3000);
    EXPECT_EQ(http->get(server.url()), QString::fromUtf8("片名"));
    EXPECT_EQ(http->get(server.url("127.0.0.1")), QString::fromUtf8("片名"));
}

TEST_F(HttpsGetTest, ACertificateThatDoesNotVerifyIsRefusedAndSaidOnceWhy) {
    TlsServer stranger(certs(), QStringLiteral("stranger"), page("forged"));
    TlsServer wrongHost(certs(), QStringLiteral("wronghost"), page("forged"));
    TlsServer expired(certs(), QStringLiteral("expired"), page("forged"));
    auto http = makeHttpGet(3000);
    const struct {
        const TlsServer &server;
        const char *reason;
    } cases[] = {{stranger, "issuer"}, {wrongHost, "host name"}, {expired, "expired"}};
    for (const auto &c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(http->get(c.server.url()), QString()) << c.reason;
        EXPECT_EQ(http->get(c.server.url()), QString()) << c.reason;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("refused " + c.server.url().chopped(2).toStdString() + ": its certificate does not verify"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find(c.reason), std::string::npos) << said;
        // The second refusal of the same server says nothing new.
        EXPECT_EQ(said.find("refused", said.find("refused") + 1), std::string::npos) << said;
    }
    // The layer still fetches from a server that verifies.
    TlsServer good(certs(), QStringLiteral("server"), page("ok"));
    EXPECT_EQ(http->get(good.url()), QStringLiteral("ok"));
}

TEST_F(HttpsGetTest, AnHttpsAddressIsNeverHandedOnToPlainHttp) {
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress::LocalHost));
    QObject::connect(&plain, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket *socket = plain.nextPendingConnection())
            answer(socket, page("unprotected"));
    });
    const QString plainUrl = QStringLiteral("http://127.0.0.1:%1/x").arg(plain.serverPort());
    TlsServer downgrade(certs(), QStringLiteral("server"), redirect(plainUrl));
    TlsServer good(certs(), QStringLiteral("server"), page("protected"));
    TlsServer upgrade(certs(), QStringLiteral("server"), redirect(good.url()));
    auto http = makeHttpGet(3000);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(http->get(downgrade.url()), QString());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("redirects to plain http"), std::string::npos);
    // https to https is followed, and plain http itself still works.
    EXPECT_EQ(http->get(upgrade.url()), QStringLiteral("protected"));
    EXPECT_EQ(http->get(plainUrl), QStringLiteral("unprotected"));
}

} // namespace
} // namespace vantoli
