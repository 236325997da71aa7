#include "terminal/peer_terminal/cache_names.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <charconv>

namespace vantoli::terminal {

QString safeItemName(const QString &url) {
    const QUrl parsed(url);
    QString name = parsed.fileName(QUrl::FullyDecoded);
    QString out;
    out.reserve(name.size());
    for (const QChar c : std::as_const(name)) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control || c == QChar(0x7f))
            out += u'_';
        else
            out += c;
    }
    out = out.trimmed();
    while (out.startsWith(u'.'))
        out.remove(0, 1);
    // Keep whole characters within the byte budget.
    while (out.toUtf8().size() > 150)
        out.chop(out.size() > 1 && out.at(out.size() - 1).isLowSurrogate() ? 2 : 1);
    if (out.isEmpty())
        out = QStringLiteral("item");
    return out;
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
    // A state that names another file, or no fetchable item, is not ours.
    const bool controlInName = std::any_of(s.name.cbegin(), s.name.cend(), [](QChar c) { return c.unicode() < 0x20; });
    if (!isFetchableUrl(s.url) || s.name.isEmpty() || s.name.contains(u'/') || s.name.startsWith(u'.') || controlInName ||
        s.have < 0 || (s.total >= 0 && s.have > s.total))
        return std::nullopt;
    return s;
}

namespace {
bool parseNumber(std::string_view text, std::int64_t *out) {
    if (text.empty() || text.size() > 18)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size() && *out >= 0;
}
} // namespace

std::optional<ContentRange> parseContentRange(const std::string &value) {
    std::string_view v(value);
    if (v.substr(0, 6) != "bytes ")
        return std::nullopt;
    v.remove_prefix(6);
    const auto dash = v.find('-');
    const auto slash = v.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
        return std::nullopt;
    ContentRange r;
    if (!parseNumber(v.substr(0, dash), &r.first) || !parseNumber(v.substr(dash + 1, slash - dash - 1), &r.last) ||
        r.last < r.first)
        return std::nullopt;
    const std::string_view total = v.substr(slash + 1);
    if (total == "*")
        r.total = -1;
    else if (!parseNumber(total, &r.total) || r.last >= r.total)
        return std::nullopt;
    return r;
}

bool isFetchableUrl(const QString &url) {
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == u"http" || scheme == u"https") && !u.host().isEmpty();
}

} // namespace vantoli::terminal
