#include "torrents.h"

#include "web_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/entry.hpp>
#include <libtorrent/file_storage.hpp>

#include <sys/stat.h>

#include <iterator>
#include <map>

namespace vantoli::server {

namespace {

QString qs(const std::string &s) {
    return QString::fromStdString(s);
}

QString torrentsDir(const std::string &dataDir) {
    return qs(dataDir) + QStringLiteral("/torrents");
}

QString infoPath(const std::string &dataDir, const std::string &hash) {
    return torrentsDir(dataDir) + u'/' + qs(hash) + QStringLiteral(".info");
}

bool isInfoHash(const std::string &s) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{40}$"));
    return hex.match(qs(s)).hasMatch();
}

struct FileStamp {
    long long size = -1;
    long long mtime = 0;
};

std::optional<FileStamp> stampOf(const QString &path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<long long>(st.st_size),
                     static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

QString mediaFile(const std::string &dataDir, const QString &path) {
    return qs(dataDir) + QStringLiteral("/media/") + path;
}

// index.txt: one torrent a line, hash TAB size TAB mtime TAB path TAB name.
std::vector<TorrentEntry> readIndex(const std::string &dataDir) {
    std::vector<TorrentEntry> out;
    QFile f(qs(torrentIndexPath(dataDir)));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> p = line.split('\t');
        if (p.size() != 5)
            continue;
        TorrentEntry e;
        e.infoHash = p[0].toStdString();
        bool okSize = false, okTime = false;
        e.size = p[1].toLongLong(&okSize);
        e.mtime = p[2].toLongLong(&okTime);
        e.path = QString::fromUtf8(p[3]);
        e.name = QString::fromUtf8(p[4]);
        if (isInfoHash(e.infoHash) && okSize && okTime && e.size > 0 && isValidMediaPath(e.path) &&
            e.name == torrentFileName(e.path))
            out.push_back(std::move(e));
    }
    return out;
}

std::string writeFileAtomically(const QString &path, const QByteArray &bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        return "cannot write " + path.toStdString() + ": " + f.errorString().toStdString();
    return {};
}

// Hashes the file piece by piece and makes its info dictionary with
// libtorrent's creator; the hashes are set here so the torrent's name can
// differ from the file's.
std::string makeInfo(const QString &file, const QString &name, long long size, QByteArray *info) {
    lt::file_storage files;
    files.add_file(name.toStdString(), size);
    lt::create_torrent ct(files, 0, lt::create_torrent::v1_only);
    ct.set_priv(true);
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return "cannot read " + file.toStdString();
    const int pieceLength = ct.piece_length();
    for (int i = 0; i < ct.num_pieces(); ++i) {
        const QByteArray piece = in.read(pieceLength);
        const long long expected = std::min<long long>(pieceLength, size - static_cast<long long>(i) * pieceLength);
        if (piece.size() != expected)
            return file.toStdString() + " changed while it was hashed";
        const QByteArray digest = QCryptographicHash::hash(piece, QCryptographicHash::Sha1);
        ct.set_hash(lt::piece_index_t(i), lt::sha1_hash(digest.constData()));
    }
    lt::entry torrent = ct.generate();
    std::vector<char> bytes;
    lt::bencode(std::back_inserter(bytes), torrent["info"]);
    *info = QByteArray(bytes.data(), qsizetype(bytes.size()));
    return {};
}

QByteArray bencodedString(const QByteArray &s) {
    return QByteArray::number(s.size()) + ':' + s;
}

} // namespace

std::string torrentIndexPath(const std::string &dataDir) {
    return dataDir + "/torrents/index.txt";
}

QString torrentFileName(const QString &mediaPath) {
    QString name = mediaPath.section(u'/', -1);
    for (QChar &c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || u == 0x2028 || u == 0x2029 || QStringView(u"$#&|%;\"'\\<>/:*?").contains(c))
            c = u'_';
    }
    // Never "." or "..", nor a hidden file in a viewer's cache.
    if (name.startsWith(u'.'))
        name[0] = u'_';
    while (name.toUtf8().size() > 200)
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("_") : name;
}

QString peerAddress(const TorrentEntry &entry) {
    return QStringLiteral("peer://%1|%2|%3|").arg(entry.size).arg(qs(entry.infoHash), entry.name);
}

std::vector<TorrentStatus> listTorrents(const std::string &dataDir) {
    std::vector<TorrentStatus> out;
    for (TorrentEntry &e : readIndex(dataDir)) {
        const auto stamp = stampOf(mediaFile(dataDir, e.path));
        TorrentState state = TorrentState::Current;
        if (!stamp || !QFile::exists(infoPath(dataDir, e.infoHash)))
            state = TorrentState::Missing;
        else if (stamp->size != e.size || stamp->mtime != e.mtime)
            state = TorrentState::Changed;
        out.push_back({std::move(e), state});
    }
    return out;
}

