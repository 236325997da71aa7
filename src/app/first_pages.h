#pragma once
// The panes' first pages at window start-up, in the order they are loaded:
// the catalog, the web playback pane, the two history lists, the episode
// list (blank, then a dark empty page written into it), the start ping,
// then the advertisement and TV panes.

#include <QList>
#include <QString>

namespace vantoli {

inline const QString kBlankEpisodeListPage = QStringLiteral(
    "<html><head><style type=\"text/css\">*{margin:0;padding:0;}body{overflow:auto;background:#212121;"
    "width:100%;}</style></head><body></body></html>");

struct FirstPage {
    int pane; // WebN
    QString address;
};

QList<FirstPage> firstPages(const QString &contentBase, const QString &networkListPage,
                            const QString &localListPage, const QString &startPing);

} // namespace vantoli
