#include "content_server.h"

#include "pages.h"
#include "web_text.h"

#include <httplib.h>

#include <QDateTime>
#include <QRegularExpression>
#include <QUrlQuery>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace vantoli::server {

extern const char kEpisodeListTemplate[];
extern const std::size_t kEpisodeListTemplateSize;

QString episodeListTemplate() {
    return QString::fromUtf8(kEpisodeListTemplate, qsizetype(kEpisodeListTemplateSize));
}

namespace {

constexpr size_t kMaxTextFile = 1 << 20;
constexpr size_t kChunk = 64 * 1024;

const char *kHtml = "text/html; charset=utf-8";
const char *kText = "text/plain; charset=utf-8";

std::string utf8(const QString &s) {
    return s.toStdString();
}

QString fromUtf8(const std::string &s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The raw query string of the request target (everything after the first
// "?"), still percent-encoded as the client sent it.
QString rawQuery(const httplib::Request &req) {
    const auto q = req.target.find('?');
    return q == std::string::npos ? QString() : fromUtf8(req.target.substr(q + 1));
}

// Values of one query parameter, split at the first "=" of each pair and
// percent-decoded.
QStringList queryValues(const httplib::Request &req, const QString &key) {
    return QUrlQuery(rawQuery(req)).allQueryItemValues(key, QUrl::FullyDecoded);
}

// The single value of a parameter; null when it is missing or repeated.
QString singleValue(const httplib::Request &req, const QString &key) {
    const QStringList v = queryValues(req, key);
    return v.size() == 1 ? (v.first().isNull() ? QStringLiteral("") : v.first()) : QString();
}

bool isUtf8(const std::string &bytes) {
    const QByteArray b(bytes.data(), qsizetype(bytes.size()));
    return QString::fromUtf8(b).toUtf8() == b;
}

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long long fileStamp(const std::string &path) {
    std::error_code ec;
    const auto t = fs::last_write_time(path, ec);
    if (ec)
        return -1;
    return static_cast<long long>(t.time_since_epoch().count()) ^
           static_cast<long long>(fs::file_size(path, ec));
}

} // namespace

std::string resolveInside(const std::string &root, const std::string &relative) {
    if (relative.empty() || relative.size() > 2048 || relative.front() == '/' ||
        relative.find('\\') != std::string::npos || relative.find('\0') != std::string::npos)
        return {};
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t end = std::min(relative.find('/', start), relative.size());
        const std::string seg = relative.substr(start, end - start);
        if (seg.empty() || seg == "." || seg == "..")
            return {};
        start = end + 1;
    }
    std::error_code ec;
    const fs::path base = fs::canonical(root, ec);
    if (ec)
        return {};
    const fs::path target = fs::canonical(base / relative, ec);
    if (ec || !fs::is_regular_file(target, ec))
        return {};
    // Links inside the folder may not lead out of it.
    const std::string b = base.string() + "/";
    const std::string t = target.string();
    if (t.compare(0, b.size(), b) != 0)
        return {};
    return t;
}

ContentServer::ContentServer(ServerOptions options)
    : options_(std::move(options)), http_(std::make_unique<httplib::Server>()),
      template_(episodeListTemplate()) {}

ContentServer::~ContentServer() {
    stop();
}

std::shared_ptr<const Catalog> ContentServer::catalog() {
    std::lock_guard lock(catalogMutex_);
    const long long now = nowMs();
    if (catalog_ && now - lastCheck_ < 1000)
        return catalog_;
    lastCheck_ = now;
    // The catalog file changes when titles are imported while the server
    // runs; a new snapshot is read then, and the old one stays in use by
    // requests that hold it.
    const long long stamp = fileStamp(catalogPath(options_.dataDir));
    if (catalog_ && stamp == catalogStamp_)
        return catalog_;
    CatalogStore store;
    if (store.openForReading(options_.dataDir)) {
        if (auto c = store.load()) {
            catalog_ = std::make_shared<const Catalog>(std::move(*c));
            catalogStamp_ = stamp;
        }
    }
    if (!catalog_)
        catalog_ = std::make_shared<const Catalog>();
    return catalog_;
}

QString ContentServer::baseFor(const httplib::Request &req) const {
    if (!options_.publicBase.empty())
        return fromUtf8(options_.publicBase);
    static const QRegularExpression host(
        QStringLiteral("^(?:[A-Za-z0-9.-]{1,253}|\\[[0-9A-Fa-f:.]{2,45}\\])(?::[0-9]{1,5})?$"));
    const QString h = fromUtf8(req.get_header_value("Host"));
    if (host.match(h).hasMatch())
        return QStringLiteral("http://") + h + u'/';
    const std::string bind =
        options_.bind == "0.0.0.0" || options_.bind == "::" ? "127.0.0.1" : options_.bind;
    return QStringLiteral("http://%1:%2/").arg(fromUtf8(bind)).arg(port_);
}

bool ContentServer::start() {
    std::error_code ec;
    if (!fs::is_regular_file(catalogPath(options_.dataDir), ec)) {
        error_ = "no catalog in " + options_.dataDir +
                 " (create one with the demo or import command first)";
        return false;
    }
    if (CatalogStore store; !store.openForReading(options_.dataDir)) {
        error_ = "cannot serve " + catalogPath(options_.dataDir) + ": " + store.error();
        return false;
    }
    if (!stats_.open(options_.dataDir)) {
        error_ = "cannot open the statistics database: " + stats_.error();
        return false;
    }
    catalog();
    routes();
    const int threads = std::max(4, options_.threads);
    http_->new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    http_->set_payload_max_length(16 * 1024);
    http_->set_read_timeout(10);
    http_->set_write_timeout(30);
    http_->set_keep_alive_max_count(100);
    // Replies go out as a header write and a body write; without this, small
    // replies wait for the delayed acknowledgement of the first.
    http_->set_tcp_nodelay(true);
    http_->set_default_headers({{"X-Content-Type-Options", "nosniff"}});
    if (options_.port == 0) {
        port_ = http_->bind_to_any_port(options_.bind);
        if (port_ <= 0) {
            error_ = "cannot bind to " + options_.bind;
            return false;
        }
    } else {
        if (!http_->bind_to_port(options_.bind, options_.port)) {
            error_ = "cannot bind to " + options_.bind + ":" + std::to_string(options_.port);
            return false;
        }
        port_ = options_.port;
    }
    return true;
}

void ContentServer::run() {
    http_->listen_after_bind();
}

void ContentServer::stop() {
    if (http_)
        http_->stop();
}

std::optional<ByteRange> byteRange(long long first, long long last, unsigned long long size) {
    if (size == 0)
        return std::nullopt;
    if (first < 0) { // suffix: the last `last` bytes
        if (last <= 0)
            return std::nullopt;
        const auto n = std::min<unsigned long long>(static_cast<unsigned long long>(last), size);
        return ByteRange{size - n, n};
    }
    const auto start = static_cast<unsigned long long>(first);
    if (start >= size || (last >= 0 && last < first))
        return std::nullopt;
    const unsigned long long end =
        last < 0 ? size - 1 : std::min<unsigned long long>(static_cast<unsigned long long>(last), size - 1);
    return ByteRange{start, end - start + 1};
}

void ContentServer::serveFile(const httplib::Request &req, httplib::Response &res,
                              const std::string &root, const std::string &relative) {
    // Ranges are answered here rather than by the library, which mishandles
    // a range past the end of the file. The request object is ours for the
    // duration of the handler; clearing its parsed ranges stops the library
    // from applying them a second time.
    auto &ranges = const_cast<httplib::Request &>(req).ranges;
    const auto requested = ranges;
    ranges.clear();

    const std::string path = resolveInside(root, relative);
    std::error_code ec;
    const unsigned long long size = path.empty() ? 0 : fs::file_size(path, ec);
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    if (path.empty() || ec || !*file) {
        res.status = 404;
        return;
    }
    res.set_header("Accept-Ranges", "bytes");
    res.set_header("Cache-Control", "public, max-age=3600");
    unsigned long long offset = 0, length = size;
    // Several ranges at once are answered with the whole file, which a
    // server may always do.
    if (requested.size() == 1) {
        const auto r = byteRange(requested.front().first, requested.front().second, size);
        if (!r) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        offset = r->offset;
        length = r->length;
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(offset) + "-" +
                                            std::to_string(offset + length - 1) + "/" +
                                            std::to_string(size));
    } else {
        res.status = 200;
    }
    if (length == 0) {
        res.set_content("", mimeTypeFor(path));
        return;
    }
    // The file is read in chunks as the client takes them, never whole.
    res.set_content_provider(
        size_t(length), mimeTypeFor(path),
        [file, offset](size_t at, size_t want, httplib::DataSink &sink) {
            char buf[kChunk];
            file->clear();
            file->seekg(std::streamoff(offset + at));
            file->read(buf, std::streamsize(std::min(want, kChunk)));
            const auto got = file->gcount();
            return got > 0 && sink.write(buf, size_t(got));
        });
}

