// Media torrents: made per media file, served by info-hash with the tracker
// and the media URL added, and answered as peer addresses only while the
// server has a tracker and the file is the one that was hashed.

#include "catalog.h"
#include "content_server.h"
#include "media_tools.h"
#include "torrents.h"

#include "playback/play_address.h"

#include <httplib.h>

#include <libtorrent/torrent_info.hpp>

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace vantoli;
using namespace vantoli::server;
namespace fs = std::filesystem;

namespace {

const std::string kTracker = "http://127.0.0.1:6969/announce";

std::string patternBytes(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = char((i * 7 + i / 251 + size_t(seed)) & 0xff);
    return s;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TorrentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        data_ = tmp_.path().toStdString();
        fs::create_directories(data_ + "/media/v");
        // Not a multiple of any piece size, so the last piece is short.
        media_ = patternBytes(600 * 1024 + 123, 0);
        std::ofstream(data_ + "/media/v/ep 1.mp4", std::ios::binary) << media_;
        std::ofstream(data_ + "/media/v/a|b$#c.mp4", std::ios::binary) << patternBytes(5000, 1);
        std::ofstream(data_ + "/media/v/web.webm", std::ios::binary) << "webm";

        CatalogStore store;
        ASSERT_TRUE(store.open(data_, true));
        Title s;
        s.name = QStringLiteral("剧");
        s.series = true;
        s.sources = {{QStringLiteral("高清"),
                      {{QStringLiteral("第1集"), QStringLiteral("v/ep 1.mp4"), kPlayerKind},
                       {QStringLiteral("第2集"), QStringLiteral("v/a|b$#c.mp4"), kPlayerKind},
                       {QStringLiteral("外链"), QStringLiteral("http://example.invalid/x.mp4"), kPlayerKind},
                       {QStringLiteral("缺"), QStringLiteral("v/missing.mp4"), kPlayerKind}}},
                     {QStringLiteral("网页"), {{QStringLiteral("第1集"), QStringLiteral("v/web.webm"), kWebKind}}}};
        ASSERT_EQ(store.addTitle(s), 1);
    }

    void TearDown() override { stop(); }

    void start(const std::string &tracker) {
        stop();
        ServerOptions o;
        o.dataDir = data_;
        o.port = 0;
        o.tracker = tracker;
        server_ = std::make_unique<ContentServer>(o);
        ASSERT_TRUE(server_->start()) << server_->error();
        thread_ = std::thread([this] { server_->run(); });
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
        client_->set_read_timeout(10);
    }
    void stop() {
        if (server_)
            server_->stop();
        if (thread_.joinable())
            thread_.join();
        server_.reset();
    }

    std::string get(const std::string &path, int *status = nullptr) {
        const auto r = client_->Get(path);
        EXPECT_TRUE(r) << path;
        if (status)
            *status = r ? r->status : 0;
        return r ? r->body : std::string();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(server_->port()) + "/"; }
    // The address field of the lookup reply for episode `e` of source `s`.
    QString lookup(int s, int e) {
        return QString::fromStdString(get("/h.php?id=1&v=" + std::to_string(s) + "&v1=" + std::to_string(e)))
            .section(u'$', 1, 1);
    }

    QTemporaryDir tmp_;
    std::string data_;
    std::string media_;
    std::unique_ptr<ContentServer> server_;
    std::thread thread_;
    std::unique_ptr<httplib::Client> client_;
};

} // namespace

