#pragma once
// DangJ: shows the episode list of a title in the episode list pane (Web5),
// preferring the episode data embedded in the catalog page on display. With
// data, the page template is filled with it and written to t.htm in the
// program folder; without, the content server's pp.htm is opened with the
// same parameters.
//
// The episode data is taken into t.htm only when it is a plain string
// expression (string literals, optionally joined by "+"), and is written
// there as one script string literal of the same value, so a catalog page
// cannot have its own script run in a local page.

#include <QString>

#include <functional>
#include <memory>

namespace vantoli {

class PlaybackView;

// The catalog pane's document, read asynchronously. done receives the body's
// inner HTML, "" when it cannot be read.
class CatalogBodyReader {
public:
    virtual ~CatalogBodyReader() = default;
    virtual void readCatalogBody(std::function<void(const QString &)> done) = 0;
};

// The episode list page template (the Qt resource ":/catalog/episode_list_page.htm")
// with CR LF line ends and no line end after its last line, holding the data
// marker "[ly]". Empty when the resource is missing.
QString episodeListPageTemplate();

// The episode data of a catalog page body: the expression strictly between
// the first "var VideoInfoList=" and the next ";", evaluated and written as
// one double-quoted literal that is safe in a script element (scriptString).
// Empty when there is none, when it is cut short (no ";") or when it is
// anything but string literals joined by "+".
QString episodeDataExpression(const QString &body);

class EpisodeList {
public:
    // programFolder without a trailing "/"; contentBase ends with "/".
    EpisodeList(CatalogBodyReader &catalog, PlaybackView &view, QString programFolder,
                QString contentBase);
    ~EpisodeList();
    EpisodeList(const EpisodeList &) = delete;
    EpisodeList &operator=(const EpisodeList &) = delete;

    // title is the escaped title, put into the page parameters as given.
    // The pane is navigated once the catalog body has been read.
    void DangJ(const QString &title, int videoId, int source, int episode);

    // program folder + "/t.htm"
    QString localPagePath() const;

private:
    void show(const QString &body, const QString &parameters);

    CatalogBodyReader &catalog_;
    PlaybackView &view_;
    QString programFolder_;
    QString contentBase_;
    // Replies that arrive after this object is gone are dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace vantoli
