#include "catalog/links.h"

#include "catalog/escape.h"

namespace vantoli {
namespace {

const QString kFieldSep = QStringLiteral("&&&");

QString field(const QStringList &fields, qsizetype index) {
    return index < fields.size() ? fields.at(index) : QString();
}

QString dropOneTrailingSlash(QString s) {
    if (s.endsWith(u'/'))
        s.chop(1);
    return s;
}

} // namespace

LinkKind recognizeLink(const QString &address) {
    if (address.contains(kByNumberScheme))
        return LinkKind::ByNumber;
    if (address.contains(kMediaScheme))
        return LinkKind::Media;
    if (address.startsWith(kTvScheme))
        return LinkKind::Tv;
    if (address.startsWith(kHistoryDeleteScheme))
        return LinkKind::HistoryDelete;
    if (address.startsWith(kHistoryOpenScheme))
        return LinkKind::HistoryOpen;
    return LinkKind::None;
}

int toIntOrZero(const QString &text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

MediaLink decodeMediaLink(const QString &address) {
    QString rest = address;
    rest.remove(kMediaScheme);
    rest = dropOneTrailingSlash(rest);
    const QStringList f = rest.split(kFieldSep);
    MediaLink link;
    link.kind = field(f, 0);
    link.address = field(f, 1);
    link.title = field(f, 2);
    link.episodeName = field(f, 3);
    link.videoId = toIntOrZero(field(f, 4));
    link.source = field(f, 5);
    link.episode = field(f, 6);
    link.listRefresh = field(f, 7);
    link.flag = field(f, 8);
    return link;
}

QString buildMediaLink(const MediaLink &link) {
    QStringList f{link.kind, link.address, link.title, link.episodeName,
                  QString::number(link.videoId), link.source, link.episode};
    if (!link.listRefresh.isEmpty() || !link.flag.isEmpty())
        f.append(link.listRefresh);
    if (!link.flag.isEmpty())
        f.append(link.flag);
    return kMediaScheme + f.join(kFieldSep);
}

QString buildLookupMediaLink(const QString &kind, const QString &plainAddress,
                             const QString &title, const QString &episodeName,
                             int videoId, const QString &source, const QString &episode) {
    MediaLink l;
    l.kind = kind;
    l.address = escapeText(plainAddress);
    l.title = title;
    l.episodeName = episodeName;
    l.videoId = videoId;
    l.source = source;
    l.episode = episode;
    return buildMediaLink(l);
}

QString buildListPageMediaLink(const QString &kind, const QString &plainAddress,
                               const QString &plainTitle, const QString &plainEpisodeName,
                               int videoId, int source, int episode) {
    MediaLink l;
    l.kind = kind;
    l.address = escapeText(plainAddress);
    l.title = escapeText(plainTitle);
    l.episodeName = escapeText(plainEpisodeName);
    l.videoId = videoId;
    l.source = QString::number(source);
    l.episode = QString::number(episode);
    l.listRefresh = QStringLiteral("n");
    l.flag = QStringLiteral("1");
    return buildMediaLink(l);
}

ByNumberLink decodeByNumberLink(const QString &address) {
    QString rest = address;
    rest.remove(kByNumberScheme);
    rest = dropOneTrailingSlash(rest);
    const QStringList f = rest.split(u'-');
    ByNumberLink link;
    link.videoId = toIntOrZero(field(f, 0));
    link.source = field(f, 1);
    link.episode = field(f, 2);
    link.title = field(f, 3);
    return link;
}

QString buildByNumberLink(int videoId, int source, int episode, const QString &escapedTitle) {
    return kByNumberScheme + QString::number(videoId) + u'-' + QString::number(source) +
           u'-' + QString::number(episode) + u'-' + escapedTitle;
}

QString decodeTvLink(const QString &address) {
    QString rest = address;
    rest.remove(kTvScheme);
    return rest;
}

QString buildTvLink(const QString &query) {
    return kTvScheme + query;
}

int decodeHistoryOpenLink(const QString &address) {
    QString rest = address;
    rest.remove(kHistoryOpenScheme);
    return toIntOrZero(dropOneTrailingSlash(rest));
}

int decodeHistoryDeleteLink(const QString &address) {
    QString rest = address;
    rest.remove(kHistoryDeleteScheme);
    rest.remove(u'/');
    return toIntOrZero(rest);
}

QString buildHistoryOpenLink(int line) {
    return kHistoryOpenScheme + QString::number(line);
}

QString buildHistoryDeleteLink(int line) {
    return kHistoryDeleteScheme + QString::number(line);
}

QString buildItemKey(const QString &id, const QString &source, const QString &episode, const QString &title) {
    return id + u'-' + source + u'-' + episode + u'-' + title;
}

std::optional<ItemKey> splitItemKey(const QString &key) {
    if (!key.contains(u'-'))
        return std::nullopt;
    ItemKey k;
    QString *const parts[] = {&k.id, &k.source, &k.episode};
    qsizetype from = 0;
    for (QString *part : parts) {
        const qsizetype dash = key.indexOf(u'-', from);
        if (dash < 0) {
            *part = key.mid(from);
            ++k.fields;
            return k;
        }
        *part = key.mid(from, dash - from);
        ++k.fields;
        from = dash + 1;
    }
    k.title = key.mid(from);
    ++k.fields;
    return k;
}

QString autoclickValue(int source, int episode) {
    return QString::number(source) + QString::number(episode);
}

QString buildPageParameters(int videoId, const QString &source, const QString &episode,
                            const QString &escapedTitle, const QString &autoclick) {
    QString title = escapedTitle;
    title.replace(u'-', QStringLiteral("%2D"));
    return QString::number(videoId) + u'-' + source + u'-' + episode + u'-' + title + u'-' + autoclick;
}

PageParameters parsePageParameters(const QString &query) {
    QString q = query;
    if (q.startsWith(u'?'))
        q.remove(0, 1);
    const QStringList f = q.split(u'-');
    return {field(f, 0), field(f, 1), field(f, 2), field(f, 3), field(f, 4)};
}

QString episodeLookupUrl(const QString &contentBase, int videoId, const QString &source,
                         const QString &episode) {
    return contentBase + QStringLiteral("h.php?id=") + QString::number(videoId) + QStringLiteral("&v=") + source + QStringLiteral("&v1=") +
           episode;
}

std::optional<EpisodeLookupReply> parseEpisodeLookupReply(const QString &reply) {
    // Servers may end the body with a line break; it is not part of the reply.
    const QString r = reply.trimmed();
    if (r.isEmpty() || r == u"1" || !r.contains(u'$'))
        return std::nullopt;
    const QStringList f = r.split(u'$');
    return EpisodeLookupReply{field(f, 0), field(f, 1), field(f, 2)};
}

QString formatEpisodeLookupReply(const EpisodeLookupReply &reply) {
    return reply.episodeName + u'$' + reply.address + u'$' + reply.kind;
}

QString episodeListPageUrl(const QString &contentBase, const QString &pageParameters) {
    return contentBase + QStringLiteral("pp.htm?") + pageParameters;
}

QString webPlaybackUrl(const QString &contentBase, const QString &kind,
                       const QString &escapedAddress) {
    return contentBase + QStringLiteral("play.htm?") + kind + QStringLiteral("$$$") + escapedAddress;
}

QString tvChannelUrl(const QString &contentBase, const QString &query) {
    return contentBase + QStringLiteral("tv/kxbotv.htm?") + query;
}

QString playEndedUrl(const QString &contentBase) {
    return contentBase + QStringLiteral("play-ended.htm");
}

} // namespace vantoli