TEST_F(TorrentTest, ServedTorrentIsPrivateV1WithTheTrackerAndTheMediaAsWebSeed) {
    int made = 0;
    ASSERT_EQ(makeTorrents(data_, nullptr, &made), "");
    EXPECT_EQ(made, 2); // the two local files; not the external or missing one, nor the web episode
    start(kTracker);

    const QString address = lookup(0, 0);
    EXPECT_EQ(checkPlayAddress(address, AddressOrigin::Remote).kind, PlayAddress::Peer) << address.toStdString();
    const QStringList fields = address.mid(7).split(u'|');
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0], QString::number(media_.size()));
    EXPECT_EQ(fields[2], QStringLiteral("ep 1.mp4"));
    // The same address in the title page's episode data.
    EXPECT_NE(get("/v/1.htm").find(address.toStdString()), std::string::npos);

    int status = 0;
    const std::string body = get("/torrent/" + fields[1].toStdString() + ".torrent", &status);
    ASSERT_EQ(status, 200);
    lt::error_code ec;
    const lt::torrent_info ti(lt::span<char const>(body.data(), long(body.size())), ec, lt::from_span);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_TRUE(ti.priv());
    EXPECT_TRUE(ti.info_hashes().has_v1());
    EXPECT_FALSE(ti.info_hashes().has_v2());
    std::ostringstream hash;
    hash << ti.info_hashes().v1;
    EXPECT_EQ(hash.str(), fields[1].toStdString());
    ASSERT_EQ(ti.trackers().size(), 1u);
    EXPECT_EQ(ti.trackers()[0].url, kTracker);
    ASSERT_EQ(ti.web_seeds().size(), 1u);
    EXPECT_EQ(ti.web_seeds()[0].url, base() + "media/v/ep%201.mp4");
    ASSERT_EQ(ti.num_files(), 1);
    EXPECT_EQ(ti.files().file_name(lt::file_index_t(0)), "ep 1.mp4");
    EXPECT_EQ(ti.total_size(), long(media_.size()));
    // Every piece hash is that of the file's bytes.
    for (int i = 0; i < ti.num_pieces(); ++i) {
        const std::string piece = media_.substr(size_t(i) * size_t(ti.piece_length()), size_t(ti.piece_size(lt::piece_index_t(i))));
        const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(piece), QCryptographicHash::Sha1);
        EXPECT_EQ(QByteArray(ti.hash_for_piece(lt::piece_index_t(i)).data(), 20), digest) << "piece " << i;
    }
    // The web seed is served.
    EXPECT_EQ(get("/media/v/ep%201.mp4"), media_);

    // A name with the link fields' separators is made safe, and the
    // program takes the address.
    const QString odd = lookup(0, 1);
    EXPECT_TRUE(odd.endsWith(QStringLiteral("|a_b__c.mp4|"))) << odd.toStdString();
    EXPECT_EQ(checkPlayAddress(odd, AddressOrigin::Remote).kind, PlayAddress::Peer);
    // Files without a torrent, external addresses and web episodes keep
    // their URLs.
    EXPECT_EQ(lookup(0, 2), QStringLiteral("http://example.invalid/x.mp4"));
    EXPECT_EQ(lookup(0, 3), QString::fromStdString(base() + "media/v/missing.mp4"));
    EXPECT_EQ(lookup(1, 0), QString::fromStdString(base() + "media/v/web.webm"));

    // Unknown and malformed info-hashes.
    get("/torrent/" + std::string(40, '0') + ".torrent", &status);
    EXPECT_EQ(status, 404);
    get("/torrent/" + fields[1].toUpper().toStdString() + ".torrent", &status);
    EXPECT_EQ(status, 404);
    get("/torrent/index.txt", &status);
    EXPECT_EQ(status, 404);
}

TEST_F(TorrentTest, WithoutATrackerTheAnswersStayHttp) {
    ASSERT_EQ(makeTorrents(data_, nullptr, nullptr), "");
    start("");
    EXPECT_EQ(lookup(0, 0), QString::fromStdString(base() + "media/v/ep%201.mp4"));
    EXPECT_EQ(get("/v/1.htm").find("peer://"), std::string::npos);
}

