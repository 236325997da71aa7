#include "content_server.h"

#include "operator_commands.h"
#include "pages.h"
#include "web_text.h"

#include <QDateTime>
#include <QHostAddress>
#include <QRegularExpression>
#include <QUrlQuery>

#include <fcntl.h>
#include <unistd.h>

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
// What a malformed Range header is taken for: one range no file satisfies.
const std::vector<std::pair<long long, long long>> kUnsatisfiable{{-1, -1}};

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
QString rawQuery(const http::Request &req) {
    const auto q = req.target.find('?');
    return q == std::string::npos ? QString() : fromUtf8(req.target.substr(q + 1));
}

// Values of one query parameter, split at the first "=" of each pair and
// percent-decoded.
QStringList queryValues(const http::Request &req, const QString &key) {
    return QUrlQuery(rawQuery(req)).allQueryItemValues(key, QUrl::FullyDecoded);
}

// The single value of a parameter; null when it is missing or repeated.
QString singleValue(const http::Request &req, const QString &key) {
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
    : options_(std::move(options)), pingLimit_(options_.pingBurst, options_.pingInterval),
      template_(episodeListTemplate()) {
    http::Limits limits;
    limits.requestDeadline = options_.requestDeadline;
    limits.threads = std::max(1, options_.threads);
    http_ = std::make_unique<http::Server>(limits);
}

ContentServer::~ContentServer() {
    stop();
    // Sessions go with the HTTP layer; they use the members below it.
    http_.reset();
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
    // Mixed in unsigned arithmetic: the stamps are large and may wrap.
    const long long stamp = static_cast<long long>(
        static_cast<unsigned long long>(fileStamp(catalogPath(options_.dataDir))) * 31u +
        static_cast<unsigned long long>(fileStamp(torrentIndexPath(options_.dataDir))));
    if (catalog_ && stamp == catalogStamp_)
        return catalog_;
    CatalogStore store;
    if (store.openForReading(options_.dataDir)) {
        if (auto c = store.load()) {
            auto byHash = std::make_shared<std::unordered_map<std::string, TorrentEntry>>();
            for (const TorrentStatus &t : listTorrents(options_.dataDir))
                if (t.state == TorrentState::Current)
                    byHash->emplace(t.entry.infoHash, t.entry);
            // With a tracker, player episodes whose file has a current
            // torrent are played from peers; the rest keep their media URL.
            if (!options_.tracker.empty()) {
                QHash<QString, QString> peers;
                for (const auto &[hash, entry] : *byHash)
                    peers.insert(entry.path, peerAddress(entry));
                for (Title &t : c->titles)
                    for (Source &s : t.sources)
                        for (Episode &e : s.episodes)
                            if (e.kind == kPlayerKind && peers.contains(e.address))
                                e.address = peers.value(e.address);
            }
            catalog_ = std::make_shared<const Catalog>(std::move(*c));
            torrents_ = std::move(byHash);
            catalogStamp_ = stamp;
        }
    }
    if (!catalog_)
        catalog_ = std::make_shared<const Catalog>();
    if (!torrents_)
        torrents_ = std::make_shared<const std::unordered_map<std::string, TorrentEntry>>();
    return catalog_;
}

std::shared_ptr<const std::unordered_map<std::string, TorrentEntry>> ContentServer::torrents() {
    catalog();
    std::lock_guard lock(catalogMutex_);
    return torrents_;
}

QString ContentServer::baseFor(const http::Request &req) const {
    if (!options_.publicBase.empty())
        return fromUtf8(options_.publicBase);
    static const QRegularExpression host(
        QStringLiteral("^(?:[A-Za-z0-9.-]{1,253}|\\[[0-9A-Fa-f:.]{2,45}\\])(?::[0-9]{1,5})?$"));
    const QString h = fromUtf8(req.header("Host"));
    if (host.match(h).hasMatch())
        return QStringLiteral("http://") + h + u'/';
    const std::string bind =
        options_.bind == "0.0.0.0" || options_.bind == "::" ? "127.0.0.1" : options_.bind;
    return QStringLiteral("http://%1:%2/").arg(fromUtf8(bind)).arg(port_);
}

std::string ContentServer::clientAddress(const http::Request &req) const {
    if (!options_.behindProxy || !QHostAddress(fromUtf8(req.remoteAddr)).isLoopback())
        return req.remoteAddr;
    const QHostAddress forwarded(fromUtf8(req.header("X-Real-IP")));
    return forwarded.isNull() ? req.remoteAddr : utf8(forwarded.toString());
}

double RateLimit::tokensAt(const Bucket &b, std::chrono::steady_clock::time_point now) const {
    const double refilled = std::chrono::duration<double>(now - b.at) / interval_;
    return std::min(double(burst_), b.tokens + std::max(0.0, refilled));
}

bool RateLimit::take(const std::string &address, std::chrono::steady_clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (buckets_.size() >= 4096) {
        for (auto it = buckets_.begin(); it != buckets_.end();)
            it = tokensAt(it->second, now) >= burst_ ? buckets_.erase(it) : std::next(it);
        // Still crowded: so many addresses are active at once that the
        // limit per address matters less than the memory.
        if (buckets_.size() >= 65536)
            buckets_.clear();
    }
    Bucket &b = buckets_.try_emplace(address, Bucket{double(burst_), now}).first->second;
    b.tokens = tokensAt(b, now);
    b.at = now;
    if (b.tokens < 1)
        return false;
    b.tokens -= 1;
    return true;
}

std::size_t RateLimit::tracked() const {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

std::optional<std::vector<std::pair<long long, long long>>> parseRanges(const std::string &value) {
    static const QRegularExpression spec(QStringLiteral("^\\s*(\\d{0,18})\\s*-\\s*(\\d{0,18})\\s*$"));
    if (value.rfind("bytes=", 0) != 0)
        return std::nullopt;
    std::vector<std::pair<long long, long long>> out;
    for (const QString &part : fromUtf8(value.substr(6)).split(u',')) {
        const auto m = spec.match(part);
        if (!m.hasMatch() || (m.capturedLength(1) == 0 && m.capturedLength(2) == 0))
            return std::nullopt;
        out.emplace_back(m.capturedLength(1) ? m.captured(1).toLongLong() : -1,
                         m.capturedLength(2) ? m.captured(2).toLongLong() : -1);
    }
    return out;
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
    stats_.setKeep(options_.keepPings);
    catalog();
    routes();
    http_->setDefaultHeaders({{"X-Content-Type-Options", "nosniff"}});
    if (!http_->listen(options_.bind, options_.port, &error_)) {
        error_ = "cannot bind to " + options_.bind + ":" + std::to_string(options_.port) + ": " + error_;
        return false;
    }
    port_ = http_->port();
    return true;
}

void ContentServer::run() {
    http_->run();
}

void ContentServer::stop() {
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

void ContentServer::serveFile(const http::Request &req, http::Response &res,
                              const std::string &root, const std::string &relative) {
    const std::string path = resolveInside(root, relative);
    std::error_code ec;
    const unsigned long long size = path.empty() ? 0 : fs::file_size(path, ec);
    const int fd = path.empty() || ec ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        res.status = 404;
        return;
    }
    res.setHeader("Accept-Ranges", "bytes");
    res.setHeader("Cache-Control", "public, max-age=3600");
    unsigned long long offset = 0, length = size;
    const std::string header = req.header("Range");
    const auto requested = header.empty() ? std::vector<std::pair<long long, long long>>() : parseRanges(header)
                                                                                               .value_or(kUnsatisfiable);
    // Several ranges at once are answered with the whole file, which a
    // server may always do; so no reply is larger than the file.
    if (requested.size() == 1) {
        const auto r = byteRange(requested.front().first, requested.front().second, size);
        if (!r) {
            ::close(fd);
            res.status = 416;
            res.setHeader("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        offset = r->offset;
        length = r->length;
        res.status = 206;
        res.setHeader("Content-Range", "bytes " + std::to_string(offset) + "-" +
                                           std::to_string(offset + length - 1) + "/" + std::to_string(size));
    } else {
        res.status = 200;
    }
    res.setFile(fd, offset, length, mimeTypeFor(path));
}

void ContentServer::routes() {
    http::Server &s = *http_;
    const std::string data = options_.dataDir;

    if (options_.log) {
        s.onReply([this](const http::Request &req, const http::Response &res) {
            std::string line = utf8(QDateTime::currentDateTime().toString(Qt::ISODate)) + ' ' +
                               logField(clientAddress(req), 64) + ' ' + logField(req.method, 16) +
                               ' ' + logField(req.target) + ' ' + std::to_string(res.status);
            const std::string range = req.header("Range");
            if (!range.empty())
                line += " range=" + logField(range, 64);
            options_.log(line);
        });
    }

    s.onError([this](const http::Request &req, http::Response &res) {
        const QString msg = res.status == 404 ? QStringLiteral("页面不存在")
                                              : QStringLiteral("请求无效");
        res.setContent(utf8(errorPage(res.status, msg, baseFor(req))), kHtml);
    });

    auto html = [](http::Response &res, const QString &page) {
        res.setHeader("Cache-Control", "no-cache");
        res.setContent(utf8(page), kHtml);
    };

    s.route("/", [this, html](const http::Request &req, http::Response &res) {
        html(res, homePage(*catalog(), baseFor(req)));
    });
    s.route("/index.htm", [this, html](const http::Request &req, http::Response &res) {
        html(res, homePage(*catalog(), baseFor(req)));
    });
    s.routeMatching(R"(/v/([0-9]{1,9})\.htm)", [this, html](const http::Request &req, http::Response &res) {
        const auto cat = catalog();
        const Title *t = cat->findTitle(std::stoi(req.matches[1]));
        if (!t) {
            res.status = 404;
            return;
        }
        html(res, titlePage(*t, baseFor(req)));
    });

    s.route("/h.php", [this](const http::Request &req, http::Response &res) {
        // Exactly one of each parameter; anything else is unanswerable.
        const QString reply = episodeLookup(*catalog(), baseFor(req), singleValue(req, u"id"_s),
                                            singleValue(req, u"v"_s), singleValue(req, u"v1"_s));
        res.setHeader("Cache-Control", "no-cache");
        res.setContent(utf8(reply), kText);
    });

    s.route("/pp.htm", [this, html](const http::Request &req, http::Response &res) {
        bool found = false;
        html(res, episodeListPage(template_, *catalog(), rawQuery(req), baseFor(req), &found));
        if (!found)
            res.status = 404;
    });

    s.route("/play.htm", [html](const http::Request &req, http::Response &res) {
        bool ok = false;
        html(res, playPage(rawQuery(req), &ok));
        if (!ok)
            res.status = 400;
    });
    s.route("/play-ended.htm", [html](const http::Request &, http::Response &res) {
        html(res, playEndedPage());
    });

    s.route("/tv/list.htm", [this, html](const http::Request &req, http::Response &res) {
        html(res, tvListPage(*catalog(), baseFor(req)));
    });
    s.route("/tv/ad.htm", [this, html](const http::Request &req, http::Response &res) {
        html(res, tvIdlePage(*catalog(), baseFor(req)));
    });
    s.route("/tv/kxbotv.htm", [this, html](const http::Request &req, http::Response &res) {
        const auto cat = catalog();
        const Channel *c = channelForQuery(*cat, rawQuery(req));
        if (!c) {
            res.status = 404;
            return;
        }
        html(res, channelPage(*c, baseFor(req)));
    });

    s.routeMatching(R"(/js/ads/(bo|jingcai|peerad|tui)\.html)",
          [this, html](const http::Request &req, http::Response &res) {
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
    s.routeMatching(R"(/notice/([0-9]{1,9})\.htm)", [this, html](const http::Request &req, http::Response &res) {
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
    s.routeMatching(R"(/lib/(wen|tan|gun)\.txt)", [data](const http::Request &req, http::Response &res) {
        const std::string path = resolveInside(data + "/lib", std::string(req.matches[1]) + ".txt");
        std::error_code ec;
        if (path.empty() || fs::file_size(path, ec) > kMaxTextFile || ec) {
            res.status = 404;
            return;
        }
        std::ifstream in(path, std::ios::binary);
        std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        res.setHeader("Cache-Control", "no-cache");
        res.setContent(body, isUtf8(body) ? kText : "text/plain");
    });

    s.route("/update/update.exe", [this, data](const http::Request &req, http::Response &res) {
        serveFile(req, res, data + "/update", "update.exe");
    });
    // Published releases, which the updater fetches and checks.
    s.routeMatching(R"(/update/([0-9A-Za-z_-][0-9A-Za-z._-]{0,31})/(release\.tar|manifest\.txt|manifest\.sig))",
                    [this, data](const http::Request &req, http::Response &res) {
                        serveFile(req, res, data + "/update/" + std::string(req.matches[1]), req.matches[2]);
                    });
    // The remote updater: the page the program opens in the browser when
    // it has no updater of its own.
    s.route("/update/", [data, html](const http::Request &, http::Response &res) {
        html(res, updatePage(data));
    });
    // A media file's torrent, by its info-hash: the stored info dictionary
    // with this server's tracker and the media URL as web seed.
    s.routeMatching(R"(/torrent/([0-9a-f]{40})\.torrent)", [this, data](const http::Request &req, http::Response &res) {
        const auto all = torrents();
        const auto it = all->find(req.matches[1]);
        const auto info = it == all->end() ? std::nullopt : torrentInfo(data, it->first);
        if (!info) {
            res.status = 404;
            return;
        }
        res.setHeader("Cache-Control", "no-cache");
        res.setContent(torrentFile(*info, fromUtf8(options_.tracker), mediaUrl(baseFor(req), it->second.path))
                           .toStdString(),
                       "application/x-bittorrent");
    });
    s.routePrefix("/media/", [this, data](const http::Request &req, http::Response &res) {
        serveFile(req, res, data + "/media", req.matches[1]);
    });

    auto ping = [this](PingKind kind) {
        return [this, kind](const http::Request &req, http::Response &res) {
            const QString enid = singleValue(req, u"enid"_s);
            const QString us = singleValue(req, u"us"_s);
            if (!isValidPing(enid, us)) {
                res.status = 400;
                res.setContent("bad ping\n", kText);
                return;
            }
            res.setHeader("Cache-Control", "no-store");
            // HEAD only asks what GET would answer: nothing is recorded.
            if (req.isHead()) {
                res.setContent(utf8(playEndedPage()), kHtml);
                return;
            }
            const std::string client = clientAddress(req);
            if (!pingLimit_.take(client, std::chrono::steady_clock::now())) {
                res.status = 429;
                res.setHeader("Retry-After", std::to_string((options_.pingInterval.count() + 999) / 1000));
                res.setContent("too many pings\n", kText);
                return;
            }
            if (!stats_.record({kind, enid, us, fromUtf8(client)})) {
                res.status = 500;
                res.setContent("not recorded\n", kText);
                return;
            }
            res.setContent(utf8(playEndedPage()), kHtml);
        };
    };
    s.route("/stat/tongji.php", ping(PingKind::Start));
    s.route("/stat/tongjidb.php", ping(PingKind::Play));
    s.route("/stat/summary.json", [this](const http::Request &, http::Response &res) {
        const StatsSummary sum = stats_.summary();
        res.setHeader("Cache-Control", "no-store");
        res.setContent("{\"starts\":" + std::to_string(sum.starts) +
                            ",\"plays\":" + std::to_string(sum.plays) +
                            ",\"machines\":" + std::to_string(sum.machines) +
                            ",\"unverified\":" + std::to_string(sum.unverified) + "}\n",
                        "application/json");
    });
}

} // namespace vantoli::server
