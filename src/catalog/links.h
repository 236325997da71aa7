#pragma once
// The link protocol between the catalog pages and the program: the program's
// own URL schemes, the episode list page's parameter string and the content
// server's episode lookup. Decoding never fails: a missing field reads empty,
// a number that does not parse reads 0.

#include <QString>
#include <QStringList>

#include <optional>

namespace vantoli {

inline const QString kMediaScheme = QStringLiteral("kxpeer://");
inline const QString kByNumberScheme = QStringLiteral("kxbovod://");
inline const QString kTvScheme = QStringLiteral("kxtvs://");
inline const QString kHistoryOpenScheme = QStringLiteral("open://");
inline const QString kHistoryDeleteScheme = QStringLiteral("delk://");

enum class LinkKind { None, ByNumber, Media, Tv, HistoryDelete, HistoryOpen };

// Recognises a link in the order the pane handlers test: by-number (anywhere),
// media (anywhere), TV, history delete, history open (each as a prefix).
LinkKind recognizeLink(const QString &address);

// Whole-string decimal integer (blanks around it allowed); 0 when the text is
// not one or does not fit.
int toIntOrZero(const QString &text);

// "kxpeer://" F0 "&&&" F1 ... F8. F1, F2 and F3 are escaped texts.
struct MediaLink {
    QString kind;        // F0: "peer" plays in the player component
    QString address;     // F1, escaped
    QString title;       // F2, escaped
    QString episodeName; // F3, escaped or the server's text
    int videoId = 0;     // F4
    QString source;      // F5, as text
    QString episode;     // F6, as text
    QString listRefresh; // F7: "0" asks for the episode list to be reloaded
    QString flag;        // F8: "1" from the episode list page, never read

    bool isPlayerKind() const { return kind == u"peer"; }
    bool wantsListRefresh() const { return listRefresh == u"0"; }
};

MediaLink decodeMediaLink(const QString &address);

// Builds a media link with 7, 8 or 9 fields: F7 is written when listRefresh or
// flag is not empty, F8 when flag is not empty.
QString buildMediaLink(const MediaLink &link);
// The seven-field link made from a successful episode lookup.
QString buildLookupMediaLink(const QString &kind, const QString &plainAddress,
                             const QString &title, const QString &episodeName,
                             int videoId, const QString &source, const QString &episode);
// The nine-field link the episode list page writes (F7 "n", F8 "1").
QString buildListPageMediaLink(const QString &kind, const QString &plainAddress,
                               const QString &plainTitle, const QString &plainEpisodeName,
                               int videoId, int source, int episode);

// "kxbovod://" B0 "-" B1 "-" B2 "-" B3.
struct ByNumberLink {
    int videoId = 0;
    QString source;
    QString episode;
    QString title; // escaped; only the text before a "-" inside it
};

ByNumberLink decodeByNumberLink(const QString &address);
QString buildByNumberLink(int videoId, int source, int episode, const QString &escapedTitle);

// "kxtvs://" R: R is everything after the scheme, unchanged.
QString decodeTvLink(const QString &address);
QString buildTvLink(const QString &query);

// "open://" N and "delk://" N, with or without a trailing "/".
int decodeHistoryOpenLink(const QString &address);
int decodeHistoryDeleteLink(const QString &address);
QString buildHistoryOpenLink(int line);
QString buildHistoryDeleteLink(int line);

// The current item key of a network episode: id "-" source "-" episode "-"
// escaped title. The title is the last field and may itself hold "-".
struct ItemKey {
    QString id;
    QString source;
    QString episode;
    QString title;
    int fields = 0; // how many of the four the key had
};
QString buildItemKey(const QString &id, const QString &source, const QString &episode, const QString &title);
// Splits into at most four fields, so a title keeps its own "-". nullopt for a
// key without "-" (such as "0", no item).
std::optional<ItemKey> splitItemKey(const QString &key);

// The episode list page's query: id "-" source "-" episode "-" title "-"
// autoclick, where autoclick is "0" or source and episode written together.
// A "-" inside the title is written "%2D" (the page unescapes its title), so
// the fields after it stay in place.
QString autoclickValue(int source, int episode);
QString buildPageParameters(int videoId, const QString &source, const QString &episode,
                            const QString &escapedTitle, const QString &autoclick);

struct PageParameters {
    QString videoId;
    QString source;
    QString episode;
    QString title;
    QString autoclick;
};
PageParameters parsePageParameters(const QString &query);

// Episode lookup on the content server.
QString episodeLookupUrl(const QString &contentBase, int videoId, const QString &source,
                         const QString &episode);

struct EpisodeLookupReply {
    QString episodeName; // R0
    QString address;     // R1, plain
    QString kind;        // R2
};
// nullopt for "1", empty, or any reply without "$".
std::optional<EpisodeLookupReply> parseEpisodeLookupReply(const QString &reply);
QString formatEpisodeLookupReply(const EpisodeLookupReply &reply);

// Addresses on the content server.
QString episodeListPageUrl(const QString &contentBase, const QString &pageParameters);
QString webPlaybackUrl(const QString &contentBase, const QString &kind, const QString &escapedAddress);
QString tvChannelUrl(const QString &contentBase, const QString &query);
QString playEndedUrl(const QString &contentBase);

} // namespace vantoli
