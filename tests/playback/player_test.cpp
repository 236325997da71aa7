// The libmpv player played headless (null video and audio outputs) on media
// made at test time, from local files and from a server on 127.0.0.1.

#include "media_fixture.h"

#include "playback/mpv_player.h"
#include "playback/prebuffer_cache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <malloc.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace vantoli::test;

namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cache_.isValid());
        player_ = makePlayer();
        ASSERT_TRUE(player_) << "libmpv could not be loaded";
    }

    std::unique_ptr<MpvPlayer> makePlayer(qint64 prebufferBytes = 32 * 1024 * 1024,
                                          std::vector<std::pair<QString, QString>> extra = {}) {
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = cache_.path();
        o.prebufferBytes = prebufferBytes;
        o.extraOptions = std::move(extra);
        return MpvPlayer::create(o);
    }

    void play(const QString &url) {
        player_->setUrl(url);
        player_->Play();
    }
    bool reaches(int state, int timeoutMs = 8000) {
        return waitFor([&] { return player_->PlayState() == state; }, timeoutMs);
    }
    // A failed item leaves the player where the status tick can show it, and
    // the next item plays.
    void expectRecovers(const char *what) {
        EXPECT_TRUE(reaches(kStateIdle)) << what << ": state " << player_->PlayState();
        play(testMedia().clip);
        EXPECT_TRUE(reaches(kStatePlaying)) << what << ": next item, state " << player_->PlayState();
        player_->Stop();
        EXPECT_TRUE(reaches(kStateStopped)) << what;
    }

    QTemporaryDir cache_;
    std::unique_ptr<MpvPlayer> player_;
};

TEST_F(PlayerTest, LocalFilePlaysPausesSeeksAndKeepsItsEnd) {
    EXPECT_EQ(player_->Url(), "");
    EXPECT_EQ(player_->PlayState(), kStateIdle);
    EXPECT_EQ(player_->DownloadProgress(), 0);

    play(testMedia().clip);
    EXPECT_EQ(player_->PlayState(), kStatePreparing);
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_EQ(player_->Duration(), 4);
    EXPECT_EQ(player_->DownloadProgress(), 1000);
    EXPECT_EQ(player_->DownloadSpeed(), 0);
    EXPECT_TRUE(waitFor([&] { return player_->BitRate() > 0; }, 3000));

    player_->Pause();
    ASSERT_TRUE(reaches(kStatePaused));
    spin(300);
    const int pausedAt = player_->Position();
    spin(1200);
    EXPECT_EQ(player_->Position(), pausedAt);
    player_->Play();
    ASSERT_TRUE(reaches(kStatePlaying));

    // Putting Position seeks; read back at once it shows the target.
    player_->setPosition(2);
    EXPECT_EQ(player_->Position(), 2);
    ASSERT_TRUE(waitFor([&] { return player_->Position() >= 3; }, 3000));

    // At the end the position stays within two seconds of Duration.
    ASSERT_TRUE(reaches(kStateFinished, 5000));
    spin(500);
    EXPECT_GT(player_->Position(), player_->Duration() - 2);
    EXPECT_EQ(player_->PlayState(), kStateFinished);

    // Play on a finished item starts it over.
    player_->Play();
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_LE(player_->Position(), 1);

    player_->Stop();
    EXPECT_EQ(player_->PlayState(), kStateStopping);
    ASSERT_TRUE(reaches(kStateStopped));
    EXPECT_EQ(player_->Url(), testMedia().clip);
    EXPECT_EQ(player_->Position(), 0);
    player_->Play();
    EXPECT_TRUE(reaches(kStatePlaying));
}

// Resident bytes of this process.
[[maybe_unused]] qint64 residentBytes() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

