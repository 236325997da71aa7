// The transfer program on loopback: throughput serving a cached item and an
// item still downloading, and Play to the first frame of a network item
// through the terminal against playing it directly.

#include "media_fixture.h"
#include "origin.h"

#include "playback/mpv_player.h"
#include "terminal/peer_terminal/terminal_paths.h"
#include "terminal/peer_terminal/terminal_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vantoli;
using namespace vantoli::test;

namespace {

std::string playPath(const std::string &url) {
    return "/play?url=" + QUrl::toPercentEncoding(QString::fromStdString(url)).toStdString();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// MB/s of one client reading the whole item.
double readRate(int port, const std::string &target, std::size_t expect) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(60);
    std::size_t got = 0;
    QElapsedTimer t;
    t.start();
    auto res = c.Get(target, [&](const char *, std::size_t n) {
        got += n;
        return true;
    });
    const double s = double(t.nsecsElapsed()) / 1e9;
    if (!res || got != expect) {
        std::printf("  read of %s failed (%zu of %zu bytes)\n", target.c_str(), got, expect);
        return 0;
    }
    return double(got) / (1024.0 * 1024.0) / s;
}

void throughput(int runs) {
    Origin origin;
    const std::size_t size = 128 * 1024 * 1024;
    const std::string body = patternBytes(size);
    QTemporaryDir dir;
    terminal::TerminalConfig c;
    c.cacheFolder = dir.filePath("cache");
    terminal::TerminalService service(c);
    service.start();

    std::vector<double> direct, fresh, cached;
    for (int i = 0; i < runs; ++i) {
        const std::string path = "/item" + std::to_string(i) + ".bin";
        origin.add(path, body);
        direct.push_back(readRate(origin.port(), path, size));
        fresh.push_back(readRate(service.port(), playPath(origin.url(path)), size));
        cached.push_back(readRate(service.port(), playPath(origin.url(path)), size));
    }
    std::printf("128 MiB item on loopback, median of %d:\n", runs);
    std::printf("  origin directly                 %7.0f MB/s\n", median(direct));
    std::printf("  terminal, still downloading     %7.0f MB/s\n", median(fresh));
    std::printf("  terminal, cached                %7.0f MB/s\n", median(cached));
}

double playToState3(MpvPlayer &player, const QString &url) {
    QElapsedTimer t;
    player.setUrl(url);
    t.start();
    player.Play();
    if (!waitFor([&] { return player.PlayState() == kStatePlaying; }, 15000))
        return -1;
    const double ms = double(t.nsecsElapsed()) / 1e6;
    player.Stop();
    waitFor([&] { return player.PlayState() == kStateStopped || player.PlayState() == kStateIdle; }, 5000);
    return ms;
}

void firstFrame(int runs, int rate) {
    Origin origin;
    origin.rate = rate;
    const std::string clip = readAll(testMedia().bigClip);
    QTemporaryDir dir;
    terminal::TerminalConfig c;
    c.cacheFolder = dir.filePath("cache");
    terminal::TerminalService service(c);
    service.start();
    const QString portFile = dir.filePath("port");
    {
        QSaveFile f(portFile);
        f.open(QIODevice::WriteOnly);
        f.write(terminal::portFileText(service.port(), QString()));
        f.commit();
    }
    auto make = [&](bool viaTerminal) {
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("null");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = dir.filePath("prebuffer");
        o.useTerminal = viaTerminal;
        o.terminalPortFile = portFile;
        return MpvPlayer::create(o);
    };
    auto direct = make(false);
    auto through = make(true);
    std::vector<double> d, fresh, cached;
    for (int i = 0; i < runs; ++i) {
        const std::string path = "/clip" + std::to_string(i) + ".mp4";
        origin.add(path, clip);
        const QString url = QString::fromStdString(origin.url(path));
        d.push_back(playToState3(*direct, url));
        fresh.push_back(playToState3(*through, url));
        cached.push_back(playToState3(*through, url + QString()));
    }
    std::printf("Play -> first frame (state 3), %zu KB clip, origin %s, median of %d:\n", clip.size() / 1024,
                rate ? qPrintable(QStringLiteral("at %1 KB/s").arg(rate / 1024)) : "unthrottled", runs);
    std::printf("  directly                        %7.1f ms\n", median(d));
    std::printf("  through the terminal, new item  %7.1f ms\n", median(fresh));
    std::printf("  through the terminal, cached    %7.1f ms\n", median(cached));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    throughput(runs);
    firstFrame(runs, 0);
    firstFrame(runs, 512 * 1024);
    return 0;
}
