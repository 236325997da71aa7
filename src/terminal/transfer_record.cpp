#include "terminal/transfer_record.h"

#include "playback/play_address.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>

namespace vantoli::terminal {

namespace {
std::optional<FileIdentity> fromStat(const struct stat &st) {
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
                        std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// JSON numbers are doubles; device and inode numbers may not fit in one.
QString asText(std::uint64_t v) { return QString::number(v); }
std::uint64_t fromText(const QJsonValue &v) { return v.toString().toULongLong(); }
} // namespace

std::optional<FileIdentity> identityOf(const QString &path) {
    struct stat st {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

std::optional<FileIdentity> identityOfFd(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

QString stateFileName(const QString &name) {
    return u'.' + name + QStringLiteral(".vantoli");
}

bool isStateFileName(const QString &fileName) {
    return fileName.size() > 9 && fileName.startsWith(u'.') && fileName.endsWith(QStringLiteral(".vantoli"));
}

bool writeItemState(const QString &path, const ItemState &s) {
    QJsonObject o;
    o[QStringLiteral("url")] = s.url;
    o[QStringLiteral("name")] = s.name;
    o[QStringLiteral("total")] = double(s.total);
    o[QStringLiteral("have")] = double(s.have);
    o[QStringLiteral("lastPlayed")] = double(s.lastPlayed);
    o[QStringLiteral("contentType")] = s.contentType;
    o[QStringLiteral("validator")] = s.validator;
    o[QStringLiteral("device")] = asText(s.file.device);
    o[QStringLiteral("inode")] = asText(s.file.inode);
    o[QStringLiteral("size")] = asText(std::uint64_t(std::max<std::int64_t>(s.file.size, 0)));
    o[QStringLiteral("mtimeNs")] = asText(std::uint64_t(s.file.mtimeNs));
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(o).toJson(QJsonDocument::Compact));
    return f.commit();
}

std::optional<ItemState> readItemState(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    ItemState s;
    s.url = o.value(QStringLiteral("url")).toString();
    s.name = o.value(QStringLiteral("name")).toString();
    s.total = std::int64_t(o.value(QStringLiteral("total")).toDouble(-1));
    s.have = std::int64_t(o.value(QStringLiteral("have")).toDouble(0));
    s.lastPlayed = std::int64_t(o.value(QStringLiteral("lastPlayed")).toDouble(0));
    s.contentType = o.value(QStringLiteral("contentType")).toString();
    s.validator = o.value(QStringLiteral("validator")).toString();
    s.file.device = fromText(o.value(QStringLiteral("device")));
    s.file.inode = fromText(o.value(QStringLiteral("inode")));
    s.file.size = std::int64_t(fromText(o.value(QStringLiteral("size"))));
    s.file.mtimeNs = std::int64_t(fromText(o.value(QStringLiteral("mtimeNs"))));
    if (s.file.inode == 0)
        s.file = {}; // a record without an identity vouches for no file
    // A state that names another file, or no fetchable item, is not ours.
    const bool controlInName = std::any_of(s.name.cbegin(), s.name.cend(), [](QChar c) { return c.unicode() < 0x20; });
    const bool peerItem = checkPlayAddress(s.url, AddressOrigin::Remote).kind == PlayAddress::Peer;
    if ((!isFetchableUrl(s.url) && !peerItem) || s.name.isEmpty() || s.name.contains(u'/') || s.name.startsWith(u'.') || controlInName ||
        s.name == u".." || s.have < 0 || (s.total >= 0 && s.have > s.total))
        return std::nullopt;
    return s;
}

bool fileMatchesRecord(const QString &folder, const ItemState &state, bool allowGrowth) {
    if (state.file.inode == 0)
        return false;
    const auto now = identityOf(QDir(folder).filePath(state.name));
    if (!now)
        return false;
    if (*now == state.file)
        return true;
    return allowGrowth && now->device == state.file.device && now->inode == state.file.inode &&
           now->size >= state.file.size && now->mtimeNs >= state.file.mtimeNs &&
           (state.total < 0 || now->size <= state.total);
}

std::optional<ItemState> findRecord(const QString &folder, const QString &url) {
    const QDir dir(folder);
    for (const QString &stateName : dir.entryList({QStringLiteral(".*.vantoli")}, QDir::Files | QDir::Hidden)) {
        const auto state = readItemState(dir.filePath(stateName));
        if (state && state->url == url && stateFileName(state->name) == stateName)
            return state;
    }
    return std::nullopt;
}

bool isFetchableUrl(const QString &url) {
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == u"http" || scheme == u"https") && !u.host().isEmpty();
}

} // namespace vantoli::terminal