TEST_F(PlayerTest, EveryItemLetGoHandsFreedMemoryBack) {
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer brings an allocator of its own
    // What the engine leaves: many small blocks freed behind one still in use,
    // which the allocator keeps unless asked to return them.
    constexpr int kBlocks = 48 * 1024;
    std::vector<char *> blocks(kBlocks);
    for (char *&b : blocks) {
        b = static_cast<char *>(std::malloc(1000));
        std::memset(b, 1, 1000);
    }
    for (int i = 0; i + 1 < kBlocks; ++i)
        std::free(blocks[i]);
    const qint64 before = residentBytes();
    MpvPlayerOptions defaults;
    ASSERT_TRUE(defaults.itemReleased);
    defaults.itemReleased();
    const qint64 after = residentBytes();
    std::free(blocks.back());
    EXPECT_GT(before - after, 24 * 1024 * 1024) << before << " -> " << after;

    // Once a player exists, a large block stays mapped on its own even after
    // one of its size was freed (glibc would raise its threshold above it).
    std::free(std::malloc(1024 * 1024));
    const int mappedBefore = mallinfo2().hblks;
    void *large = std::malloc(1024 * 1024);
    EXPECT_EQ(mallinfo2().hblks, mappedBefore + 1);
    std::free(large);
#endif

    // It runs whenever the engine let go of an item: replaced, stopped, failed.
    int released = 0;
    MpvPlayerOptions o;
    o.videoOutput = QStringLiteral("null");
    o.audioOutput = QStringLiteral("null");
    o.cacheFolder = cache_.path();
    o.itemReleased = [&] { ++released; };
    player_ = MpvPlayer::create(o);
    ASSERT_TRUE(player_);
    play(testMedia().clip);
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_EQ(released, 0);
    play(testMedia().bigClip);
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_TRUE(waitFor([&] { return released == 1; }, 3000));
    player_->Stop();
    ASSERT_TRUE(reaches(kStateStopped));
    EXPECT_TRUE(waitFor([&] { return released == 2; }, 3000));
    play(testMedia().notMedia);
    ASSERT_TRUE(reaches(kStateIdle));
    EXPECT_TRUE(waitFor([&] { return released == 3; }, 3000));
}

TEST_F(PlayerTest, VolumeAndMuteStayInRangeAndSurviveItems) {
    player_->setVolume(150);
    EXPECT_EQ(player_->Volume(), 100);
    player_->setVolume(-20);
    EXPECT_EQ(player_->Volume(), 0);
    player_->setVolume(35);
    player_->setMute(kPlayerTrue);
    EXPECT_EQ(player_->Mute(), kPlayerTrue);
    play(testMedia().clip);
    ASSERT_TRUE(reaches(kStatePlaying));
    spin(200);
    EXPECT_EQ(player_->Volume(), 35);
    EXPECT_EQ(player_->Mute(), kPlayerTrue);
    player_->setMute(kPlayerFalse);
    spin(200);
    EXPECT_EQ(player_->Mute(), kPlayerFalse);
}

TEST_F(PlayerTest, HttpItemReportsArrivalAndSeeks) {
    TestServer server;
    server.add("/slow/big.mp4", readAll(testMedia().bigClip));
    server.throttleBytesPerSecond = 300 * 1024;
    play(server.url("/slow/big.mp4"));
    EXPECT_EQ(player_->PlayState(), kStateConnecting);
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_EQ(player_->Duration(), 6);

    int firstProgress = player_->DownloadProgress();
    int maxSpeed = 0;
    // Every update is sampled, not only the polls: on a busy machine the
    // transfer can end between two polls.
    const auto sample = QObject::connect(player_.get(), &MpvPlayer::changed, [&] {
        maxSpeed = std::max(maxSpeed, player_->DownloadSpeed());
    });
    ASSERT_TRUE(waitFor(
        [&] {
            maxSpeed = std::max(maxSpeed, player_->DownloadSpeed());
            return player_->DownloadProgress() == 1000;
        },
        10000));
    QObject::disconnect(sample);
    EXPECT_LT(firstProgress, 1000);
    // Somewhere near the throttle rate, in KB/s.
    EXPECT_GT(maxSpeed, 50);
    EXPECT_LT(maxSpeed, 2000);
    EXPECT_GT(player_->BitRate(), 0);

    player_->setPosition(4);
    ASSERT_TRUE(waitFor([&] { return player_->Position() >= 5; }, 3000));
    ASSERT_TRUE(reaches(kStateFinished, 4000));
    EXPECT_GE(player_->Position(), 5);
}

// A long network item is read about a minute ahead of the picture, not to
// its end: what is read ahead is held in memory.
TEST_F(PlayerTest, ALongNetworkItemIsReadOnlyAboutAMinuteAhead) {
    TestServer server;
    server.add("/long.mp4", readAll(longClip()));
    play(server.url("/long.mp4"));
    ASSERT_TRUE(reaches(kStatePlaying));
    spin(2000);
    EXPECT_EQ(player_->Duration(), 300);
    // About 60 s of 300 ahead of a position of a few seconds; the engine's
    // own limits read the whole item at once (1000).
    EXPECT_LT(player_->DownloadProgress(), 400);
    EXPECT_GT(player_->DownloadProgress(), 100);
}

TEST_F(PlayerTest, BadInputsEndIdleAndTheNextItemPlays) {
    // An empty Url: nothing happens.
    play(QString());
    spin(200);
    EXPECT_EQ(player_->PlayState(), kStateIdle);

    TestServer server;
    server.add("/notes.txt", readAll(testMedia().notMedia));
    play(server.url("/missing.mp4"));
    expectRecovers("address that does not exist");

    SilentServer closing(true);
    play(closing.url());
    expectRecovers("server closes the connection");

    play(QStringLiteral("http://127.0.0.1:1/nothing-listens.mp4"));
    expectRecovers("nothing listens");

    play(testMedia().notMedia);
    expectRecovers("local file that is not media");

    play(server.url("/notes.txt"));
    expectRecovers("served file that is not media");

    play(QDir(testMedia().folder).filePath("no-such-file.mp4"));
    expectRecovers("missing local file");
}

