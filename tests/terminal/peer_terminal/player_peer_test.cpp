// The player with peer addresses: through the transfer program, which
// fetches the torrent from the content server, and without it from the web
// seed its torrent names.

#include "catalog.h"
#include "content_server.h"
#include "torrents.h"

#include "../../playback/media_fixture.h"
#include "playback/mpv_player.h"
#include "playback/terminal_client.h"
#include "platform/http_get.h"
#include "terminal/peer_terminal/terminal_paths.h"
#include "terminal/peer_terminal/terminal_service.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <httplib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace vantoli;
using namespace vantoli::test;
namespace fs = std::filesystem;

namespace {

class PlayerPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        data_ = dir_.filePath("data").toStdString();
        fs::create_directories(data_ + "/media/v");
        clip_ = readAll(testMedia().clip);
        std::ofstream(data_ + "/media/v/clip.mp4", std::ios::binary) << clip_;
        server::CatalogStore store;
        ASSERT_TRUE(store.open(data_, true));
        server::Title t;
        t.name = QStringLiteral("片");
        t.sources = {{QStringLiteral("高清"), {{QStringLiteral("正片"), QStringLiteral("v/clip.mp4"), server::kPlayerKind}}}};
        ASSERT_EQ(store.addTitle(t), 1);
        ASSERT_EQ(server::makeTorrents(data_, nullptr, nullptr), "");
        const auto torrents = server::listTorrents(data_);
        ASSERT_EQ(torrents.size(), 1u);
        address_ = server::peerAddress(torrents[0].entry);
        hash_ = QString::fromStdString(torrents[0].entry.infoHash);
        server::ServerOptions o;
        o.dataDir = data_;
        o.port = 0;
        // No tracker answers there: the web seed serves.
        o.tracker = "http://127.0.0.1:9/announce";
        server_ = std::make_unique<server::ContentServer>(o);
        ASSERT_TRUE(server_->start()) << server_->error();
        thread_ = std::thread([this] { server_->run(); });
        base_ = QStringLiteral("http://127.0.0.1:%1/").arg(server_->port());
    }
    void TearDown() override {
        service_.reset();
        server_->stop();
        thread_.join();
    }
    void startTerminal() {
        terminal::TerminalConfig c;
        c.cacheFolder = dir_.filePath("cache");
        c.token = QStringLiteral("0123456789abcdef");
        c.peer.address = "127.0.0.11";
        service_ = std::make_unique<terminal::TerminalService>(c);
        ASSERT_TRUE(service_->start());
        QSaveFile f(dir_.filePath("port"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(terminal::portFileText(service_->port(), c.token));
        ASSERT_TRUE(f.commit());
    }
    std::unique_ptr<MpvPlayer> makePlayer(bool useTerminal, const QString &contentBase = {}, int seedTimeoutMs = 5000) {
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = dir_.filePath("prebuffer");
        o.useTerminal = useTerminal;
        o.terminalPortFile = dir_.filePath("port");
        o.contentBase = contentBase.isEmpty() ? base_ : contentBase;
        o.webSeedTimeoutMs = seedTimeoutMs;
        return MpvPlayer::create(o);
    }
    std::string torrentBytes() {
        httplib::Client c("127.0.0.1", server_->port());
        const auto r = c.Get("/torrent/" + hash_.toStdString() + ".torrent");
        return r && r->status == 200 ? r->body : std::string();
    }

    // The seed a lookup finds, waited for.
    static QString lookUpWebSeed(const QString &contentBase, const QString &address) {
        auto http = makeAsyncHttpGet(3000);
        WebSeedLookup lookup(*http);
        QString seed = QStringLiteral("none");
        lookup.start(contentBase, address, [&](const QString &found) { seed = found; });
        EXPECT_EQ(seed, "none") << "never from inside start()";
        EXPECT_TRUE(waitFor([&] { return !lookup.waiting(); }, 5000));
        return seed;
    }

    QTemporaryDir dir_;
    std::string data_;
    std::string clip_;
    QString address_, hash_, base_;
    std::unique_ptr<server::ContentServer> server_;
    std::thread thread_;
    std::unique_ptr<terminal::TerminalService> service_;
};

} // namespace

TEST_F(PlayerPeerTest, APeerAddressPlaysThroughTheTerminalElseFromItsWebSeed) {
    startTerminal();
    auto player = makePlayer(true);
    ASSERT_TRUE(player);
    player->setUrl(address_);
    player->Play();
    EXPECT_TRUE(player->playsThroughTerminal());
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
    ASSERT_TRUE(waitFor([&] { return player->DownloadProgress() == 1000; }, 10000));
    EXPECT_EQ(readAll(QDir(dir_.filePath("cache")).filePath("clip.mp4")), clip_);
    player.reset();

    // No terminal: the web seed, over http.
    service_.reset();
    QFile::remove(dir_.filePath("port"));
    auto direct = makePlayer(true);
    direct->setUrl(address_);
    direct->Play();
    EXPECT_FALSE(direct->playsThroughTerminal());
    ASSERT_TRUE(waitFor([&] { return direct->PlayState() == kStatePlaying; }, 10000));
}

