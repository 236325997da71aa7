// The real engine over https: a clip from a server whose certificate comes
// from the test's authority plays; the same clip from a server with a
// certificate of an unknown authority, for another host name or expired
// does not (the engine's own default would accept them all).

#include "media_fixture.h"

#include "playback/mpv_player.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

using namespace vantoli;
using namespace vantoli::test;

namespace {

// An https server on 127.0.0.1 with the certificate NAME of the test's set.
class HttpsClipServer {
public:
    HttpsClipServer(const QString &certs, const char *name, const std::string &clip)
        : server_((certs + u'/' + QLatin1String(name) + QStringLiteral(".pem")).toStdString().c_str(),
                  (certs + u'/' + QLatin1String(name) + QStringLiteral(".key")).toStdString().c_str()) {
        server_.Get("/clip.mp4", [clip](const httplib::Request &, httplib::Response &res) {
            res.set_content(clip, "video/mp4");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~HttpsClipServer() {
        server_.stop();
        thread_.join();
    }
    QString url() const { return QStringLiteral("https://localhost:%1/clip.mp4").arg(port_); }

private:
    httplib::SSLServer server_;
    std::thread thread_;
    int port_ = 0;
};

class PlayerTls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        certs_ = dir_.filePath(QStringLiteral("certs"));
        ASSERT_EQ(QProcess::execute(QStringLiteral(VANTOLI_TEST_CERTS), {certs_}), 0);
        // The engine trusts the authorities this file names instead of the system's.
        qputenv("SSL_CERT_FILE", (certs_ + QStringLiteral("/ca.pem")).toLocal8Bit());
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = dir_.filePath(QStringLiteral("cache"));
        player_ = MpvPlayer::create(o);
        qunsetenv("SSL_CERT_FILE");
        ASSERT_TRUE(player_) << "libmpv could not be loaded";
    }

    bool plays(const QString &url, int timeoutMs) {
        player_->setUrl(url);
        player_->Play();
        const bool playing = waitFor([&] { return player_->PlayState() == kStatePlaying; }, timeoutMs);
        player_->Stop();
        waitFor([&] { return player_->PlayState() == kStateStopped || player_->PlayState() == kStateIdle; }, 3000);
        return playing;
    }

    QTemporaryDir dir_;
    QString certs_;
    std::unique_ptr<MpvPlayer> player_;
};

} // namespace

TEST_F(PlayerTls, OnlyAServerWhoseCertificateVerifiesIsPlayed) {
    const std::string clip = readAll(testMedia().clip);
    for (const char *name : {"stranger", "wronghost", "expired"}) {
        HttpsClipServer server(certs_, name, clip);
        EXPECT_FALSE(plays(server.url(), 4000)) << name;
    }
    HttpsClipServer trusted(certs_, "server", clip);
    EXPECT_TRUE(plays(trusted.url(), 10000));
}
