#include "terminal/peer_terminal/terminal_service.h"

#include "terminal/peer_terminal/cache_names.h"
#include "terminal/peer_terminal/connection_gate.h"
#include "terminal/peer_terminal/origin_fetch.h"
#include "terminal/peer_terminal/terminal_paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <chrono>
#include <limits>
#include <vector>

namespace vantoli::terminal {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kEverything = std::numeric_limits<std::int64_t>::max();
constexpr std::size_t kReadPiece = 256 * 1024;
constexpr std::int64_t kStateEvery = 4 << 20; // bytes between state-file writes

struct Item {
    QString url;
    std::string urlBytes;
    QString name;

    std::mutex m;
    std::condition_variable cv;
    // Held while the state file is written or the files removed, so that a
    // late write never brings back the state of a removed item.
    std::mutex files;
    std::int64_t total = -1; // -1 while unknown
    std::int64_t have = 0;   // contiguous bytes from the start in the file
    bool headKnown = false;  // total (or that there is none) is known
    bool downloading = false;
    bool failed = false;
    bool removed = false;
    // Stored up to what the cache may hold; the rest comes from the origin.
    bool capped = false;
    // After a failed write the download waits until then to try again.
    Clock::time_point retryAfter{};
    int writeFailures = 0;
    FileIdentity file; // the cache file as last written; inode 0: none yet
    std::string error;
    std::int64_t wantUpTo = 0; // the download stops here (prefetch) or runs to the end
    int readers = 0;
    std::int64_t lastPlayed = 0;
    QString contentType;
    QString validator;
    FetchCanceller *canceller = nullptr;
    // Transfer rate over the last half second or so.
    Clock::time_point windowStart{};
    std::int64_t windowBytes = 0;
    int speedKBs = 0;
    Clock::time_point lastData{};

    // Peer items: the info-hash, where the torrent came from, its web
    // seed, and whether the session holds the item.
    bool peer = false;
    std::string infoHash;
    QString torrentUrl;
    QString webSeed;
    std::optional<CheckedTorrent> torrent;
    bool inSession = false;
    std::mutex setup; // one start of a peer item at a time