QHash<QString, QString> currentPeerAddresses(const std::string &dataDir) {
    QHash<QString, QString> out;
    for (const TorrentStatus &t : listTorrents(dataDir))
        if (t.state == TorrentState::Current)
            out.insert(t.entry.path, peerAddress(t.entry));
    return out;
}

std::string makeTorrents(const std::string &dataDir, const Progress &progress, int *made) {
    if (made)
        *made = 0;
    CatalogStore store;
    if (!store.openForReading(dataDir))
        return store.error();
    const auto catalog = store.load();
    if (!catalog)
        return "cannot read the catalog: " + store.error();
    // Every local media file a player episode plays, once.
    std::map<QString, bool> paths;
    for (const Title &t : catalog->titles)
        for (const Source &s : t.sources)
            for (const Episode &e : s.episodes)
                if (e.kind == kPlayerKind && isValidMediaPath(e.address))
                    paths[e.address] = true;

    const QString dir = torrentsDir(dataDir);
    if (!QDir().mkpath(dir))
        return "cannot make " + dir.toStdString();
    std::map<QString, TorrentEntry> known;
    for (const TorrentStatus &t : listTorrents(dataDir))
        if (t.state == TorrentState::Current)
            known[t.entry.path] = t.entry;

    std::vector<TorrentEntry> index;
    for (const auto &[path, unused] : paths) {
        if (auto it = known.find(path); it != known.end()) {
            index.push_back(it->second);
            continue;
        }
        const QString file = mediaFile(dataDir, path);
        const auto stamp = stampOf(file);
        if (!stamp || stamp->size <= 0) {
            if (progress)
                progress("no torrent for " + path.toStdString() + ": no such file or an empty one");
            continue;
        }
        TorrentEntry e{{}, path, stamp->size, stamp->mtime, torrentFileName(path)};
        QByteArray info;
        if (std::string err = makeInfo(file, e.name, e.size, &info); !err.empty())
            return err;
        e.infoHash = QCryptographicHash::hash(info, QCryptographicHash::Sha1).toHex().toStdString();
        if (std::string err = writeFileAtomically(infoPath(dataDir, e.infoHash), info); !err.empty())
            return err;
        if (progress)
            progress("torrent " + e.infoHash + " for " + path.toStdString());
        if (made)
            ++*made;
        index.push_back(std::move(e));
    }

    QByteArray text, whitelist;
    QSet<QString> kept;
    for (const TorrentEntry &e : index) {
        text += QByteArray::fromStdString(e.infoHash) + '\t' + QByteArray::number(e.size) + '\t' +
                QByteArray::number(e.mtime) + '\t' + e.path.toUtf8() + '\t' + e.name.toUtf8() + '\n';
        if (!kept.contains(qs(e.infoHash)))
            whitelist += QByteArray::fromStdString(e.infoHash) + '\n';
        kept.insert(qs(e.infoHash));
    }
    if (std::string err = writeFileAtomically(dir + QStringLiteral("/whitelist.txt"), whitelist); !err.empty())
        return err;
    if (std::string err = writeFileAtomically(qs(torrentIndexPath(dataDir)), text); !err.empty())
        return err;
    // Only what this command made goes: files named HASH.info.
    for (const QString &f : QDir(dir).entryList({QStringLiteral("*.info")}, QDir::Files)) {
        const QString hash = f.chopped(5);
        if (isInfoHash(hash.toStdString()) && !kept.contains(hash))
            QFile::remove(dir + u'/' + f);
    }
    return {};
}

std::optional<QByteArray> torrentInfo(const std::string &dataDir, const std::string &infoHash) {
    if (!isInfoHash(infoHash))
        return std::nullopt;
    QFile f(infoPath(dataDir, infoHash));
    if (!f.open(QIODevice::ReadOnly) || f.size() > (16 << 20))
        return std::nullopt;
    QByteArray info = f.readAll();
    if (QCryptographicHash::hash(info, QCryptographicHash::Sha1).toHex().toStdString() != infoHash)
        return std::nullopt;
    return info;
}

QByteArray torrentFile(const QByteArray &info, const QString &tracker, const QString &webSeed) {
    // Keys in bencoding's sorted order.
    QByteArray out = "d";
    if (!tracker.isEmpty())
        out += "8:announce" + bencodedString(tracker.toUtf8());
    out += "4:info" + info;
    out += "8:url-list" + bencodedString(webSeed.toUtf8());
    return out + 'e';
}

} // namespace vantoli::server
