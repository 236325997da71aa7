// What the real engine may be made to open. An address of the engine's own
// protocols never reaches it, and what a network item names (a playlist, HLS
// segments, a concat list) is opened over the network only: never a local
// file, never another protocol. A plain clip, HLS and concat list over http
// still play.

#include "media_fixture.h"

#include "playback/mpv_player.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace vantoli::test;

namespace {

class PlayerLimits : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = dir_.filePath(QStringLiteral("cache"));
        player_ = MpvPlayer::create(o);
        ASSERT_TRUE(player_) << "libmpv could not be loaded";
        // The clip as an MPEG-TS segment, on disk and on the server.
        localSegment_ = dir_.filePath(QStringLiteral("local.ts"));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                QStringLiteral("-i"), testMedia().clip, QStringLiteral("-c"),
                                                QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("mpegts"),
                                                localSegment_});
        ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
        written_ = dir_.filePath(QStringLiteral("written.txt"));
    }

    // Plays url; true when it reaches playing within timeoutMs.
    bool plays(const QString &url, int timeoutMs) {
        player_->setUrl(url);
        player_->Play();
        const bool playing = waitFor([&] { return player_->PlayState() == kStatePlaying; }, timeoutMs);
        player_->Stop();
        waitFor([&] { return player_->PlayState() == kStateStopped || player_->PlayState() == kStateIdle; }, 3000);
        return playing;
    }

    // A filter chain that creates (or empties) a file of the attacker's choice.
    std::string writingFilter() const {
        return "av://lavfi:aevalsrc=0:d=1,ametadata=mode=print:file=" + written_.toStdString();
    }

    static std::string hls(const std::string &segment) {
        return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:4\n#EXTINF:4.0,\n" + segment + "\n#EXT-X-ENDLIST\n";
    }

    QTemporaryDir dir_;
    QString localSegment_;
    QString written_;
    std::unique_ptr<MpvPlayer> player_;
};

} // namespace

TEST_F(PlayerLimits, TheEnginesOwnProtocolsNeverReachIt) {
    for (const std::string &url : {writingFilter(), std::string("lavfi://aevalsrc=0:d=1"),
                                   "edl://" + testMedia().clip.toStdString() + ",0,1"}) {
        EXPECT_FALSE(plays(QString::fromStdString(url), 1500)) << url;
    }
    EXPECT_FALSE(QFileInfo::exists(written_));
    // A local file still plays.
    EXPECT_TRUE(plays(testMedia().clip, 8000));
}

TEST_F(PlayerLimits, WhatANetworkItemNamesIsOpenedOverTheNetworkOnly) {
    TestServer server;
    const std::string local = localSegment_.toStdString();
    server.add("/list.m3u", "#EXTM3U\n" + local + "\n");
    server.add("/file-url.m3u", "#EXTM3U\nfile://" + local + "\n");
    server.add("/filter.m3u", "#EXTM3U\n" + writingFilter() + "\n");
    server.add("/file.m3u8", hls("file://" + local));
    server.add("/crypto.m3u8", hls("crypto+file://" + local));
    server.add("/absolute.ffconcat", "ffconcat version 1.0\nfile " + local + "\n");
    server.add("/file-url.ffconcat", "ffconcat version 1.0\nfile file:" + local + "\n");
    // The engine's own formats, known by their content whatever the name.
    server.add("/edl.mp4", "# mpv EDL v0\n" + local + ",0,1\n");
    server.add("/edl-filter.mp4", "# mpv EDL v0\n" + writingFilter() + "\n");
    server.add("/sheet.cue", "FILE \"" + local + "\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    server.add("/nested.m3u", "#EXTM3U\nedl://" + local + ",0,1\nmemory://x\n");
    for (const char *path : {"/list.m3u", "/file-url.m3u", "/filter.m3u", "/file.m3u8", "/crypto.m3u8",
                             "/absolute.ffconcat", "/file-url.ffconcat", "/edl.mp4", "/edl-filter.mp4",
                             "/sheet.cue", "/nested.m3u"}) {
        EXPECT_FALSE(plays(server.url(path), 2500)) << path;
    }
    EXPECT_FALSE(QFileInfo::exists(written_));

    // The same forms naming what the server itself holds play.
    server.add("/clip.mp4", readAll(testMedia().clip));
    server.add("/seg.ts", readAll(localSegment_));
    server.add("/ok.m3u8", hls("seg.ts"));
    server.add("/ok.ffconcat", "ffconcat version 1.0\nfile clip.mp4\n");
    server.add("/edl-ok.mp4", "# mpv EDL v0\n" + server.url("/clip.mp4").toStdString() + ",0,1\n");
    for (const char *path : {"/clip.mp4", "/ok.m3u8", "/ok.ffconcat", "/edl-ok.mp4"})
        EXPECT_TRUE(plays(server.url(path), 8000)) << path;
}

TEST_F(PlayerLimits, AnItemThatNeverOpensIsToldApartFromOneThatStopped) {
    player_->setUrl(testMedia().notMedia);
    player_->Play();
    EXPECT_TRUE(waitFor([&] { return player_->OpenFailed(); }, 8000));
    EXPECT_NE(player_->PlayState(), kStatePlaying);
    player_->setUrl(QStringLiteral("av://lavfi:testsrc"));
    player_->Play();
    EXPECT_TRUE(player_->OpenFailed()) << "refused before the engine sees it";

    player_->setUrl(testMedia().clip);
    player_->Play();
    EXPECT_FALSE(player_->OpenFailed());
    ASSERT_TRUE(waitFor([&] { return player_->PlayState() == kStatePlaying; }, 8000));
    player_->Stop();
    ASSERT_TRUE(waitFor([&] { return player_->PlayState() == kStateStopped; }, 3000));
    EXPECT_FALSE(player_->OpenFailed());
}
