// The PeerPlayer program itself: started as the main program would start it,
// on the offscreen platform with null audio, and ended with SIGTERM.

#include "media_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

namespace {

struct Media {
    QTemporaryDir dir;
    QString clip, text;
    // The program runs as a copy under another name: the main program ends
    // every running "PeerPlayer" when it starts, and its own end-to-end tests
    // may run beside these.
    QString program;
    Media() {
        program = dir.filePath("player-under-test");
        QFile::copy(QStringLiteral(PEER_PLAYER_PATH), program);
        QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
        clip = dir.filePath("clip 640.mp4");
        text = dir.filePath("list.mp4");
        QProcess ff;
        ff.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=3",
                            "-c:v", "mpeg4", "-q:v", "5", clip});
        ff.waitForFinished(60000);
        QFile f(text);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray("not a film\n").repeated(300));
    }
};

const Media &media() {
    static Media m;
    return m;
}

class PlayerRun {
public:
    explicit PlayerRun(const QStringList &args, bool firstFrame = true) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VANTOLI_AUDIO_OUTPUT", "null");
        if (firstFrame)
            env.insert("PEERPLAYER_PRINT_FIRST_FRAME_TIME", "1");
        process.setProcessEnvironment(env);
        process.start(media().program, args);
        process.waitForStarted(10000);
    }
    ~PlayerRun() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Waits until standard output or error holds text.
    bool waitFor(const QByteArray &text, int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            out += process.readAllStandardOutput();
            err += process.readAllStandardError();
            if (out.contains(text) || err.contains(text))
                return true;
            if (process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(50);
        }
        return false;
    }
    bool running() { return process.state() == QProcess::Running; }
    // SIGTERM, as the main program ends it; true when it ended on its own
    // with status 0.
    bool terminate() {
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(10000))
            return false;
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    QProcess process;
    QByteArray out, err;
};

TEST(PeerPlayerProgram, PlaysALocalClipAndEndsCleanlyOnSigterm) {
    PlayerRun run({media().clip});
    EXPECT_TRUE(run.waitFor("first video frame drawn at", 15000)) << run.err.constData();
    // The 3 s clip plays to its end; the window stays with its last frame.
    QThread::msleep(3500);
    EXPECT_TRUE(run.running());
    EXPECT_TRUE(run.terminate()) << run.err.constData();
    EXPECT_EQ(run.out.count("first video frame drawn"), 1);
}

TEST(PeerPlayerProgram, PlaysAnAddressOverLoopback) {
    vantoli::test::TestServer server;
    server.add("/v/clip.mp4", vantoli::test::readAll(media().clip));
    PlayerRun run({server.url("/v/clip.mp4")});
    EXPECT_TRUE(run.waitFor("first video frame drawn at", 15000)) << run.err.constData();
    EXPECT_TRUE(run.terminate());
    EXPECT_FALSE(run.err.contains("PeerPlayer:")) << run.err.constData();
}

TEST(PeerPlayerProgram, ItemsThatCannotPlayShowTheirErrorAndKeepTheWindow) {
    {
        PlayerRun run({media().dir.filePath("missing.mp4")});
        EXPECT_TRUE(run.waitFor("找不到文件：", 10000));
        QThread::msleep(300);
        EXPECT_TRUE(run.running());
        EXPECT_TRUE(run.terminate());
    }
    {
        PlayerRun run({media().text});
        EXPECT_TRUE(run.waitFor("无法播放：list.mp4", 10000)) << run.err.constData();
        EXPECT_TRUE(run.running());
        EXPECT_TRUE(run.terminate());
        EXPECT_FALSE(run.out.contains("first video frame"));
    }
    {
        // Nothing listens there: the address fails, the window stays.
        PlayerRun run({"http://127.0.0.1:9/none.mp4"});
        EXPECT_TRUE(run.waitFor("无法", 15000)) << run.err.constData();
        EXPECT_TRUE(run.running());
        EXPECT_TRUE(run.terminate());
    }
}

TEST(PeerPlayerProgram, WhatAnAddressNamesIsOpenedOverTheNetworkOnly) {
    // An MPEG-TS segment, on disk and on the server.
    const QString segment = media().dir.filePath("segment.ts");
    QProcess ff;
    ff.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x180:rate=25:duration=3", "-c:v",
                        "mpeg2video", "-f", "mpegts", segment});
    ASSERT_TRUE(ff.waitForFinished(60000) && ff.exitCode() == 0);
    const std::string local = segment.toStdString();
    const auto hls = [](const std::string &s) {
        return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:3\n#EXTINF:3.0,\n" + s + "\n#EXT-X-ENDLIST\n";
    };
    vantoli::test::TestServer server;
    server.add("/list.m3u", "#EXTM3U\n" + local + "\n");
    server.add("/file.m3u8", hls("file://" + local));
    server.add("/seg.ts", vantoli::test::readAll(segment));
    server.add("/ok.m3u8", hls("seg.ts"));
    for (const char *path : {"/list.m3u", "/file.m3u8"}) {
        PlayerRun run({server.url(path)});
        EXPECT_TRUE(run.waitFor("无法", 15000)) << path << run.err.constData();
        EXPECT_TRUE(run.terminate());
        EXPECT_FALSE(run.out.contains("first video frame")) << path;
    }
    PlayerRun run({server.url("/ok.m3u8")});
    EXPECT_TRUE(run.waitFor("first video frame drawn at", 15000)) << run.err.constData();
    EXPECT_TRUE(run.terminate());
}

TEST(PeerPlayerProgram, OddCommandLines) {
    {
        // Unknown options warn; quotes and empty arguments are dropped.
        PlayerRun run({"--bogus", "", "\"" + media().clip + "\""});
        EXPECT_TRUE(run.waitFor("first video frame drawn at", 15000)) << run.err.constData();
        EXPECT_TRUE(run.err.contains("unknown option ignored: --bogus"));
        EXPECT_TRUE(run.terminate());
    }
    {
        // Nothing given: an empty window that waits for a file.
        PlayerRun run({});
        QThread::msleep(700);
        EXPECT_TRUE(run.running());
        EXPECT_TRUE(run.terminate());
        EXPECT_FALSE(run.err.contains("PeerPlayer:")) << run.err.constData(); // no error or warning of ours
    }
    {
        PlayerRun run({"av://lavfi:testsrc"});
        EXPECT_TRUE(run.waitFor("不支持的地址：av://lavfi:testsrc", 10000));
        EXPECT_TRUE(run.terminate());
        EXPECT_FALSE(run.out.contains("first video frame"));
    }
    {
        PlayerRun run({"--help"}, false);
        ASSERT_TRUE(run.process.waitForFinished(10000));
        EXPECT_EQ(run.process.exitCode(), 0);
        EXPECT_TRUE(run.process.readAllStandardOutput().contains("Usage: PeerPlayer"));
    }
}

TEST(PeerPlayerProgram, SigtermDuringStartEndsWithStatusZero) {
    PlayerRun run({media().clip}, false);
    QThread::msleep(30);
    EXPECT_TRUE(run.terminate()) << run.err.constData();
}

} // namespace