TEST_F(PlayerPeerTest, TheWebSeedIsTakenOnlyFromTheAddressesTorrent) {
    const QByteArray torrent = QByteArray::fromStdString(torrentBytes());
    ASSERT_FALSE(torrent.isEmpty());
    const QString seed = base_ + QStringLiteral("media/v/clip.mp4");
    EXPECT_EQ(webSeedOfTorrent(torrent, hash_), seed);
    EXPECT_EQ(webSeedOfTorrent(torrent, hash_.toUpper()), seed);
    EXPECT_EQ(lookUpWebSeed(base_, address_), seed);
    // Another item's hash, a cut torrent, a changed info dictionary.
    EXPECT_EQ(webSeedOfTorrent(torrent, QString(40, u'0')), QString());
    EXPECT_EQ(webSeedOfTorrent(torrent.left(torrent.size() - 1), hash_), QString());
    QByteArray changed = torrent;
    const qsizetype pieces = changed.indexOf("6:pieces");
    ASSERT_GT(pieces, 0);
    changed[pieces + 12] = char(changed[pieces + 12] ^ 1);
    EXPECT_EQ(webSeedOfTorrent(changed, hash_), QString());
    // Several seeds: the first http(s) one; other schemes are not seeds.
    const qsizetype info = torrent.indexOf("4:info");
    const qsizetype urlList = torrent.lastIndexOf("8:url-list");
    ASSERT_GT(urlList, info);
    const QByteArray infoValue = torrent.mid(info + 6, urlList - info - 6);
    const QByteArray listed = "d4:info" + infoValue + "8:url-listl13:ftp://x/a.mp4" +
                              QByteArray::number(seed.size()) + ':' + seed.toUtf8() + "ee";
    EXPECT_EQ(webSeedOfTorrent(listed, hash_), seed);
    EXPECT_EQ(webSeedOfTorrent("d4:info" + infoValue + "8:url-list13:file:///a.mp4e", hash_), QString());
    EXPECT_EQ(lookUpWebSeed(QStringLiteral("http://127.0.0.1:9/"), address_), QString());
}

// Without the transfer program the seed is looked up while the window goes
// on; with none to be had the item fails as one the engine cannot open.
TEST_F(PlayerPeerTest, NoWebSeedToBeHadHoldsNothingAndTheItemFails) {
    const QByteArray torrent = QByteArray::fromStdString(torrentBytes());
    ASSERT_FALSE(torrent.isEmpty());
    QByteArray forged = torrent;
    forged[forged.indexOf("6:pieces") + 12] ^= 1;
    TestServer forger;
    forger.add("/torrent/" + hash_.toStdString() + ".torrent", forged.toStdString());
    SilentServer silent(false); // accepts and never answers
    const QString silentBase = silent.url().section(u'/', 0, 2) + u'/';
    for (const QString &base : {silentBase, forger.url("/")}) {
        auto player = makePlayer(false, base, 1500);
        ASSERT_TRUE(player);
        player->setUrl(address_);
        QElapsedTimer clock;
        clock.start();
        player->Play();
        EXPECT_LT(clock.elapsed(), 500) << base.toStdString();
        EXPECT_EQ(player->PlayState(), kStateConnecting) << base.toStdString();
        ASSERT_TRUE(waitFor([&] { return player->OpenFailed(); }, 4000)) << base.toStdString();
        EXPECT_EQ(player->PlayState(), kStateIdle) << base.toStdString();
        spin(300);
        EXPECT_EQ(player->PlayState(), kStateIdle) << base.toStdString();
        // The next item plays.
        player->setUrl(testMedia().clip);
        player->Play();
        EXPECT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 8000)) << base.toStdString();
    }
}

TEST_F(PlayerPeerTest, ASeedThatComesAfterTheItemWasLeftIsDropped) {
    const std::string torrent = torrentBytes();
    ASSERT_FALSE(torrent.empty());
    TestServer slow; // the torrent takes about a second
    slow.throttleBytesPerSecond = int(torrent.size());
    slow.add("/slow/torrent/" + hash_.toStdString() + ".torrent", torrent);
    auto player = makePlayer(false, slow.url("/slow/"));
    ASSERT_TRUE(player);

    // Stopped while the lookup waits: it stays stopped.
    player->setUrl(address_);
    player->Play();
    ASSERT_TRUE(player->looksUpWebSeed());
    spin(100);
    player->Stop();
    EXPECT_FALSE(player->looksUpWebSeed());
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStateStopped; }, 2000));
    spin(1500);
    EXPECT_EQ(player->PlayState(), kStateStopped);

    // Another item played meanwhile: it goes on undisturbed.
    player->setUrl(address_);
    player->Play();
    spin(100);
    player->setUrl(testMedia().clip);
    player->Play();
    ASSERT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 8000));
    spin(1500);
    EXPECT_EQ(player->PlayState(), kStatePlaying);
    EXPECT_GE(player->Position(), 1);
    EXPECT_FALSE(player->OpenFailed());

    // Waited for, the seed plays.
    player->setUrl(address_);
    player->Play();
    EXPECT_TRUE(waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000));
}