    bool complete() const { return total >= 0 && have >= total; }
};

namespace {

std::int64_t nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// A file descriptor closed with its owner.
struct Fd {
    int fd = -1;
    Fd() = default;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

void setError(httplib::Response &res, int status, const std::string &text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// A peer item's file name, made safe as every item's is.
QString peerFileName(const QString &name) {
    return safeItemName(QStringLiteral("http://peer/") + QString::fromLatin1(QUrl::toPercentEncoding(name)));
}

// Peer items have no origin to name their type; the player looks at the bytes anyway.
QString typeByName(const QString &name) {
    const QString ext = name.section(u'.', -1).toLower();
    if (ext == u"mp4" || ext == u"m4v")
        return QStringLiteral("video/mp4");
    if (ext == u"mkv")
        return QStringLiteral("video/x-matroska");
    if (ext == u"webm")
        return QStringLiteral("video/webm");
    if (ext == u"flv")
        return QStringLiteral("video/x-flv");
    return QStringLiteral("application/octet-stream");
}

// The torrent file at url, at most 16 MiB; empty with *error when none.
QByteArray fetchTorrent(const std::string &url, std::string *error) {
    QByteArray bytes;
    constexpr std::int64_t limit = 16 << 20;
    const auto outcome = fetchRange(
        url, 0, -1, [&](const OriginReply &reply) { return reply.status == 200 && reply.total <= limit; },
        [&](const char *data, std::size_t n) {
            if (bytes.size() + std::int64_t(n) > limit)
                return false;
            bytes.append(data, qsizetype(n));
            return true;
        },
        nullptr, {5, 10}, error);
    if (outcome != FetchOutcome::Complete) {
        if (error && error->empty())
            *error = "the torrent is too large";
        return {};
    }
    return bytes;
}

} // namespace

TerminalService::TerminalService(TerminalConfig config) : config_(std::move(config)) {
    QDir().mkpath(config_.cacheFolder);
    loadIndex();
}

TorrentSession *TerminalService::openSession() {
    const std::lock_guard lock(sessionMutex_);
    if (!sessionOwner_ && config_.peerToPeer && !stopping_) {
        sessionOwner_ = std::make_unique<TorrentSession>(
            config_.peer, [this](const std::string &hash, std::int64_t verified, bool complete) {
                peerProgress(hash, verified, complete);
            });
        // Whether it could listen is known within moments.
        sessionOwner_->waitUntilListening(std::chrono::seconds(3));
        torrents_ = sessionOwner_.get();
    }
    return sessionOwner_.get();
}

TerminalService::~TerminalService() {
    stop();
}

QString TerminalService::filePath(const QString &name) const {
    return QDir(config_.cacheFolder).filePath(name);
}

void TerminalService::loadIndex() {
    const QDir dir(config_.cacheFolder);
    const QStringList states =
        dir.entryList({QStringLiteral(".*.vantoli")}, QDir::Files | QDir::Hidden);
    for (const QString &stateName : states) {
        const auto state = readItemState(dir.filePath(stateName));
        if (!state || stateFileName(state->name) != stateName)
            continue;
        const QFileInfo file(dir.filePath(state->name));
        if (!file.exists() || !fileMatchesRecord(config_.cacheFolder, *state)) {
            // The file went, or another took its place (or it changed after
            // the last record, as after a crash): the record is stale, and
            // whatever file carries the name now is not ours.
            QFile::remove(dir.filePath(stateName));
            continue;
        }
        if (items_.count(state->url))
            continue;
        auto item = std::make_shared<Item>();
        item->url = state->url;
        item->urlBytes = state->url.toStdString();
        item->name = state->name;
        item->total = state->total;
        // Bytes past the recorded count may be half written.
        item->have = std::min<std::int64_t>(state->have, file.size());
        // A partial file is served only once the origin has confirmed that
        // it still holds the same item (see download()).
        item->headKnown = state->total >= 0 && item->have >= state->total;
        item->lastPlayed = state->lastPlayed;
        item->contentType = state->contentType;
        item->validator = state->validator;
        item->file = state->file;
        if (const auto address = parsePeerAddress(state->url)) {
            item->peer = true;
            item->infoHash = address->infoHash;
            item->torrentUrl = state->validator;
        } else if (isPeerAddress(state->url)) {
            continue;
        }
        items_.emplace(item->url, item);
    }
}

std::shared_ptr<Item> TerminalService::itemFor(const QString &url, bool reader, const QString &fileName) {
    std::shared_ptr<Item> item;
    std::shared_ptr<Item> replaced;
    bool created = false;
    {
        const std::lock_guard lock(mutex_);
        const auto it = items_.find(url);
        if (it != items_.end()) {
            item = it->second;
            // The file may have been deleted behind our back (the history
            // commands delete downloaded films), or another file may have
            // taken its name: go by what is there.
            const std::lock_guard itemLock(item->m);
            if (!item->downloading && !item->inSession && item->readers == 0) {
                const auto now = identityOf(filePath(item->name));
                if (!now && !QFileInfo(filePath(item->name)).isSymLink() && !QFileInfo::exists(filePath(item->name))) {
                    item->have = 0;
                    item->headKnown = false;
                    item->capped = false;
                    item->file = {};
                } else if (!now || *now != item->file) {
                    // Not ours any more: leave it, and fetch the item anew
                    // under a free name.
                    item->removed = true;
                    replaced = item;
                    items_.erase(it);
                    item.reset();
                }
            }
        }
        if (!item) {
            item = std::make_shared<Item>();
            item->url = url;
            item->urlBytes = url.toStdString();
            item->name = uniqueName(fileName.isEmpty() ? safeItemName(url) : fileName, [&](const QString &n) {
                if (QFileInfo::exists(filePath(n)) || QFileInfo::exists(filePath(stateFileName(n))))
                    return true;
                return std::any_of(items_.cbegin(), items_.cend(), [&](const auto &e) { return e.second->name == n; });
            });
            if (const auto address = parsePeerAddress(url)) {
                item->peer = true;
                item->infoHash = address->infoHash;
                item->total = address->size;
                item->headKnown = true;
                item->contentType = typeByName(address->name);
            }
            items_.emplace(url, item);
            created = true;
        }
        const std::lock_guard itemLock(item->m);
        item->lastPlayed = nowMs();
        if (reader)
            ++item->readers;
    }
    if (replaced) {
        const std::lock_guard filesLock(replaced->files);
        QFile::remove(filePath(stateFileName(replaced->name)));
    }
    if (created) {
        // Claim the name on disk at once, so that another run sees it taken;
        // never open a file that appeared meanwhile.
        Fd claim;
        claim.fd = ::open(QFile::encodeName(filePath(item->name)).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (claim.fd >= 0)
            noteFile(item, claim.fd);
    }
    saveState(item);
    return item;
}

void TerminalService::releaseReader(const std::shared_ptr<Item> &item) {
    {
        const std::lock_guard lock(item->m);
        --item->readers;
    }
    forgetIfNothingArrived(item);
    enforceLimit();
}

void TerminalService::forgetIfNothingArrived(const std::shared_ptr<Item> &item) {
    // An item whose fetch failed before its first byte leaves no empty file.
    {
        const std::lock_guard lock(mutex_);
        const std::lock_guard itemLock(item->m);
        if (!item->failed || item->have > 0 || item->readers > 0 || item->downloading || item->removed)
            return;
        item->removed = true;
        items_.erase(item->url);
    }
    removeFiles(item);
}

void TerminalService::removeFiles(const std::shared_ptr<Item> &item) {
    bool inSession = false;
    {
        const std::lock_guard lock(mutex_);
        const std::lock_guard itemLock(item->m);
        inSession = item->inSession;
        item->inSession = false;
        if (inSession)
            peerItems_.erase(item->infoHash);
    }
    if (TorrentSession *session = torrents_.load(); inSession && session)
        session->remove(item->infoHash);
    const std::lock_guard filesLock(item->files);
    FileIdentity recorded;
    {
        const std::lock_guard lock(item->m);
        recorded = item->file;
    }
    QFile::remove(filePath(stateFileName(item->name)));
    // Only the file we wrote: one that took its name since is someone else's.
    const auto now = identityOf(filePath(item->name));
    if (now && recorded.inode != 0 && *now == recorded)
        QFile::remove(filePath(item->name));
}

void TerminalService::noteFile(const std::shared_ptr<Item> &item, int fd) {
    if (const auto identity = identityOfFd(fd)) {
        const std::lock_guard lock(item->m);
        item->file = *identity;
    }
}

std::int64_t TerminalService::freeBytes() const {
    if (config_.freeBytes)
        return config_.freeBytes();
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(config_.cacheFolder).constData(), &fs) != 0)
        return -1;
    return std::int64_t(fs.f_bavail) * std::int64_t(fs.f_frsize);
}

void TerminalService::saveState(const std::shared_ptr<Item> &item) {
    const std::lock_guard filesLock(item->files);
    ItemState s;
    {
        const std::lock_guard lock(item->m);
        if (item->removed)
            return;
        s.url = item->url;
        s.name = item->name;
        s.total = item->total;
        s.have = item->have;
        s.lastPlayed = item->lastPlayed;
        s.contentType = item->contentType;
        s.validator = item->peer ? item->torrentUrl : item->validator;
        s.file = item->file;
    }
    writeItemState(filePath(stateFileName(s.name)), s);
}

void TerminalService::ensureDownloading(const std::shared_ptr<Item> &item, std::int64_t upTo) {
    {
        const std::lock_guard lock(item->m);
        item->wantUpTo = std::max(item->wantUpTo, upTo);
        if (item->downloading || item->removed || item->complete() || item->have >= item->wantUpTo || stopping_ ||
            item->capped || Clock::now() < item->retryAfter)
            return;
        item->downloading = true;
        item->failed = false;
        item->error.clear();
    }
    {
        const std::lock_guard lock(workersMutex_);
        ++workers_;
    }
    std::thread([this, item] { download(item); }).detach();
}

void TerminalService::download(std::shared_ptr<Item> item) {
    const QByteArray path = QFile::encodeName(filePath(item->name));
    std::int64_t from = 0;
    FileIdentity recorded;
    {
        const std::lock_guard lock(item->m);
        from = item->have;
        recorded = item->file;
    }
    // Write only into the file we made: a missing one is made anew (and
    // never over a file that appeared meanwhile), an existing one must still
    // be ours.
    Fd out;
    std::string error;
    bool writeFailed = false;
    out.fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (out.fd < 0 && errno == ENOENT && from == 0) {
        out.fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } else if (out.fd >= 0) {
        const auto now = identityOfFd(out.fd);
        if (!now || *now != recorded)
            error = "the cache file was replaced";
    }
    if (out.fd < 0) {
        error = std::string("cannot write the cache file: ") + std::strerror(errno);
        writeFailed = true;
    }
    // Bytes past `have` are not vouched for; the transfer writes them again.
    if (error.empty() && ::ftruncate(out.fd, from) != 0) {
        error = std::string("cannot write the cache file: ") + std::strerror(errno);
        writeFailed = true;
    }
    if (error.empty())
        noteFile(item, out.fd);
    std::int64_t nextState = from + kStateEvery;
    int attempts = 0;
    bool restarted = false;
    const auto writeAt = [&](const char *data, std::size_t n, std::int64_t at) -> bool {
        const long wrote = config_.writeAt ? config_.writeAt(out.fd, data, n, at)
                                           : long(::pwrite(out.fd, data, n, off_t(at)));
        if (wrote == long(n))
            return true;
        error = std::string("cannot write the cache file: ") + std::strerror(wrote < 0 ? errno : ENOSPC);
        writeFailed = true;
        return false;
    };

    while (error.empty() && !stopping_) {
        FetchCanceller canceller;
        {
            const std::lock_guard lock(item->m);
            item->canceller = &canceller;
            from = item->have;
        }
        bool changedItem = false;
        std::int64_t writePos = from;
        const auto onHead = [&](const OriginReply &reply) {
            const std::lock_guard lock(item->m);
            const QString validator = QString::fromStdString(reply.validator);
            if (from > 0 && reply.status == 206 && !item->validator.isEmpty() && !validator.isEmpty() &&
                validator != item->validator) {
                changedItem = true; // the origin holds another item now: start over
                return false;
            }
            if (reply.status == 200 && from > 0) {
                // The origin ignores ranges: take the whole item again.
                writePos = 0;
                item->have = 0;
                if (::ftruncate(out.fd, 0) != 0)
                    return false;
            }
            if (reply.total >= 0 && item->total >= 0 && reply.total != item->total && from > 0) {
                changedItem = true;
                return false;
            }
            item->total = reply.total;
            item->headKnown = true;
            if (!reply.contentType.empty())
                item->contentType = QString::fromStdString(reply.contentType);
            item->validator = validator;
            item->cv.notify_all();
            return true;
        };
        bool wantReached = false;
        bool full = false;
        const auto onData = [&](const char *data, std::size_t n) {
            // Never more of one item than the whole cache may hold.
            if (writePos + std::int64_t(n) > config_.cacheLimitBytes) {
                n = std::size_t(std::max<std::int64_t>(config_.cacheLimitBytes - writePos, 0));
                full = true;
            }
            if (n > 0 && !writeAt(data, n, writePos))
                return false;
            writePos += std::int64_t(n);
            bool save = false;
            {
                const std::lock_guard lock(item->m);
                item->have = writePos;
                const auto now = Clock::now();
                if (item->windowStart == Clock::time_point{})
                    item->windowStart = now;
                item->windowBytes += std::int64_t(n);
                item->lastData = now;
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - item->windowStart).count();
                if (ms >= 500) {
                    item->speedKBs = int(std::min<std::int64_t>(item->windowBytes * 1000 / ms / 1024, 32767));
                    item->windowStart = now;
                    item->windowBytes = 0;
                }
                item->cv.notify_all();
                wantReached = item->have >= item->wantUpTo;
                if (writePos >= nextState) {
                    nextState = writePos + kStateEvery;
                    save = true;
                }
            }
            if (save) {
                noteFile(item, out.fd);
                saveState(item);
                enforceLimit();
                // What eviction could not free is not filled either.
                const std::int64_t room = freeBytes();
                if (room >= 0 && room < config_.freeMarginBytes)
                    full = true;
            }
            return !wantReached && !full;
        };
        std::string fetchError;
        ++originFetches_;
        const FetchOutcome outcome = fetchRange(item->urlBytes, from, -1, onHead, onData, &canceller,
                                                {config_.connectTimeoutSeconds, config_.readTimeoutSeconds},
                                                &fetchError);
        {
            const std::lock_guard lock(item->m);
            item->canceller = nullptr;
        }
        if (writeFailed)
            break;
        if (full && outcome == FetchOutcome::Stopped) {
            const std::lock_guard lock(item->m);
            item->capped = true; // the rest is read from the origin
            item->cv.notify_all();
            break;
        }
        if (changedItem && !restarted) {
            restarted = true;
            const std::lock_guard lock(item->m);
            item->have = 0;
            item->total = -1;
            item->validator.clear();
            if (::ftruncate(out.fd, 0) != 0)
                error = "cannot write the cache file";
            continue;
        }
        if (outcome == FetchOutcome::Complete) {
            const std::lock_guard lock(item->m);
            if (item->total < 0)
                item->total = item->have; // an origin that gave no length: what arrived is all
            item->headKnown = true;
            if (!item->complete())
                error = "the origin sent less than it announced";
            break;
        }
        if (outcome == FetchOutcome::Stopped || stopping_)
            break;
        // A failure after progress starts the count again.
        {
            const std::lock_guard lock(item->m);
            if (item->have > from)
                attempts = 0;
        }
        if (outcome == FetchOutcome::Refused || ++attempts >= 3) {
            error = fetchError;
            break;
        }
        std::unique_lock lock(item->m);
        item->cv.wait_for(lock, std::chrono::milliseconds(500 * attempts), [&] { return stopping_.load(); });
    }

