// The player with the transfer program: network items go through it while
// it answers, and straight to the network when it does not.

#include "origin.h"

#include "../../playback/media_fixture.h"
#include "playback/mpv_player.h"
#include "playback/terminal_client.h"
#include "terminal/peer_terminal/terminal_paths.h"
#include "terminal/peer_terminal/terminal_service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace vantoli;
using namespace vantoli::test;

namespace {

class PlayerTerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        portFile_ = dir_.filePath("port");
    }
    void startTerminal(std::int64_t aheadBytes = 256 << 10) {
        terminal::TerminalConfig c;
        c.aheadBytes = aheadBytes;
        c.cacheFolder = dir_.filePath("cache");
        c.token = QStringLiteral("a1b2c3d4e5f60718");
        service_ = std::make_unique<terminal::TerminalService>(c);
        ASSERT_TRUE(service_->start());
        QSaveFile f(portFile_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(terminal::portFileText(service_->port(), c.token));
        ASSERT_TRUE(f.commit());
    }
    std::unique_ptr<MpvPlayer> makePlayer() {
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = dir_.filePath("prebuffer");
        o.useTerminal = true;
        o.terminalPortFile = portFile_;
        return MpvPlayer::create(o);
    }

    QTemporaryDir dir_;
    QString portFile_;
    std::unique_ptr<terminal::TerminalService> service_;
};

} // namespace

TEST_F(PlayerTerminalTest, NetworkItemPlaysThroughTheTerminalWithItsProgress) {
    Origin origin;
    origin.add("/big.mp4", readAll(testMedia().bigClip));
    origin.rate = 300 * 1024;
    startTerminal();
    auto player = makePlayer();
    ASSERT_TRUE(player);
    player->setUrl(QString::fromStdString(origin.url("/big.mp4")));
    player->Play();
    EXPECT_TRUE(player->playsThroughTerminal());
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
    EXPECT_EQ(player->Duration(), 6);
    int maxSpeed = 0;
    int firstProgress = player->DownloadProgress();
    ASSERT_TRUE(waitFor(
        [&] {
            maxSpeed = std::max(maxSpeed, player->DownloadSpeed());
            return player->DownloadProgress() == 1000;
        },
        15000));
    EXPECT_LT(firstProgress, 1000);
    EXPECT_GT(maxSpeed, 50);
    EXPECT_EQ(readAll(QDir(dir_.filePath("cache")).filePath("big.mp4")), readAll(testMedia().bigClip));
    // A seek within the item, then its end.
    player->setPosition(4);
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStateFinished; }, 6000));

    // Prebuffer goes through the terminal too.
    origin.add("/next.mp4", readAll(testMedia().clip));
    player->Prebuffer(QString::fromStdString(origin.url("/next.mp4")));
    ASSERT_TRUE(waitFor([&] { return QFileInfo(QDir(dir_.filePath("cache")).filePath("next.mp4")).size() > 0; },
                        5000));
    EXPECT_FALSE(QDir(dir_.filePath("prebuffer")).exists() &&
                 !QDir(dir_.filePath("prebuffer")).isEmpty());
}

// A seek far past what has arrived plays at once from a range of its own,
// long before the download gets there.
TEST_F(PlayerTerminalTest, SeekPastTheDownloadPlaysBeforeItArrives) {
    Origin origin;
    const std::string clip = readAll(testMedia().bigClip);
    origin.add("/far.mp4", clip);
    origin.rate = 40 * 1024; // the whole clip takes about nine seconds
    startTerminal(32 << 10);
    auto player = makePlayer();
    ASSERT_TRUE(player);
    player->setUrl(QString::fromStdString(origin.url("/far.mp4")));
    player->Play();
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
    player->setPosition(5);
    // Playing on to the end needs the item's last bytes.
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStateFinished; }, 6000));
    const QString cachedFile = QDir(dir_.filePath("cache")).filePath("far.mp4");
    EXPECT_LT(QFileInfo(cachedFile).size(), qint64(clip.size()));
    EXPECT_LT(player->DownloadProgress(), 1000);
}

TEST_F(PlayerTerminalTest, WithoutATerminalTheItemPlaysDirectly) {
    Origin origin;
    origin.add("/clip.mp4", readAll(testMedia().clip));
    // A port file left by a terminal that is gone.
    startTerminal();
    service_->stop();
    auto player = makePlayer();
    ASSERT_TRUE(player);
    player->setUrl(QString::fromStdString(origin.url("/clip.mp4")));
    player->Play();
    EXPECT_FALSE(player->playsThroughTerminal());
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
    ASSERT_TRUE(waitFor([&] { return player->DownloadProgress() == 1000; }, 10000));

    // No port file at all: the same.
    QFile::remove(portFile_);
    player->Stop();
    player->setUrl(QString::fromStdString(origin.url("/clip.mp4")) + "?again");
    player->Play();
    EXPECT_FALSE(player->playsThroughTerminal());
    EXPECT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
}

TEST_F(PlayerTerminalTest, AnItemTheTerminalCannotServeStillPlaysDirectly) {
    // The origin answers the player but refuses the terminal's range
    // requests with an error, so the terminal's play address fails.
    httplib::Server picky;
    const std::string clip = readAll(testMedia().clip);
    picky.Get("/clip.mp4", [&](const httplib::Request &req, httplib::Response &res) {
        if (req.get_header_value("User-Agent").rfind("cpp-httplib", 0) == 0) {
            res.status = 403;
            return;
        }
        res.set_content(clip, "video/mp4");
    });
    const int port = picky.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { picky.listen_after_bind(); });
    startTerminal();
    auto player = makePlayer();
    player->setUrl(QStringLiteral("http://127.0.0.1:%1/clip.mp4").arg(port));
    player->Play();
    EXPECT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
    EXPECT_FALSE(player->playsThroughTerminal());
    player.reset();
    picky.stop();
    thread.join();
}

// A terminal that died leaves its port file; another local user binds the
// port and answers pings as the terminal did. The client must not hand that
// listener the token, nor the player an address that carries it.
TEST_F(PlayerTerminalTest, AListenerThatDoesNotKnowTheTokenNeverGetsIt) {
    const QString token = QStringLiteral("a1b2c3d4e5f60718");
    std::mutex mutex;
    std::vector<std::string> seen;
    httplib::Server impostor;
    impostor.Get(R"(/(.*))", [&](const httplib::Request &req, httplib::Response &res) {
        {
            const std::lock_guard lock(mutex);
            seen.push_back(req.target);
        }
        res.set_content("PeerTerminal\n" + req.get_param_value("c") + "\n", "text/plain");
    });
    const int port = impostor.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { impostor.listen_after_bind(); });
    {
        QSaveFile f(portFile_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(terminal::portFileText(port, token));
        ASSERT_TRUE(f.commit());
    }
    TerminalClient client(portFile_);
    EXPECT_FALSE(client.available());
    EXPECT_EQ(client.playAddress(QStringLiteral("http://127.0.0.1:1/a.mp4")), QString());
    EXPECT_FALSE(client.prefetch(QStringLiteral("http://127.0.0.1:1/a.mp4")));
    impostor.stop();
    serving.join();
    ASSERT_FALSE(seen.empty()); // it was asked, with a challenge only
    for (const std::string &target : seen)
        EXPECT_EQ(target.find(token.toStdString()), std::string::npos) << target;

    // The real terminal answers the challenge and is used.
    startTerminal();
    TerminalClient real(portFile_);
    EXPECT_TRUE(real.available());
    EXPECT_TRUE(real.playAddress(QStringLiteral("http://127.0.0.1:1/a.mp4")).contains(token));
}
