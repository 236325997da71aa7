#include "catalog/episode_list.h"

#include "app/program_folder.h"
#include "app/text_util.h"
#include "catalog/links.h"
#include "platform/text_file.h"
#include "playback/playback_view.h"

#include <QFile>

// Resources of a static library are registered by hand; the call must be
// made outside any namespace.
static void registerCatalogResources() {
    Q_INIT_RESOURCE(catalog);
}

namespace vantoli {

namespace {

const QString kDataStart = QStringLiteral("var VideoInfoList=");
const QString kDataEnd = QStringLiteral(";");
const QString kDataMarker = QStringLiteral("[ly]");

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// String literals in single or double quotes, joined by "+", blanks around
// them allowed. Inside a literal a backslash escapes the next character; a
// raw line break ends nothing and makes the expression invalid.
bool isStringExpression(const QString &text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool expectLiteral = true;
    bool sawLiteral = false;
    while (i < n) {
        const QChar c = text.at(i);
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (!expectLiteral) {
            if (c != u'+')
                return false;
            expectLiteral = true;
            ++i;
            continue;
        }
        if (c != u'"' && c != u'\'')
            return false;
        const QChar quote = c;
        ++i;
        bool closed = false;
        while (i < n) {
            const QChar d = text.at(i);
            if (d == u'\r' || d == u'\n')
                return false;
            if (d == u'\\') {
                i += 2;
                continue;
            }
            ++i;
            if (d == quote) {
                closed = true;
                break;
            }
        }
        if (!closed)
            return false;
        expectLiteral = false;
        sawLiteral = true;
    }
    return sawLiteral && !expectLiteral;
}

} // namespace

QString episodeListPageTemplate() {
    registerCatalogResources();
    QFile file(QStringLiteral(":/catalog/episode_list_page.htm"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The page is written with the program's CR LF line ends; the file's own
    // last line end is dropped, as t.htm gets one appended.
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.replace(u'\n', kCrLf);
}

QString episodeDataExpression(const QString &body) {
    // A marker without a ";" after it gives no data, like no marker at all.
    const QString expression = extractText(body, kDataStart, kDataEnd, 2);
    if (!isStringExpression(expression))
        return {};
    // Inside t.htm's script element these would end the script or change how
    // the rest of it is parsed.
    if (expression.contains(QStringLiteral("</")) || expression.contains(QStringLiteral("<!--")))
        return {};
    return expression;
}

EpisodeList::EpisodeList(CatalogBodyReader &catalog, PlaybackView &view, QString programFolder,
                         QString contentBase)
    : catalog_(catalog), view_(view), programFolder_(std::move(programFolder)),
      contentBase_(std::move(contentBase)) {}

EpisodeList::~EpisodeList() = default;

QString EpisodeList::localPagePath() const {
    return inFolder(programFolder_, QStringLiteral("t.htm"));
}

void EpisodeList::DangJ(const QString &title, int videoId, int source, int episode) {
    const QString parameters = buildPageParameters(videoId, QString::number(source), QString::number(episode),
                                                   title, QStringLiteral("0"));
    std::weak_ptr<int> alive = alive_;
    catalog_.readCatalogBody([this, alive, parameters](const QString &body) {
        if (alive.lock())
            show(body, parameters);
    });
}

void EpisodeList::show(const QString &body, const QString &parameters) {
    const QString data = episodeDataExpression(body);
    QString page = data.isEmpty() ? QString() : episodeListPageTemplate();
    // Without data, a template or a written t.htm (an old one would list
    // another title), the server's page stands in.
    if (page.isEmpty() || !page.contains(kDataMarker) ||
        !writeTextFile(localPagePath(), page.replace(kDataMarker, data) + kCrLf)) {
        view_.navigatePane(kEpisodeListPane, episodeListPageUrl(contentBase_, parameters));
        return;
    }
    view_.navigatePane(kEpisodeListPane, localPagePath() + u'?' + parameters);
}

} // namespace vantoli