TEST_F(PlayerTest, GettersDoNotWaitForAStalledServer) {
    SilentServer silent(false);
    play(silent.url());
    spin(300);
    EXPECT_EQ(player_->PlayState(), kStateConnecting);
    QElapsedTimer t;
    t.start();
    int sink = 0;
    for (int i = 0; i < 1000; ++i)
        sink += player_->Position() + player_->Duration() + player_->PlayState() + player_->DownloadSpeed() +
                player_->BitRate() + player_->DownloadProgress() + player_->Volume() + player_->Mute();
    EXPECT_LT(t.elapsed(), 100) << sink;
    // A new item replaces the stalled one at once.
    play(testMedia().clip);
    EXPECT_TRUE(reaches(kStatePlaying));
}

// --- prebuffer -------------------------------------------------------------

TEST_F(PlayerTest, PrebufferFetchesTheStartAndPlaysFromIt) {
    constexpr qint64 kLimit = 100 * 1024;
    player_ = makePlayer(kLimit);
    TestServer server;
    const std::string body = readAll(testMedia().bigClip);
    ASSERT_GT(body.size(), size_t(kLimit) * 2);
    server.add("/next.mp4", body);

    play(testMedia().clip);
    ASSERT_TRUE(reaches(kStatePlaying));
    const QString next = server.url("/next.mp4");
    player_->Prebuffer(next);
    ASSERT_TRUE(waitFor([&] { return !player_->prebufferCache().isFetching(next); }, 5000));
    // One bounded range request; the current item went on undisturbed.
    EXPECT_EQ(server.ranges("/next.mp4"), std::vector<std::string>{"bytes=0-102399"});
    EXPECT_EQ(player_->prebufferCache().fetchedBytes(next), kLimit);
    EXPECT_EQ(player_->PlayState(), kStatePlaying);
    EXPECT_EQ(player_->Url(), testMedia().clip);
    const QStringList files = QDir(cache_.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(QFileInfo(QDir(cache_.path()).filePath(files[0])).size(), kLimit);

    play(next);
    EXPECT_EQ(player_->Url(), next);
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_GE(player_->DownloadProgress(), int(kLimit * 1000 / qint64(body.size())));
    ASSERT_TRUE(waitFor([&] { return player_->DownloadProgress() == 1000; }, 5000));
    // The rest came from where the fetched start ended, never from byte 0 again.
    const auto ranges = server.ranges("/next.mp4");
    ASSERT_GE(ranges.size(), 2u);
    EXPECT_EQ(ranges[1].rfind("bytes=102400-", 0), 0u) << ranges[1];
    for (size_t i = 1; i < ranges.size(); ++i)
        EXPECT_NE(ranges[i].rfind("bytes=0-", 0), 0u);
    player_->setPosition(4);
    EXPECT_TRUE(reaches(kStateFinished, 5000));
}

TEST_F(PlayerTest, PrebufferOfAWholeSmallItemPlaysWithoutTheNetwork) {
    TestServer server;
    server.add("/small.mp4", readAll(testMedia().clip));
    const QString link = server.url("/small.mp4");
    player_->Prebuffer(link);
    ASSERT_TRUE(waitFor([&] { return !player_->prebufferCache().isFetching(link); }, 5000));
    play(link);
    ASSERT_TRUE(reaches(kStatePlaying));
    EXPECT_EQ(player_->DownloadProgress(), 1000);
    EXPECT_EQ(server.ranges("/small.mp4").size(), 1u);
}

TEST_F(PlayerTest, PlayingALinkStillBeingFetchedUsesWhatArrived) {
    player_ = makePlayer(4 * 1024 * 1024);
    TestServer server;
    server.throttleBytesPerSecond = 200 * 1024;
    server.add("/slow/next.mp4", readAll(testMedia().bigClip));
    const QString link = server.url("/slow/next.mp4");
    player_->Prebuffer(link);
    ASSERT_TRUE(waitFor([&] { return player_->prebufferCache().fetchedBytes(link) > 64 * 1024; }, 5000));
    play(link);
    EXPECT_FALSE(player_->prebufferCache().isFetching(link));
    ASSERT_TRUE(reaches(kStatePlaying));
    player_->setPosition(5);
    EXPECT_TRUE(reaches(kStateFinished, 8000));
}

TEST_F(PlayerTest, PrebufferKeepsTheCacheFolderBounded) {
    TestServer server;
    PrebufferCache cache(cache_.path(), 1024, 2);
    // A file left by an earlier run is cleared on the first fetch.
    QFile stale(QDir(cache_.path()).filePath("prebuffer-0123.part"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    for (const char *name : {"/a", "/b", "/c"}) {
        server.add(name, std::string(4096, 'x'));
        cache.start(server.url(name));
        ASSERT_TRUE(waitFor([&] { return !cache.isFetching(server.url(name)); }, 5000));
    }
    EXPECT_EQ(QDir(cache_.path()).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(cache.fetchedBytes(server.url("/a")), 0);
    EXPECT_EQ(cache.fetchedBytes(server.url("/c")), 1024);

    // Links that are not http(s), and addresses that fail, leave nothing behind.
    cache.start(testMedia().clip);
    EXPECT_FALSE(cache.isFetching(testMedia().clip));
    const QString missing = server.url("/missing");
    cache.start(missing);
    ASSERT_TRUE(waitFor([&] { return !cache.isFetching(missing); }, 5000));
    EXPECT_FALSE(cache.takeSource(missing).has_value());
    // Starting it made room (dropping "/b"); failing, it left no file of its own.
    EXPECT_EQ(QDir(cache_.path()).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(cache.fetchedBytes(server.url("/c")), 1024);
    // A failed link may be tried again.
    server.add("/missing", std::string(4096, 'y'));
    cache.start(missing);
    ASSERT_TRUE(waitFor([&] { return !cache.isFetching(missing); }, 5000));
    EXPECT_EQ(cache.fetchedBytes(missing), 1024);
}

} // namespace

// --- sound channels ---------------------------------------------------------

namespace {

struct ChannelTone {
    double level[2] = {0, 0};     // RMS, 0..1
    double frequency[2] = {0, 0}; // Hz, from zero crossings
};

// Reads a 16-bit stereo PCM WAV file as written by the engine's file output.
ChannelTone analyse(const std::string &wav) {
    ChannelTone t;
    const size_t data = wav.find("data");
    if (wav.size() < 44 || data == std::string::npos || data + 8 > wav.size())
        return t;
    const auto *samples = reinterpret_cast<const int16_t *>(wav.data() + data + 8);
    const size_t frames = (wav.size() - data - 8) / 4;
    if (frames < 4800)
        return t;
    for (int ch = 0; ch < 2; ++ch) {
        double sum = 0;
        int crossings = 0;
        // Skip the first tenth of a second, where filters settle.
        for (size_t i = 4800; i < frames; ++i) {
            const double v = samples[2 * i + ch] / 32768.0;
            sum += v * v;
            if ((samples[2 * (i - 1) + ch] < 0) != (samples[2 * i + ch] < 0))
                ++crossings;
        }
        const size_t n = frames - 4800;
        t.level[ch] = std::sqrt(sum / double(n));
        t.frequency[ch] = crossings / 2.0 / (double(n) / 48000.0);
    }
    return t;
}

} // namespace

// The clip carries 440 Hz on the left and 1000 Hz on the right; the engine's
// file output records what each channel setting sends to the speakers.
TEST_F(PlayerTest, AudioChannelSettingsRouteTheTones) {
    struct Case {
        int channel;
        double left, right; // expected frequency per speaker, 0 for silence
    };
    const Case cases[] = {
        {kChannelMixed, 440, 1000},      {kChannelLeft, 440, 0},         {kChannelRight, 0, 1000},
        {kChannelLeftToBoth, 440, 440}, {kChannelRightToBoth, 1000, 1000},
    };
    for (const Case &c : cases) {
        const QString wav = QDir(cache_.path()).filePath(QStringLiteral("out%1.wav").arg(c.channel));
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("pcm");
        o.cacheFolder = cache_.path();
        o.extraOptions = {{"ao-pcm-file", wav},     {"audio-format", "s16"}, {"audio-channels", "stereo"},
                          {"audio-samplerate", "48000"}, {"vid", "no"}, {"end", "1.5"}};
        player_ = MpvPlayer::create(o);
        ASSERT_TRUE(player_);
        player_->SetAudioChannel(c.channel);
        play(testMedia().clip);
        ASSERT_TRUE(reaches(kStateFinished, 8000)) << "channel " << c.channel;
        player_.reset(); // closes the file
        const ChannelTone t = analyse(readAll(wav));
        for (int ch = 0; ch < 2; ++ch) {
            const double expected = ch == 0 ? c.left : c.right;
            SCOPED_TRACE(testing::Message() << "channel setting " << c.channel << ", speaker " << ch);
            if (expected == 0) {
                EXPECT_LT(t.level[ch], 0.001);
            } else {
                EXPECT_GT(t.level[ch], 0.05);
                EXPECT_NEAR(t.frequency[ch], expected, expected * 0.05);
            }
        }
    }
}
