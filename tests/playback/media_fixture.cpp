#include "media_fixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace vantoli::test {
namespace {

void ffmpeg(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error("ffmpeg failed: " + p.readAllStandardError().toStdString());
}

TestMedia makeMedia() {
    static QTemporaryDir dir;
    TestMedia m;
    m.folder = dir.path();
    m.clip = dir.filePath("clip.mp4");
    m.bigClip = dir.filePath("big.mp4");
    m.notMedia = dir.filePath("notes.txt");
    const QStringList tone{"-f", "lavfi", "-i", "sine=f=440:d=%1", "-f", "lavfi", "-i", "sine=f=1000:d=%1",
                           "-filter_complex", "[1:a][2:a]amerge=inputs=2[a]"};
    auto withSeconds = [&](int s) {
        QStringList t = tone;
        t[3] = t[3].arg(s);
        t[7] = t[7].arg(s);
        return t;
    };
    ffmpeg(QStringList{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=4"} + withSeconds(4) +
           QStringList{"-map", "0:v", "-map", "[a]", "-c:v", "mpeg4", "-q:v", "4", "-c:a", "aac", "-ac", "2",
                       "-movflags", "+faststart", m.clip});
    ffmpeg(QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=6"} + withSeconds(6) +
           QStringList{"-map", "0:v", "-map", "[a]", "-c:v", "mpeg4", "-q:v", "2", "-c:a", "aac", "-ac", "2",
                       "-movflags", "+faststart", m.bigClip});
    QFile text(m.notMedia);
    if (text.open(QIODevice::WriteOnly))
        text.write(QByteArray("This is a shopping list, not a film.\n").repeated(200));
    return m;
}

} // namespace

const TestMedia &testMedia() {
    static const TestMedia media = makeMedia();
    return media;
}

const QString &longClip() {
    static const QString file = [] {
        const QString f = testMedia().folder + QStringLiteral("/long.mp4");
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=5:duration=300", "-c:v", "mpeg4", "-q:v", "20",
                "-movflags", "+faststart", f});
        return f;
    }();
    return file;
}

std::string readAll(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

bool waitFor(const std::function<bool()> &pred, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

void spin(int ms) {
    waitFor([] { return false; }, ms);
}

TestServer::TestServer() {
    server_.Get(R"(/(.*))", [this](const httplib::Request &req, httplib::Response &res) {
        std::string body;
        {
            const std::lock_guard lock(mutex_);
            ranges_[req.path].push_back(req.get_header_value("Range"));
            const auto it = bodies_.find(req.path);
            if (it == bodies_.end()) {
                res.status = 404;
                return;
            }
            body = it->second;
        }
        if (req.path.rfind("/slow/", 0) != 0) {
            res.set_content(body, "application/octet-stream");
            return;
        }
        // Throttled: the server library cuts the requested range out of what
        // the provider hands it, in pieces of a few kilobytes.
        auto shared = std::make_shared<std::string>(std::move(body));
        res.set_content_provider(shared->size(), "application/octet-stream",
                                 [this, shared](size_t offset, size_t length, httplib::DataSink &sink) {
                                     const size_t n = std::min<size_t>(length, 16 * 1024);
                                     const int rate = std::max(1, throttleBytesPerSecond.load());
                                     std::this_thread::sleep_for(std::chrono::microseconds(
                                         qint64(n) * 1000000 / rate));
                                     return sink.write(shared->data() + offset, n);
                                 });
    });
    // One request per connection, so stopping never waits for an idle client.
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer() {
    server_.stop();
    thread_.join();
}

void TestServer::add(const std::string &path, std::string body) {
    const std::lock_guard lock(mutex_);
    bodies_[path] = std::move(body);
}

QString TestServer::url(const std::string &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QString::fromStdString(path));
}

std::vector<std::string> TestServer::ranges(const std::string &path) {
    const std::lock_guard lock(mutex_);
    return ranges_[path];
}

SilentServer::SilentServer(bool closeAtOnce) : close_(closeAtOnce) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 8) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
        while (!stop_) {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            if (close_)
                ::close(fd);
            else
                held_.push_back(fd);
        }
    });
}

SilentServer::~SilentServer() {
    stop_ = true;
    thread_.join();
    for (int fd : held_)
        ::close(fd);
    ::close(listenFd_);
}

QString SilentServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/film.mp4").arg(port_);
}

} // namespace vantoli::test
