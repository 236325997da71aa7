// The transfer program against an https origin of the test's own on
// 127.0.0.1, with a certificate authority the test makes: a certificate that
// verifies is used, one that does not is refused with a clear message and
// nothing is stored.

#include "origin.h"

#include "terminal/peer_terminal/terminal_service.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <httplib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace vantoli::terminal;
using vantoli::test::patternBytes;

namespace {

bool openssl(const QStringList &args, const QString &dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A certificate authority and a certificate for 127.0.0.1 signed by it.
bool makeAuthority(const QString &dir, const QString &name) {
    QFile ext(QDir(dir).filePath("san.ext"));
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=IP:127.0.0.1\n") <= 0)
        return false;
    ext.close();
    const QString ca = name + QStringLiteral("-ca");
    return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + ca, "-keyout",
                    ca + ".key", "-out", ca + ".pem"},
                   dir) &&
           openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", name + ".key", "-out",
                    name + ".csr"},
                   dir) &&
           openssl({"x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key", "-CAcreateserial",
                    "-days", "2", "-extfile", "san.ext", "-out", name + ".pem"},
                   dir);
}

class HttpsOriginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(makeAuthority(dir_.path(), "origin"));
        ASSERT_TRUE(makeAuthority(dir_.path(), "other"));
        server_ = std::make_unique<httplib::SSLServer>(QDir(dir_.path()).filePath("origin.pem").toUtf8().constData(),
                                                       QDir(dir_.path()).filePath("origin.key").toUtf8().constData());
        ASSERT_TRUE(server_->is_valid());
        server_->Get("/film.mp4", [this](const httplib::Request &, httplib::Response &res) {
            ++requests_;
            res.set_content(body_, "video/mp4");
        });
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });

        TerminalConfig c;
        c.cacheFolder = dir_.filePath("cache");
        c.connectTimeoutSeconds = 2;
        c.readTimeoutSeconds = 5;
        service_ = std::make_unique<TerminalService>(c);
        ASSERT_TRUE(service_->start());
        client_ = std::make_unique<httplib::Client>("127.0.0.1", service_->port());
        client_->set_read_timeout(20);
        oldCertFile_ = qgetenv("SSL_CERT_FILE");
    }
    void TearDown() override {
        service_->stop();
        server_->stop();
        thread_.join();
        if (oldCertFile_.isEmpty())
            qunsetenv("SSL_CERT_FILE");
        else
            qputenv("SSL_CERT_FILE", oldCertFile_);
    }
    void trust(const char *authority) {
        qputenv("SSL_CERT_FILE", QDir(dir_.path()).filePath(QString::fromLatin1(authority) + "-ca.pem").toUtf8());
    }
    httplib::Result play() {
        const std::string url = "https://127.0.0.1:" + std::to_string(port_) + "/film.mp4";
        return client_->Get("/play?url=" + QUrl::toPercentEncoding(QString::fromStdString(url)).toStdString());
    }

    QTemporaryDir dir_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> requests_{0};
    const std::string body_ = patternBytes(300 * 1024, 5);
    std::unique_ptr<TerminalService> service_;
    std::unique_ptr<httplib::Client> client_;
    QByteArray oldCertFile_;
};

} // namespace

TEST_F(HttpsOriginTest, AVerifiedOriginIsPlayedAndStored) {
    trust("origin");
    const auto res = play();
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(res->body == body_);
    EXPECT_GE(requests_.load(), 1);
}

TEST_F(HttpsOriginTest, ACertificateThatDoesNotVerifyIsRefusedWithAClearMessage) {
    trust("other"); // the origin's certificate is signed by an authority not trusted here
    const auto res = play();
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 502);
    EXPECT_NE(res->body.find("certificate does not verify"), std::string::npos) << res->body;
    EXPECT_EQ(requests_.load(), 0); // not one request went over the unverified connection
    EXPECT_TRUE(QDir(dir_.filePath("cache")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
