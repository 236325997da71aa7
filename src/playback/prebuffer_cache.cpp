#include "playback/prebuffer_cache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrl>

#include <httplib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace vantoli {

// What the engine's threads may open: key -> fetched start of a link.
struct PrebufferedSources {
    struct Info {
        QString file;
        QUrl link;
        qint64 prefix = 0;
        qint64 total = 0;
    };
    std::mutex mutex;
    QHash<QString, Info> byKey;
};

namespace {

constexpr qint64 kChunkBytes = 512 * 1024; // one range request past the fetched start
const QString kFilePrefix = QStringLiteral("prebuffer-");
const QString kFileSuffix = QStringLiteral(".part");

bool isHttp(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

QString keyFor(const QString &link) {
    return QString::fromLatin1(
        QCryptographicHash::hash(link.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
}

// Reads an item through the engine: the fetched start from its file, the rest
// with range requests of kChunkBytes each. Runs on the engine's threads.
class CachedStream {
public:
    CachedStream(int fd, const PrebufferedSources::Info &info) : fd_(fd), prefix_(info.prefix), total_(info.total) {
        const QUrl &u = info.link;
        const int port = u.port(u.scheme().toLower() == u"https" ? 443 : 80);
        origin_ = (u.scheme().toLower() + QStringLiteral("://") + u.host(QUrl::FullyEncoded) + u':' +
                   QString::number(port))
                      .toStdString();
        QString path = u.path(QUrl::FullyEncoded);
        if (path.isEmpty())
            path = QStringLiteral("/");
        if (u.hasQuery())
            path += u'?' + u.query(QUrl::FullyEncoded);
        path_ = path.toStdString();
    }
    ~CachedStream() { ::close(fd_); }

    int64_t read(char *out, uint64_t wanted) {
        if (cancelled_)
            return -1;
        if (offset_ >= total_)
            return 0;
        if (offset_ < prefix_) {
            const auto n = ::pread(fd_, out, std::min<uint64_t>(wanted, prefix_ - offset_), offset_);
            if (n <= 0)
                return -1;
            offset_ += n;
            return n;
        }
        if (offset_ < bufferStart_ || offset_ >= bufferStart_ + qint64(buffer_.size())) {
            if (!fetch())
                return -1;
        }
        const qint64 from = offset_ - bufferStart_;
        const qint64 n = std::min<qint64>(qint64(wanted), qint64(buffer_.size()) - from);
        std::memcpy(out, buffer_.data() + from, size_t(n));
        offset_ += n;
        return n;
    }
    int64_t seek(int64_t to) {
        if (to < 0 || to > total_)
            return MPV_ERROR_GENERIC;
        offset_ = to;
        return to;
    }
    int64_t size() const { return total_; }
    void cancel() {
        cancelled_ = true;
        const std::lock_guard lock(clientMutex_);
        if (client_)
            client_->stop();
    }

private:
    bool fetch() {
        httplib::Client *client;
        {
            const std::lock_guard lock(clientMutex_);
            if (cancelled_)
                return false;
            if (!client_) {
                client_ = std::make_unique<httplib::Client>(origin_);
                client_->set_follow_location(true);
                client_->set_keep_alive(true);
                client_->set_connection_timeout(10);
                client_->set_read_timeout(20);
            }
            client = client_.get();
        }
        const qint64 last = std::min(total_, offset_ + kChunkBytes) - 1;
        const httplib::Headers headers{
            {"Range", "bytes=" + std::to_string(offset_) + '-' + std::to_string(last)}};
        auto res = client->Get(path_, headers);
        // Only a partial answer that starts where we asked is usable; a server
        // that ignores the range would hand us the item's start again.
        if (!res || res->status != 206 || res->body.empty())
            return false;
        const std::string range = res->get_header_value("Content-Range");
        if (range.rfind("bytes " + std::to_string(offset_) + '-', 0) != 0)
            return false;
        buffer_ = std::move(res->body);
        bufferStart_ = offset_;
        return true;
    }

    int fd_;
    qint64 prefix_;
    qint64 total_;
    std::string origin_;
    std::string path_;
    qint64 offset_ = 0;
    std::string buffer_;
    qint64 bufferStart_ = 0;
    std::atomic<bool> cancelled_{false};
    std::mutex clientMutex_;
    std::unique_ptr<httplib::Client> client_;
};

int openStream(void *userData, char *uri, mpv_stream_cb_info *info) {
    auto *sources = static_cast<PrebufferedSources *>(userData);
    const QString address = QString::fromUtf8(uri);
    const QString key = address.mid(address.indexOf(u"://") + 3);
    PrebufferedSources::Info found;
    {
        const std::lock_guard lock(sources->mutex);
        const auto it = sources->byKey.constFind(key);
        if (it == sources->byKey.constEnd())
            return MPV_ERROR_LOADING_FAILED;
        found = *it;
    }
    const int fd = ::open(QFile::encodeName(found.file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return MPV_ERROR_LOADING_FAILED;
    info->cookie = new CachedStream(fd, found);
    info->read_fn = [](void *c, char *buf, uint64_t n) { return static_cast<CachedStream *>(c)->read(buf, n); };
    info->seek_fn = [](void *c, int64_t to) { return static_cast<CachedStream *>(c)->seek(to); };
    info->size_fn = [](void *c) { return static_cast<CachedStream *>(c)->size(); };
    info->close_fn = [](void *c) { delete static_cast<CachedStream *>(c); };
    info->cancel_fn = [](void *c) { static_cast<CachedStream *>(c)->cancel(); };
    return 0;
}

} // namespace

PrebufferCache::PrebufferCache(const QString &folder, qint64 limitBytes, int keep, QObject *parent)
    : QObject(parent), folder_(folder), limitBytes_(std::max<qint64>(limitBytes, 1)),
      keep_(std::max(keep, 1)), sources_(std::make_shared<PrebufferedSources>()) {}

PrebufferCache::~PrebufferCache() {
    // Abort running fetches without reporting them; the files stay for the
    // next start's clean-up.
    for (const auto &entry : std::as_const(entries_)) {
        if (entry->reply) {
            entry->reply->disconnect(this);
            entry->reply->abort();
            delete entry->reply;
        }
        delete entry->out;
    }
}

void PrebufferCache::setFolder(const QString &folder) {
    if (folder == folder_)
        return;
    folder_ = folder;
    cleaned_ = false;
}

void PrebufferCache::removeStaleFiles() {
    // Files left by an earlier run have no record of what they hold.
    if (cleaned_)
        return;
    cleaned_ = true;
    QDir dir(folder_);
    const QStringList stale = dir.entryList({kFilePrefix + u'*' + kFileSuffix}, QDir::Files);
    for (const QString &name : stale) {
        const QString path = dir.filePath(name);
        const bool ours = std::any_of(entries_.cbegin(), entries_.cend(),
                                      [&](const auto &e) { return e->file == path; });
        if (!ours)
            QFile::remove(path);
    }
}

void PrebufferCache::start(const QString &link) {
    const QUrl url(link);
    if (!url.isValid() || !isHttp(url) || url.host().isEmpty() || entries_.contains(link))
        return;
    if (!QDir().mkpath(folder_))
        return;
    removeStaleFiles();
    while (entries_.size() >= keep_)
        evictOldest();

    auto entry = std::make_shared<Entry>();
    entry->link = link;
    entry->key = keyFor(link);
    entry->file = QDir(folder_).filePath(kFilePrefix + entry->key + kFileSuffix);
    entry->out = new QFile(entry->file);
    if (!entry->out->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        delete entry->out;
        return;
    }
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setRawHeader("Range", "bytes=0-" + QByteArray::number(limitBytes_ - 1));
    entry->reply = network_->get(request);
    Entry *raw = entry.get();
    connect(entry->reply, &QNetworkReply::readyRead, this, [this, raw] { onReadyRead(raw, raw->reply); });
    connect(entry->reply, &QNetworkReply::finished, this, [this, raw] { finishFetch(raw); });
    entries_.insert(link, entry);
    order_.append(link);
}

void PrebufferCache::onReadyRead(Entry *entry, QNetworkReply *reply) {
    if (entry->bytes == 0 && entry->total < 0 && !entry->ranged) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 206) {
            static const QRegularExpression totalRe(QStringLiteral("^bytes 0-\\d+/(\\d+)$"));
            const auto m = totalRe.match(QString::fromLatin1(reply->rawHeader("Content-Range")).trimmed());
            entry->ranged = m.hasMatch();
            entry->total = m.hasMatch() ? m.captured(1).toLongLong() : -1;
        } else if (status == 200) {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            entry->total = length.isValid() ? length.toLongLong() : -1;
        }
        if (!entry->ranged && status != 200) {
            entry->failed = true;
            reply->abort();
            return;
        }
    }
    const QByteArray data = reply->read(std::min(reply->bytesAvailable(), limitBytes_ - entry->bytes));
    if (entry->out->write(data) != data.size()) {
        entry->failed = true;
        reply->abort();
        return;
    }
    entry->bytes += data.size();
    if (entry->bytes >= limitBytes_)
        reply->abort(); // the server sent more than the range asked for
}

void PrebufferCache::finishFetch(Entry *entry) {
    QNetworkReply *reply = entry->reply;
    if (!reply)
        return;
    entry->reply = nullptr;
    reply->disconnect(this);
    if (reply->bytesAvailable() > 0 && !entry->failed && entry->bytes < limitBytes_)
        onReadyRead(entry, reply);
    const bool transferOk = reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    entry->out->close();
    delete entry->out;
    entry->out = nullptr;
    if (entry->total < 0 && transferOk && !entry->failed)
        entry->total = entry->bytes; // the whole item arrived without a stated size
    if (entry->bytes == 0 || entry->total <= 0)
        entry->failed = true;
    const QString link = entry->link;
    if (entry->failed) {
        // Nothing usable: drop the file, and let a later Prebuffer try again.
        removeEntry(link); // callers that still look at the entry hold a reference
    } else {
        const std::lock_guard lock(sources_->mutex);
        sources_->byKey.insert(entry->key, {entry->file, QUrl(entry->link), entry->bytes, entry->total});
    }
    emit fetchEnded(link);
}

std::optional<PrebufferCache::Source> PrebufferCache::takeSource(const QString &link) {
    const auto it = entries_.constFind(link);
    if (it == entries_.constEnd())
        return std::nullopt;
    const std::shared_ptr<Entry> entry = *it; // finishFetch may drop it from the table
    if (entry->reply) {
        // Keep what has arrived, then end the fetch: the item plays from here on.
        QNetworkReply *reply = entry->reply;
        reply->disconnect(this);
        if (!entry->failed && reply->bytesAvailable() > 0)
            onReadyRead(entry.get(), reply);
        reply->abort();
        finishFetch(entry.get());
    }
    if (entry->failed)
        return std::nullopt;
    if (entry->bytes >= entry->total)
        return Source{entry->file, entry->bytes, entry->total};
    if (!entry->ranged)
        return std::nullopt; // the rest could not be asked for separately
    return Source{QString::fromLatin1(kProtocol) + QStringLiteral("://") + entry->key, entry->bytes,
                  entry->total};
}

bool PrebufferCache::isFetching(const QString &link) const {
    const auto it = entries_.constFind(link);
    return it != entries_.constEnd() && (*it)->reply != nullptr;
}

qint64 PrebufferCache::fetchedBytes(const QString &link) const {
    const auto it = entries_.constFind(link);
    return it == entries_.constEnd() ? 0 : (*it)->bytes;
}

void PrebufferCache::evictOldest() {
    if (!order_.isEmpty())
        removeEntry(QString(order_.first())); // a copy: removeEntry edits order_
}

void PrebufferCache::removeEntry(const QString &link) {
    order_.removeAll(link);
    const std::shared_ptr<Entry> entry = entries_.take(link);
    if (!entry)
        return;
    if (entry->reply) {
        entry->reply->disconnect(this);
        entry->reply->abort();
        entry->reply->deleteLater();
    }
    delete entry->out;
    {
        const std::lock_guard lock(sources_->mutex);
        sources_->byKey.remove(entry->key);
    }
    QFile::remove(entry->file); // a stream reading it keeps its open file
}

int PrebufferCache::registerProtocol(const MpvApi *api, mpv_handle *mpv) {
    return api->stream_cb_add_ro(mpv, kProtocol, sources_.get(), &openStream);
}

} // namespace vantoli
