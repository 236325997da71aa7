// Time from Play to state 3 for a local file and for an address on loopback,
// and the cost of one status tick's worth of player reads.

#include "media_fixture.h"

#include "playback/mpv_player.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace vantoli;
using namespace vantoli::test;

namespace {

double threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

void startToPlaying(MpvPlayer &player, const QString &url, const char *label, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        player.setUrl(url);
        t.start();
        player.Play();
        if (!waitFor([&] { return player.PlayState() == kStatePlaying; }, 10000)) {
            std::printf("%s: did not reach state 3\n", label);
            return;
        }
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        player.Stop();
        waitFor([&] { return player.PlayState() == kStateStopped; }, 5000);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("Play -> state 3, %-22s median %6.1f ms  min %6.1f  max %6.1f  (%d runs)\n", label,
                ms[ms.size() / 2], ms.front(), ms.back(), runs);
}

// What one status tick reads from the player.
int tickReads(const Player &p) {
    int sink = p.Url().size();
    sink += p.Position() + p.Duration() + p.Position() + p.Position();
    sink += p.DownloadProgress() + p.DownloadSpeed() + p.PlayState();
    sink += p.Position() + p.BitRate() + p.Position() + p.Duration();
    sink += p.Position() + p.Duration() + p.DownloadProgress();
    return sink;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    MpvPlayerOptions o;
    o.videoOutput = QStringLiteral("null");
    o.audioOutput = QStringLiteral("null");
    QTemporaryDir cache;
    o.cacheFolder = cache.path();
    auto player = MpvPlayer::create(o);
    if (!player) {
        std::printf("libmpv could not be loaded\n");
        return 1;
    }
    TestServer server;
    server.add("/clip.mp4", readAll(testMedia().clip));
    constexpr int kRuns = 15;
    startToPlaying(*player, testMedia().clip, "local file", kRuns);
    startToPlaying(*player, server.url("/clip.mp4"), "HTTP on 127.0.0.1", kRuns);

    player->setUrl(testMedia().clip);
    player->Play();
    waitFor([&] { return player->PlayState() == kStatePlaying; }, 10000);
    constexpr int kTicks = 200000;
    int sink = 0;
    const double cpu0 = threadCpuNs();
    for (int i = 0; i < kTicks; ++i)
        sink += tickReads(*player);
    const double perTick = (threadCpuNs() - cpu0) / kTicks;
    std::printf("One status tick of reads (15 getters): %.0f ns CPU (%d ticks; %d)\n", perTick, kTicks,
                sink & 1);
    return 0;
}
