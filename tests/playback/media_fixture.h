#pragma once
// Shared pieces of the player tests: media made with ffmpeg at test time, a
// local HTTP server with range support and optional throttling, and waiting
// on the Qt event loop.

#include <QString>
#include <QTemporaryDir>

#include <httplib.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantoli::test {

// Made once per test program in a temporary folder.
struct TestMedia {
    QString folder;
    QString clip;     // 4 s, 160x120, 440 Hz left and 1000 Hz right
    QString bigClip;  // 6 s, 320x240, about 1 MB: slow enough to watch it arrive
    QString notMedia; // a text file
};
const TestMedia &testMedia();
// 300 s of small silent video, made on first use (few tests need it).
const QString &longClip();

std::string readAll(const QString &file);

// Runs the event loop until pred() holds or timeoutMs pass; returns pred().
bool waitFor(const std::function<bool()> &pred, int timeoutMs);
// Runs the event loop for ms.
void spin(int ms);

// An HTTP server on 127.0.0.1 in a thread of its own. Serves registered
// bodies with range support; "/slow/..." paths deliver at throttleBytesPerSecond.
class TestServer {
public:
    TestServer();
    ~TestServer();
    void add(const std::string &path, std::string body);
    QString url(const std::string &path) const;
    // Range headers received per path, in order ("" for none).
    std::vector<std::string> ranges(const std::string &path);
    std::atomic<int> throttleBytesPerSecond{256 * 1024};

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::map<std::string, std::string> bodies_;
    std::map<std::string, std::vector<std::string>> ranges_;
};

// A TCP listener on 127.0.0.1 that accepts connections and either closes them
// at once or holds them open without a word.
class SilentServer {
public:
    explicit SilentServer(bool closeAtOnce);
    ~SilentServer();
    QString url() const;

private:
    int listenFd_ = -1;
    int port_ = 0;
    bool close_;
    std::atomic<bool> stop_{false};
    std::vector<int> held_;
    std::thread thread_;
};

} // namespace vantoli::test