void ContentServer::routes() {
    httplib::Server &s = *http_;
    const std::string data = options_.dataDir;

    if (options_.log) {
        s.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
            std::string line = utf8(QDateTime::currentDateTime().toString(Qt::ISODate)) + ' ' +
                               logField(req.remote_addr, 64) + ' ' + logField(req.method, 16) +
                               ' ' + logField(req.target) + ' ' + std::to_string(res.status);
            const std::string range = req.get_header_value("Range");
            if (!range.empty())
                line += " range=" + logField(range, 64);
            options_.log(line);
        });
    }

    s.set_error_handler([this](const httplib::Request &req, httplib::Response &res) {
        if (!res.body.empty() || res.content_provider_)
            return;
        const QString msg = res.status == 404 ? QStringLiteral("页面不存在")
                                              : QStringLiteral("请求无效");
        res.set_content(utf8(errorPage(res.status, msg, baseFor(req))), kHtml);
    });

    auto html = [](httplib::Response &res, const QString &page) {
        res.set_header("Cache-Control", "no-cache");
        res.set_content(utf8(page), kHtml);
    };

    s.Get("/", [this, html](const httplib::Request &req, httplib::Response &res) {
        html(res, homePage(*catalog(), baseFor(req)));
    });
    s.Get("/index.htm", [this, html](const httplib::Request &req, httplib::Response &res) {
        html(res, homePage(*catalog(), baseFor(req)));
    });
    s.Get(R"(/v/([0-9]{1,9})\.htm)", [this, html](const httplib::Request &req, httplib::Response &res) {
        const auto cat = catalog();
        const Title *t = cat->findTitle(std::stoi(req.matches[1]));
        if (!t) {
            res.status = 404;
            return;
        }
        html(res, titlePage(*t, baseFor(req)));
    });

    s.Get("/h.php", [this](const httplib::Request &req, httplib::Response &res) {
        // Exactly one of each parameter; anything else is unanswerable.
        const QString reply = episodeLookup(*catalog(), baseFor(req), singleValue(req, u"id"_s),
                                            singleValue(req, u"v"_s), singleValue(req, u"v1"_s));
        res.set_header("Cache-Control", "no-cache");
        res.set_content(utf8(reply), kText);
    });

    s.Get("/pp.htm", [this, html](const httplib::Request &req, httplib::Response &res) {
        bool found = false;
        html(res, episodeListPage(template_, *catalog(), rawQuery(req), baseFor(req), &found));
        if (!found)
            res.status = 404;
    });

    s.Get("/play.htm", [html](const httplib::Request &req, httplib::Response &res) {
        bool ok = false;
        html(res, playPage(rawQuery(req), &ok));
        if (!ok)
            res.status = 400;
    });
    s.Get("/play-ended.htm", [html](const httplib::Request &, httplib::Response &res) {
        html(res, playEndedPage());
    });

    s.Get("/tv/list.htm", [this, html](const httplib::Request &req, httplib::Response &res) {
        html(res, tvListPage(*catalog(), baseFor(req)));
    });
    s.Get("/tv/ad.htm", [this, html](const httplib::Request &req, httplib::Response &res) {
        html(res, tvIdlePage(*catalog(), baseFor(req)));
    });
    s.Get("/tv/kxbotv.htm", [this, html](const httplib::Request &req, httplib::Response &res) {
        const auto cat = catalog();
        const Channel *c = channelForQuery(*cat, rawQuery(req));
        if (!c) {
            res.status = 404;
            return;
        }
        html(res, channelPage(*c, baseFor(req)));
    });

    s.Get(R"(/js/ads/(bo|jingcai|peerad|tui)\.html)",
          [this, html](const httplib::Request &req, httplib::Response &res) {
              const auto cat = catalog();
              const QString base = baseFor(req);
              const std::string which = req.matches[1];
              if (which == "bo")
                  html(res, stripAdPage(*cat, base));
              else if (which == "jingcai")
                  html(res, highlightsPage(*cat, base));
              else if (which == "peerad")
                  html(res, pausePanelPage(*cat, base));
              else
                  html(res, recommendationPage(*cat, base));
          });
    s.Get(R"(/notice/([0-9]{1,9})\.htm)", [this, html](const httplib::Request &req, httplib::Response &res) {
        const auto cat = catalog();
        const Title *t = cat->findTitle(std::stoi(req.matches[1]));
        if (!t) {
            res.status = 404;
            return;
        }
        html(res, noticePage(*t, baseFor(req)));
    });

    // Operator-edited text files, served as they are. UTF-8 files say so;
    // others go out without a charset and are read in the program's own
    // code page.
    s.Get(R"(/lib/(wen|tan|gun)\.txt)", [data](const httplib::Request &req, httplib::Response &res) {
        const std::string path = resolveInside(data + "/lib", std::string(req.matches[1]) + ".txt");
        std::error_code ec;
        if (path.empty() || fs::file_size(path, ec) > kMaxTextFile || ec) {
            res.status = 404;
            return;
        }
        std::ifstream in(path, std::ios::binary);
        std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        res.set_header("Cache-Control", "no-cache");
        res.set_content(body, isUtf8(body) ? kText : "text/plain");
    });

    s.Get("/update/update.exe", [this, data](const httplib::Request &req, httplib::Response &res) {
        serveFile(req, res, data + "/update", "update.exe");
    });
    s.Get(R"(/media/(.+))", [this, data](const httplib::Request &req, httplib::Response &res) {
        serveFile(req, res, data + "/media", req.matches[1]);
    });

    auto ping = [this](PingKind kind) {
        return [this, kind](const httplib::Request &req, httplib::Response &res) {
            const QString enid = singleValue(req, u"enid"_s);
            const QString us = singleValue(req, u"us"_s);
            if (!isValidPing(enid, us)) {
                res.status = 400;
                res.set_content("bad ping\n", kText);
                return;
            }
            if (!stats_.record({kind, enid, us, fromUtf8(req.remote_addr)})) {
                res.status = 500;
                res.set_content("not recorded\n", kText);
                return;
            }
            res.set_header("Cache-Control", "no-store");
            res.set_content(utf8(playEndedPage()), kHtml);
        };
    };
    s.Get("/stat/tongji.php", ping(PingKind::Start));
    s.Get("/stat/tongjidb.php", ping(PingKind::Play));
    s.Get("/stat/summary.json", [this](const httplib::Request &, httplib::Response &res) {
        const StatsSummary sum = stats_.summary();
        res.set_header("Cache-Control", "no-store");
        res.set_content("{\"starts\":" + std::to_string(sum.starts) +
                            ",\"plays\":" + std::to_string(sum.plays) +
                            ",\"machines\":" + std::to_string(sum.machines) +
                            ",\"unverified\":" + std::to_string(sum.unverified) + "}\n",
                        "application/json");
    });
}

} // namespace vantoli::server
