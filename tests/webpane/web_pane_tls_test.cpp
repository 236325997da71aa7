// Web panes over https. The engine trusts the authorities of the user's NSS
// store, so these tests give the whole test program a private home whose
// store trusts the test authority; a server with a certificate from that
// authority loads, one from an unknown authority, for another host name or
// expired is refused with the pane's own page, never shown.

#include "platform/web_pane.h"

#include "tls/tls_test_server.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

using namespace vantoli;
using tlstest::TlsServer;

namespace {

constexpr int kLoadMs = 20000;

// Before any pane exists: HOME is a folder whose NSS store trusts the test
// authority (certutil comes with Debian's libnss3-tools).
class PrivateTrustStore : public ::testing::Environment {
public:
    void SetUp() override {
        const QString certutil = QStandardPaths::findExecutable(QStringLiteral("certutil"));
        if (certutil.isEmpty() || !dir_.isValid())
            return;
        certs_ = dir_.filePath(QStringLiteral("certs"));
        const QString db = dir_.filePath(QStringLiteral("home/.pki/nssdb"));
        if (!tlstest::makeTestCertificates(certs_) || !QDir().mkpath(db))
            return;
        auto run = [&](const QStringList &args) {
            QProcess p;
            p.setStandardInputFile(QProcess::nullDevice());
            p.start(certutil, args);
            return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        };
        const QString store = QStringLiteral("sql:") + db;
        ready_ = run({QStringLiteral("-N"), QStringLiteral("-d"), store, QStringLiteral("--empty-password")}) &&
                 run({QStringLiteral("-A"), QStringLiteral("-d"), store, QStringLiteral("-n"),
                      QStringLiteral("vantoli-test"), QStringLiteral("-t"), QStringLiteral("C,,"),
                      QStringLiteral("-i"), certs_ + QStringLiteral("/ca.pem")});
        if (ready_)
            qputenv("HOME", dir_.filePath(QStringLiteral("home")).toLocal8Bit());
    }
    static bool ready() { return ready_; }
    static QString certs() { return certs_; }

private:
    QTemporaryDir dir_;
    static inline bool ready_ = false;
    static inline QString certs_;
};

[[maybe_unused]] ::testing::Environment *const trustStore = ::testing::AddGlobalTestEnvironment(new PrivateTrustStore);

QString bodyText(WebPane &pane) {
    QString text;
    bool done = false;
    pane.view()->page()->runJavaScript(QStringLiteral("document.body ? document.body.id + '|' + document.body.innerText : ''"),
                                       [&](const QVariant &v) {
                                           text = v.toString();
                                           done = true;
                                       });
    QTest::qWaitFor([&] { return done; }, kLoadMs);
    return text;
}

class WebPaneTls : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateTrustStore::ready())
            GTEST_SKIP() << "certutil (libnss3-tools) and openssl are needed";
        pane.resize(480, 320);
        pane.show();
        QObject::connect(&pane, &WebPane::navigateError, [this](const QString &, int code) { errors << code; });
        QObject::connect(&pane, &WebPane::documentComplete, [this](const QString &) { ++documents; });
    }

    // Navigates and waits until the pane's body satisfies done.
    QString visit(const QString &address, const std::function<bool(const QString &)> &done) {
        documents = 0;
        pane.navigate(address);
        QString text;
        QTest::qWaitFor([&] { return documents > 0 && done(text = bodyText(pane)); }, kLoadMs);
        return text;
    }

    WebPane pane;
    QList<int> errors;
    int documents = 0;
};

const QByteArray kPage = "<html><body id=\"served\">the catalog</body></html>";

TEST_F(WebPaneTls, APageFromATrustedServerLoadsByNameAndAddress) {
    TlsServer server(PrivateTrustStore::certs(), QStringLiteral("server"),
                     tlstest::httpReply(kPage, "text/html; charset=utf-8"));
    for (const char *host : {"localhost", "127.0.0.1"}) {
        const QString text = visit(server.url(host, "/"), [](const QString &t) { return t.startsWith(u"served"); });
        EXPECT_EQ(text, QStringLiteral("served|the catalog")) << host;
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(WebPaneTls, ACertificateThatDoesNotVerifyIsRefusedWithThePanesOwnPage) {
    const QString certs = PrivateTrustStore::certs();
    const QByteArray forged = tlstest::httpReply("<html><body id=\"served\">forged</body></html>", "text/html");
    TlsServer stranger(certs, QStringLiteral("stranger"), forged);
    TlsServer wrongHost(certs, QStringLiteral("wronghost"), forged);
    TlsServer expired(certs, QStringLiteral("expired"), forged);
    const struct {
        const TlsServer &server;
        QString reason;
        const char *said;
    } cases[] = {
        {stranger, QStringLiteral("证书不是由受信任的证书机构签发的"), "not trusted"},
        {wrongHost, QStringLiteral("证书上的名称与该服务器的名称不符"), "does not match"},
        {expired, QStringLiteral("证书已过期或尚未生效"), "expired"},
    };
    for (const auto &c : cases) {
        ::testing::internal::CaptureStderr();
        const QString text =
            visit(c.server.url("localhost", "/"), [](const QString &t) { return t.startsWith(u"certificate-refused"); });
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(text.startsWith(u"certificate-refused")) << text.toStdString();
        EXPECT_TRUE(text.contains(c.server.server())) << text.toStdString();
        EXPECT_TRUE(text.contains(c.reason)) << text.toStdString();
        EXPECT_FALSE(text.contains(u"forged"));
        EXPECT_NE(said.find("refused " + c.server.server().toStdString() + ": its certificate does not verify"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
    // A refusal is the pane's answer, not a failed load that a retry could mend.
    EXPECT_TRUE(errors.isEmpty());

    // A reload on the refusal page asks the refused server again, and is refused again.
    const int tries = expired.handshakes();
    documents = 0;
    pane.refresh();
    EXPECT_TRUE(QTest::qWaitFor([&] { return documents > 0 && expired.handshakes() > tries; }, kLoadMs));
    EXPECT_TRUE(bodyText(pane).startsWith(u"certificate-refused"));

    // The next page is the handler's to decide on again.
    TlsServer good(certs, QStringLiteral("server"), tlstest::httpReply(kPage, "text/html; charset=utf-8"));
    QStringList asked;
    pane.setBeforeNavigateHandler([&](WebPane &, WebNavigation &n) { asked << n.address; });
    EXPECT_EQ(visit(good.url("localhost", "/"), [](const QString &t) { return t.startsWith(u"served"); }),
              QStringLiteral("served|the catalog"));
    EXPECT_EQ(asked, QStringList{good.url("localhost", "/")});
}

} // namespace