    if (out.fd >= 0 && error != "the cache file was replaced")
        noteFile(item, out.fd);
    {
        const std::lock_guard lock(item->m);
        item->downloading = false;
        item->speedKBs = 0;
        item->windowStart = {};
        item->windowBytes = 0;
        if (!error.empty() && !stopping_) {
            item->failed = true;
            item->error = error;
        }
        if (writeFailed) {
            // A full disk does not empty itself: wait longer after each try
            // instead of asking the origin again at once.
            item->writeFailures = std::min(item->writeFailures + 1, 8);
            item->retryAfter = Clock::now() + std::chrono::seconds(std::min(2 << (item->writeFailures - 1), 300));
        } else if (error.empty()) {
            item->writeFailures = 0;
        }
        item->cv.notify_all();
    }
    saveState(item);
    forgetIfNothingArrived(item);
    enforceLimit();
    const std::lock_guard lock(workersMutex_);
    if (--workers_ == 0)
        workersDone_.notify_all();
}

void TerminalService::enforceLimit() {
    std::vector<std::shared_ptr<Item>> evicted;
    {
        const std::lock_guard lock(mutex_);
        std::int64_t used = 0;
        std::vector<std::pair<std::int64_t, std::shared_ptr<Item>>> byAge;
        for (const auto &[url, item] : items_) {
            const std::lock_guard itemLock(item->m);
            used += item->have;
            byAge.emplace_back(item->lastPlayed, item);
        }
        std::int64_t budget = config_.cacheLimitBytes;
        if (const std::int64_t room = freeBytes(); room >= 0)
            budget = std::min(budget, used + room - config_.freeMarginBytes);
        if (used <= budget)
            return;
        std::sort(byAge.begin(), byAge.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &[played, item] : byAge) {
            if (used <= budget)
                break;
            const std::lock_guard itemLock(item->m);
            if (item->readers > 0 || item->downloading || (item->inSession && !item->complete()))
                continue; // in use
            item->removed = true;
            used -= item->have;
            evicted.push_back(item);
            items_.erase(item->url);
        }
    }
    for (const auto &item : evicted)
        removeFiles(item);
}

bool TerminalService::waitForHead(const std::shared_ptr<Item> &item) {
    std::unique_lock lock(item->m);
    const auto limit = std::chrono::seconds(config_.connectTimeoutSeconds + config_.readTimeoutSeconds);
    item->cv.wait_for(lock, limit, [&] {
        return item->headKnown || item->complete() || item->failed || stopping_ ||
               (!item->downloading && item->have >= item->wantUpTo);
    });
    return item->headKnown || item->complete();
}

bool TerminalService::streamTo(const std::shared_ptr<Item> &item, std::size_t offset, std::size_t length,
                               httplib::DataSink &sink, bool chunked) {
    std::unique_lock lock(item->m);
    for (;;) {
        if (stopping_)
            return false;
        const std::int64_t at = std::int64_t(offset);
        if (at < item->have) {
            const std::size_t n = std::min<std::size_t>({length, std::size_t(item->have - at), kReadPiece});
            lock.unlock();
            Fd in;
            in.fd = ::open(QFile::encodeName(filePath(item->name)).constData(), O_RDONLY | O_CLOEXEC);
            if (in.fd < 0)
                return false;
            std::string buffer(n, '\0');
            const ssize_t got = ::pread(in.fd, buffer.data(), n, at);
            if (got <= 0)
                return false;
            return sink.write(buffer.data(), std::size_t(got));
        }
        if (item->complete()) {
            if (!chunked)
                return false; // nothing more exists
            sink.done(); // the whole of an item without a stated length has been sent
            return true;
        }
        const std::int64_t wait = std::max<std::int64_t>(config_.aheadBytes, std::int64_t(item->speedKBs) * 2048);
        if (item->failed || item->capped || at > item->have + wait) {
            lock.unlock();
            return streamFromOrigin(item, offset, length, sink);
        }
        if (!item->downloading) {
            lock.unlock();
            ensureDownloading(item, kEverything);
            lock.lock();
            continue;
        }
        item->cv.wait_for(lock, std::chrono::milliseconds(250));
        // The check waits while the client's window is full: never under the lock.
        lock.unlock();
        if (!sink.is_writable())
            return false;
        lock.lock();
    }
}

bool TerminalService::streamFromOrigin(const std::shared_ptr<Item> &item, std::size_t offset, std::size_t length,
                                       httplib::DataSink &sink) {
    ++originFetches_;
    std::string error;
    std::size_t sent = 0;
    const auto outcome = fetchRange(
        item->urlBytes, std::int64_t(offset), std::int64_t(offset + length) - 1,
        [&](const OriginReply &reply) { return reply.status == 206; }, // the origin must honour the range
        [&](const char *data, std::size_t n) {
            // Never more than the range asked for, whatever the origin sends.
            n = std::min(n, length - sent);
            if (stopping_ || !sink.write(data, n))
                return false;
            sent += n;
            return sent < length;
        },
        nullptr, {config_.connectTimeoutSeconds, config_.readTimeoutSeconds}, &error);
    return outcome == FetchOutcome::Complete || (outcome == FetchOutcome::Stopped && sent == length);
}

bool TerminalService::authorised(const httplib::Request &req, httplib::Response &res) const {
    if (config_.token.isEmpty())
        return true;
    const std::string given = req.get_param_value(kTokenParam);
    const std::string wanted = config_.token.toStdString();
    // Compared in full whatever the first difference, so timing tells nothing.
    unsigned diff = given.size() != wanted.size();
    for (std::size_t i = 0; i < given.size() && i < wanted.size(); ++i)
        diff |= unsigned(given[i] ^ wanted[i]);
    if (diff == 0)
        return true;
    setError(res, 403, "wrong or missing token");
    return false;
}

bool TerminalService::rangeAcceptable(const httplib::Request &req, httplib::Response &res, std::int64_t total) {
    if (req.ranges.size() != 1)
        return true;
    const auto [a, b] = req.ranges.front();
    const bool suffix = a < 0;
    const bool bad = suffix ? b <= 0 : (a >= total || (b >= 0 && b < a));
    if (!bad)
        return true;
    res.set_header("Content-Range", "bytes */" + std::to_string(total));
    setError(res, 416, "range not satisfiable");
    return false;
}

void TerminalService::handlePlay(const httplib::Request &req, httplib::Response &res) {
    if (!authorised(req, res))
        return;
    const QString url = QString::fromStdString(req.get_param_value("url"));
    if (isPeerAddress(url))
        return servePeer(req, res, url);
    if (!isFetchableUrl(url))
        return setError(res, 400, "url must be an http or https address");
    servePlain(req, res, url);
}

void TerminalService::servePlain(const httplib::Request &req, httplib::Response &res, const QString &url) {
    auto item = itemFor(url, true);
    // The reader counted by itemFor is released with the reply, or here.
    struct Release {
        TerminalService *self;
        std::shared_ptr<Item> item;
        void operator()(bool) const { self->releaseReader(item); }
    };
    ensureDownloading(item, kEverything);
    if (!waitForHead(item)) {
        std::string error;
        {
            const std::lock_guard lock(item->m);
            error = item->error.empty() ? "the origin did not answer" : item->error;
        }
        Release{this, item}(false);
        return setError(res, 502, error);
    }
    std::int64_t total;
    std::string type;
    {
        const std::lock_guard lock(item->m);
        total = item->total;
        type = item->contentType.isEmpty() ? "application/octet-stream" : item->contentType.toStdString();
    }
    if (total < 0) {
        // No length from the origin: one stream from the start, no ranges.
        res.set_chunked_content_provider(
            type,
            [this, item](std::size_t offset, httplib::DataSink &sink) {
                return streamTo(item, offset, kReadPiece, sink, true);
            },
            Release{this, item});
        return;
    }
    if (!rangeAcceptable(req, res, total)) {
        Release{this, item}(false);
        return;
    }
    res.set_header("Accept-Ranges", "bytes");
    if (total == 0) {
        Release{this, item}(true);
        res.set_content("", type);
        return;
    }
    res.set_content_provider(
        std::size_t(total), type,
        [this, item](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
            return streamTo(item, offset, length, sink);
        },
        Release{this, item});
}

bool TerminalService::startPeer(const std::shared_ptr<Item> &item, const PeerAddress &address,
                                const QString &server, std::string *error, std::int64_t firstOffset) {
    TorrentSession *session = openSession();
    if (!session) {
        *error = "peer-to-peer is off";
        return false;
    }
    const std::lock_guard setupLock(item->setup);
    {
        const std::lock_guard lock(item->m);
        if (item->inSession)
            return true;
    }
    std::optional<CheckedTorrent> torrent;
    {
        const std::lock_guard lock(item->m);
        torrent = item->torrent;
    }
    if (!torrent) {
        // From the content server the player names, else from where it came
        // before (a partial item after a restart).
        QString url = item->torrentUrl;
        if (isFetchableUrl(server)) {
            QUrl base(server.endsWith(u'/') ? server : server + u'/');
            base.setQuery(QString());
            base.setFragment(QString());
            url = base.resolved(QUrl(QStringLiteral("torrent/%1.torrent").arg(QString::fromStdString(address.infoHash))))
                      .toString();
        }
        if (!isFetchableUrl(url)) {
            *error = "no content server to fetch the torrent from";
            return false;
        }
        std::string why;
        const QByteArray bytes = fetchTorrent(url.toStdString(), &why);
        if (bytes.isEmpty()) {
            *error = "the torrent could not be fetched: " + why;
            return false;
        }
        torrent = checkTorrent(bytes, address, &why);
        if (!torrent) {
            *error = "the torrent was refused: " + why;
            return false;
        }
        const std::lock_guard lock(item->m);
        item->torrent = torrent;
        item->torrentUrl = url;
        item->webSeed = torrent->webSeeds.empty() ? QString() : QString::fromStdString(torrent->webSeeds.front());
    }
    {
        // Only into our own file: one that took its name is left alone.
        const std::lock_guard lock(item->m);
        const auto now = identityOf(filePath(item->name));
        if (!now || *now != item->file) {
            *error = "the cache file was replaced";
            return false;
        }
    }
    if (session->listenPort() == 0) {
        *error = "the peer-to-peer session cannot listen on " + config_.peer.address;
        return false;
    }
    // The session writes the whole item: it must fit the cache, after older
    // items made room, and leave the margin free. Else the web seed serves
    // it as an http item, which stores only what fits.
    std::int64_t missing = 0;
    {
        const std::lock_guard lock(item->m);
        missing = address.size - item->have;
    }
    if (address.size > config_.cacheLimitBytes) {
        *error = "the item is larger than the cache";
        return false;
    }
    if (freeBytes() >= 0 && freeBytes() < missing + config_.freeMarginBytes) {
        enforceLimit();
        if (const std::int64_t room = freeBytes(); room >= 0 && room < missing + config_.freeMarginBytes) {
            *error = "no room for the item in the cache folder";
            return false;
        }
    }
    {
        const std::lock_guard lock(mutex_);
        peerItems_[address.infoHash] = item;
    }
    bool whole = false;
    {
        const std::lock_guard lock(item->m);
        whole = item->complete();
    }
    if (std::string why = session->add(*torrent, config_.cacheFolder, item->name, firstOffset, whole); !why.empty()) {
        const std::lock_guard lock(mutex_);
        peerItems_.erase(address.infoHash);
        *error = why;
        return false;
    }
    // The reader's first pieces get their deadlines before the web seed is
    // asked for anything: a request it has started cannot be taken back.
    if (firstOffset >= 0)
        session->want(address.infoHash, firstOffset);
    {
        const std::lock_guard lock(item->m);
        item->inSession = true;
        item->failed = false;
        item->error.clear();
    }
    saveState(item);
    return true;
}

void TerminalService::peerProgress(const std::string &infoHash, std::int64_t verified, bool complete) {
    std::shared_ptr<Item> item;
    {
        const std::lock_guard lock(mutex_);
        const auto it = peerItems_.find(infoHash);
        if (it == peerItems_.end())
            return;
        item = it->second;
    }
    // The session writes the file: what it is now is what we made.
    const auto now = identityOf(filePath(item->name));
    {
        const std::lock_guard lock(item->m);
        if (item->removed)
            return;
        item->have = complete ? item->total : std::min(verified, item->total);
        if (now)
            item->file = *now;
        item->cv.notify_all();
    }
    saveState(item);
    enforceLimit();
}

bool TerminalService::streamPeer(const std::shared_ptr<Item> &item, std::size_t offset, std::size_t length,
                                 httplib::DataSink &sink) {
    const std::int64_t at = std::int64_t(offset);
    TorrentSession *session = torrents_.load();
    if (!session)
        return false;
    for (;;) {
        if (stopping_)
            return false;
        const std::int64_t n = session->verifiedBytes(item->infoHash, at, std::int64_t(std::min(length, kReadPiece)));
        if (n > 0) {
            // Bytes of pieces that passed their hash check only.
            session->want(item->infoHash, at + n);
            Fd in;
            in.fd = ::open(QFile::encodeName(filePath(item->name)).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (in.fd < 0)
                return false;
            std::string buffer(std::size_t(n), '\0');
            const ssize_t got = ::pread(in.fd, buffer.data(), std::size_t(n), at);
            if (got <= 0)
                return false;
            return sink.write(buffer.data(), std::size_t(got));
        }
        if (!session->has(item->infoHash))
            return false;
        if (const PeerStatus st = session->status(item->infoHash); !st.error.empty()) {
            const std::lock_guard lock(item->m);
            item->failed = true;
            item->error = st.error;
            return false;
        }
        session->want(item->infoHash, at);
        if (session->waitFor(item->infoHash, at, std::chrono::milliseconds(250)))
            continue;
        // The check waits while the client's window is full.
        if (!sink.is_writable())
            return false;
    }
}

void TerminalService::servePeer(const httplib::Request &req, httplib::Response &res, const QString &url) {
    const auto address = parsePeerAddress(url);
    if (!address)
        return setError(res, 400, "not a peer address of a v1 torrent");
    const QString server = QString::fromStdString(req.get_param_value("server"));
    auto item = itemFor(url, true, peerFileName(address->name));
    struct Release {
        TerminalService *self;
        std::shared_ptr<Item> item;
        void operator()(bool) const { self->releaseReader(item); }
    };
    bool complete = false;
    {
        const std::lock_guard lock(item->m);
        complete = item->complete();
    }
    std::string error;
    std::int64_t firstOffset = 0;
    if (req.ranges.size() == 1) {
        const auto [a, b] = req.ranges.front();
        firstOffset = a >= 0 ? a : std::max<std::int64_t>(address->size - b, 0);
    }
    const bool inSession =
        (complete && !config_.peer.seeding) || startPeer(item, *address, server, &error, complete ? -1 : firstOffset);
    if (!complete && !inSession) {
        QString webSeed;
        {
            const std::lock_guard lock(item->m);
            webSeed = item->webSeed;
            item->failed = true;
            item->error = error;
        }
        Release{this, item}(false);
        // Plain http from the web seed, when the torrent named one.
        if (isFetchableUrl(webSeed))
            return servePlain(req, res, webSeed);
        return setError(res, 502, error);
    }
    const std::int64_t total = address->size;
    if (!rangeAcceptable(req, res, total)) {
        Release{this, item}(false);
        return;
    }
    std::string type;
    {
        const std::lock_guard lock(item->m);
        type = item->contentType.isEmpty() ? typeByName(address->name).toStdString() : item->contentType.toStdString();
    }
    res.set_header("Accept-Ranges", "bytes");
    res.set_content_provider(
        std::size_t(total), type,
        [this, item](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
            bool fromFile = false;
            {
                const std::lock_guard lock(item->m);
                fromFile = item->complete() || !item->inSession;
            }
            // A complete item was checked piece by piece as it arrived.
            return fromFile ? streamTo(item, offset, length, sink) : streamPeer(item, offset, length, sink);
        },
        Release{this, item});
}

void TerminalService::handlePrefetch(const httplib::Request &req, httplib::Response &res) {
    if (!authorised(req, res))
        return;
    const QString url = QString::fromStdString(req.get_param_value("url"));
    if (const auto address = parsePeerAddress(url)) {
        auto item = itemFor(url, false, peerFileName(address->name));
        std::string error;
        startPeer(item, *address, QString::fromStdString(req.get_param_value("server")), &error, 0);
        res.set_content("ok\n", "text/plain");
        return;
    }
    if (!isFetchableUrl(url))
        return setError(res, 400, "url must be an http or https address");
    auto item = itemFor(url, false);
    ensureDownloading(item, config_.prefetchBytes);
    res.set_content("ok\n", "text/plain");
}

void TerminalService::handleStatus(const httplib::Request &req, httplib::Response &res) {
    if (!authorised(req, res))
        return;
    const QString url = QString::fromStdString(req.get_param_value("url"));
    if (!isFetchableUrl(url) && !parsePeerAddress(url))
        return setError(res, 400, "url must be an http or https address or a peer address");
    std::shared_ptr<Item> item;
    {
        const std::lock_guard lock(mutex_);
        const auto it = items_.find(url);
        if (it != items_.end())
            item = it->second;
    }
    QJsonObject o;
    if (!item) {
        o[QStringLiteral("state")] = QStringLiteral("unknown");
        o[QStringLiteral("progress")] = 0;
        o[QStringLiteral("speed")] = 0;
        o[QStringLiteral("upload")] = 0;
        o[QStringLiteral("peers")] = 0;
    } else {
        PeerStatus peer;
        bool inSession = false;
        {
            const std::lock_guard lock(item->m);
            inSession = item->inSession;
        }
        if (TorrentSession *session = torrents_.load(); inSession && session)
            peer = session->status(item->infoHash);
        const std::lock_guard lock(item->m);
        if (peer.known) {
            // The session's rates; its bytes are what passed the hash check.
            item->have = peer.complete ? item->total : std::min(peer.verifiedBytes, item->total);
            if (!peer.complete && !peer.error.empty()) {
                item->failed = true;
                item->error = peer.error;
            }
        }
        const bool complete = item->complete();
        int progress = 0;
        if (complete)
            progress = 1000;
        else if (item->total > 0)
            progress = int(std::clamp<std::int64_t>(item->have * 1000 / item->total, 0, 1000));
        const bool fresh = item->downloading && Clock::now() - item->lastData < std::chrono::seconds(2);
        o[QStringLiteral("state")] = complete          ? QStringLiteral("complete")
                                     : item->downloading || (peer.known && peer.error.empty()) ? QStringLiteral("downloading")
                                     : item->failed      ? QStringLiteral("failed")
                                                         : QStringLiteral("paused");
        o[QStringLiteral("progress")] = progress;
        o[QStringLiteral("speed")] = peer.known ? std::min(peer.downloadRate / 1024, 32767) : fresh ? item->speedKBs : 0;
        o[QStringLiteral("upload")] = std::min(peer.uploadRate / 1024, 32767);
        o[QStringLiteral("peers")] = peer.peers;
        if (item->peer)
            o[QStringLiteral("webSeed")] = peer.webSeedOn;
        o[QStringLiteral("bytes")] = double(item->have);
        o[QStringLiteral("total")] = double(item->total);
        o[QStringLiteral("file")] = item->name;
        if (item->failed)
            o[QStringLiteral("error")] = QString::fromStdString(item->error);
    }
    res.set_content(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

bool TerminalService::start(int port) {
    server_ = std::make_unique<httplib::Server>();
    const int threads = config_.serverThreads;
    server_->new_task_queue = [threads] { return new httplib::ThreadPool(std::size_t(threads)); };
    server_->set_tcp_nodelay(true);
    server_->set_read_timeout(10, 0);
    // A paused player stops reading; its connection waits instead of breaking.
    server_->set_write_timeout(600, 0);
    server_->set_keep_alive_timeout(2);
    server_->set_payload_max_length(16 * 1024);
    server_->Get(kPlayPath, [this](const httplib::Request &q, httplib::Response &r) { handlePlay(q, r); });
    server_->Get(kPrefetchPath, [this](const httplib::Request &q, httplib::Response &r) { handlePrefetch(q, r); });
    server_->Get(kStatusPath, [this](const httplib::Request &q, httplib::Response &r) { handleStatus(q, r); });
    server_->Get(kPingPath, [this](const httplib::Request &q, httplib::Response &r) {
        std::string body = "PeerTerminal\n";
        // A client checks that we know the token before it sends it.
        const std::string challenge = q.get_param_value(kChallengeParam);
        if (!challenge.empty() && challenge.size() <= 256)
            body += challengeAnswer(config_.token, QByteArray::fromStdString(challenge)).toStdString() + '\n';
        r.set_content(body, "text/plain");
    });
    server_->set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty())
            res.set_content(std::to_string(res.status) + "\n", "text/plain");
    });
    // The server itself listens on a Unix socket in a folder of ours that no
    // other user can enter; the loopback port is the gate's.
    server_->set_keep_alive_max_count(1);
    server_->set_address_family(AF_UNIX);
    QByteArray folder = QFile::encodeName(QDir::tempPath() + QStringLiteral("/vantoli-terminal-XXXXXX"));
    if (!::mkdtemp(folder.data())) {
        server_.reset();
        return false;
    }
    socketFolder_ = folder.toStdString();
    const std::string socket = socketFolder_ + "/http";
    if (!server_->bind_to_port(socket, 80)) {
        ::rmdir(socketFolder_.c_str());
        server_.reset();
        return false;
    }
    serverThread_ = std::thread([this] { server_->listen_after_bind(); });
    GateLimits limits;
    limits.headDeadlineMs = config_.requestHeadMs;
    limits.connectionsPerOtherUser = config_.connectionsPerOtherUser;
    gate_ = std::make_unique<ConnectionGate>(socket, limits);
    port_ = gate_->start(port);
    if (port_ <= 0) {
        port_ = 0;
        gate_.reset();
        server_->stop();
        serverThread_.join();
        ::unlink(socket.c_str());
        ::rmdir(socketFolder_.c_str());
        server_.reset();
        return false;
    }
    startSeeding();
    return true;
}

void TerminalService::startSeeding() {
    if (!config_.peerToPeer || !config_.peer.seeding)
        return;
    // Complete peer items of earlier runs go back into the session, their
    // torrents fetched from where they came, one after another.
    std::vector<std::shared_ptr<Item>> cached;
    {
        const std::lock_guard lock(mutex_);
        for (const auto &[url, item] : items_) {
            const std::lock_guard itemLock(item->m);
            if (item->peer && item->complete() && isFetchableUrl(item->torrentUrl))
                cached.push_back(item);
        }
    }
    if (cached.empty())
        return;
    seeder_ = std::thread([this, cached] {
        for (const auto &item : cached) {
            if (stopping_)
                return;
            std::string error;
            if (const auto address = parsePeerAddress(item->url))
                startPeer(item, *address, {}, &error, -1);
        }
    });
}

void TerminalService::stop() {
    if (stopping_.exchange(true))
        return;
    {
        const std::lock_guard lock(mutex_);
        for (const auto &[url, item] : items_) {
            const std::lock_guard itemLock(item->m);
            if (item->canceller)
                item->canceller->cancel();
            item->cv.notify_all();
        }
    }
    {
        // Downloads first: they keep their state for the next start.
        std::unique_lock lock(workersMutex_);
        workersDone_.wait(lock, [&] { return workers_ == 0; });
    }
    if (gate_)
        gate_->stop();
    if (server_) {
        server_->stop();
        if (serverThread_.joinable())
            serverThread_.join();
        ::unlink((socketFolder_ + "/http").c_str());
        ::rmdir(socketFolder_.c_str());
    }
    if (seeder_.joinable())
        seeder_.join();
    // The session closes its files as it ends; then each peer item records
    // its file as the session left it, to be resumed at the next start.
    {
        const std::lock_guard lock(sessionMutex_);
        torrents_ = nullptr;
        sessionOwner_.reset();
    }
    std::map<std::string, std::shared_ptr<Item>> peers;
    {
        const std::lock_guard lock(mutex_);
        peers.swap(peerItems_);
    }
    for (const auto &[hash, item] : peers) {
        const auto now = identityOf(filePath(item->name));
        {
            const std::lock_guard lock(item->m);
            item->inSession = false;
            if (now)
                item->file = *now;
        }
        saveState(item);
    }
}

} // namespace vantoli::terminal