TEST_F(TorrentTest, ChangedMediaIsAnsweredOverHttpUntilItsTorrentIsRemade) {
    ASSERT_EQ(makeTorrents(data_, nullptr, nullptr), "");
    const auto before = listTorrents(data_);
    ASSERT_EQ(before.size(), 2u);
    const std::string oldHash = before[1].entry.path == QStringLiteral("v/ep 1.mp4") ? before[1].entry.infoHash
                                                                                    : before[0].entry.infoHash;
    // Something the command did not make stays in the folder.
    std::ofstream(data_ + "/torrents/notes.info") << "mine";

    // Same size, other bytes, later time.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ofstream(data_ + "/media/v/ep 1.mp4", std::ios::binary | std::ios::trunc) << patternBytes(media_.size(), 9);
    int changed = 0;
    for (const TorrentStatus &t : listTorrents(data_))
        changed += t.state == TorrentState::Changed;
    EXPECT_EQ(changed, 1);

    start(kTracker);
    EXPECT_EQ(lookup(0, 0), QString::fromStdString(base() + "media/v/ep%201.mp4"));
    EXPECT_TRUE(lookup(0, 1).startsWith(u"peer://"));
    int status = 0;
    get("/torrent/" + oldHash + ".torrent", &status);
    EXPECT_EQ(status, 404);

    int made = 0;
    ASSERT_EQ(makeTorrents(data_, nullptr, &made), "");
    EXPECT_EQ(made, 1);
    // The running server notices the new index.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const QString address = lookup(0, 0);
    ASSERT_TRUE(address.startsWith(u"peer://")) << address.toStdString();
    const std::string newHash = address.section(u'|', 1, 1).toStdString();
    EXPECT_NE(newHash, oldHash);
    get("/torrent/" + newHash + ".torrent", &status);
    EXPECT_EQ(status, 200);

    const std::string whitelist = readFile(data_ + "/torrents/whitelist.txt");
    EXPECT_NE(whitelist.find(newHash + "\n"), std::string::npos);
    EXPECT_EQ(whitelist.find(oldHash), std::string::npos);
    EXPECT_FALSE(fs::exists(data_ + "/torrents/" + oldHash + ".info"));
    EXPECT_TRUE(fs::exists(data_ + "/torrents/notes.info"));
}

TEST_F(TorrentTest, AForgedIndexOrInfoFileIsNotServed) {
    ASSERT_EQ(makeTorrents(data_, nullptr, nullptr), "");
    const TorrentEntry e = listTorrents(data_).front().entry;
    // An info file whose bytes are not its hash.
    {
        QFile f(QString::fromStdString(data_ + "/torrents/" + e.infoHash + ".info"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - 2);
        f.write("x");
    }
    // An index line naming a file outside media/.
    std::ofstream(torrentIndexPath(data_), std::ios::app)
        << std::string(40, 'a') << "\t6\t0\t../secret.txt\tsecret.txt\n";
    std::ofstream(data_ + "/secret.txt") << "secret";
    for (const TorrentStatus &t : listTorrents(data_))
        EXPECT_NE(t.entry.infoHash, std::string(40, 'a'));

    start(kTracker);
    int status = 0;
    get("/torrent/" + e.infoHash + ".torrent", &status);
    EXPECT_EQ(status, 404);
    get("/torrent/" + std::string(40, 'a') + ".torrent", &status);
    EXPECT_EQ(status, 404);
}

TEST(TorrentCommands, OperatorListsAndRemakesTorrents) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    const std::string bin = VANTOLI_SERVER_BINARY;
    fs::create_directories(dir + "/media/f");
    std::ofstream(dir + "/media/f/film.mp4", std::ios::binary) << patternBytes(70000, 3);
    {
        CatalogStore store;
        ASSERT_TRUE(store.open(dir, true));
        Title t;
        t.name = QStringLiteral("Film");
        t.sources = {Source{QStringLiteral("s"), {Episode{QStringLiteral("e"), QStringLiteral("f/film.mp4")}}}};
        ASSERT_GT(store.addTitle(t), 0);
    }
    EXPECT_EQ(runProgram({bin, "operator", "--data", dir, "make-torrents"}), 0);
    const auto list = listTorrents(dir);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].state, TorrentState::Current);
    EXPECT_EQ(list[0].entry.size, 70000);
    EXPECT_EQ(runProgram({bin, "operator", "--data", dir, "torrents"}), 0);
    EXPECT_EQ(runProgram({bin, "operator", "--data", dir, "torrents", "extra"}), 2);
    EXPECT_EQ(runProgram({bin, "serve", "--data", dir, "--port", "0", "--tracker", "udp://127.0.0.1:1/announce"}), 2);
    EXPECT_EQ(runProgram({bin, "serve", "--data", dir, "--port", "0", "--tracker", "http://127.0.0.1:1/x"}), 2);
}
