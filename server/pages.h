#pragma once
// The HTML pages and text replies of the content server. Every function is
// a pure function of the catalog snapshot and the base URL the client used
// (ending in "/"), so pages can be tested without a socket.

#include "catalog.h"

#include <QString>

namespace vantoli::server {

// A name as it is written into the link protocol's "$"-separated fields:
// plain when it holds none of the separators or characters that a script
// string or the local episode page could trip over, else escaped.
QString fieldText(const QString &name);

// The episode data of a title: sources "$$$", source name "$$" episodes,
// episodes "#", fields (name, address, kind) "$".
QString episodeData(const Title &title, const QString &base);

// Reply of the episode lookup for the raw query parameters: R0 "$" R1 "$" R2,
// or "1" when the parameters are missing, not numbers, or name no episode.
QString episodeLookup(const Catalog &catalog, const QString &base, const QString &id,
                      const QString &source, const QString &episode);

QString homePage(const Catalog &catalog, const QString &base);
QString titlePage(const Title &title, const QString &base);

// The episode list page: the template with its data marker replaced by the
// title's episode data (an empty list when the query names no title; found
// tells which).
QString episodeListPage(const QString &pageTemplate, const Catalog &catalog,
                        const QString &query, const QString &base, bool *found);

// The web playback page for "kind$$$escaped address"; ok is false (and an
// error page is returned) when the address is not an http(s) URL.
QString playPage(const QString &query, bool *ok);
QString playEndedPage();

QString tvListPage(const Catalog &catalog, const QString &base);
QString tvIdlePage(const Catalog &catalog, const QString &base);
// The channel named by "ch=N" (or "N"); nullptr when there is none.
const Channel *channelForQuery(const Catalog &catalog, const QString &query);
QString channelPage(const Channel &channel, const QString &base);

QString stripAdPage(const Catalog &catalog, const QString &base);      // js/ads/bo.html
QString highlightsPage(const Catalog &catalog, const QString &base);   // js/ads/jingcai.html
QString pausePanelPage(const Catalog &catalog, const QString &base);   // js/ads/peerad.html
QString recommendationPage(const Catalog &catalog, const QString &base); // js/ads/tui.html
QString noticePage(const Title &title, const QString &base);

QString errorPage(int status, const QString &message, const QString &base);

} // namespace vantoli::server
