#include "catalog/episode_list.h"

#include "app/program_folder.h"
#include "app/text_util.h"
#include "catalog/links.h"
#include "platform/text_file.h"
#include "playback/playback_view.h"

#include <QFile>

#include <optional>

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

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The value of the hex digits text[from, from + count); -1 when one is not a
// hex digit or the value is past the last code point.
qint64 hexValue(const QString &text, qsizetype from, qsizetype count) {
    if (count < 1 || from + count > text.size())
        return -1;
    qint64 v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const int d = hexDigit(text.at(i));
        if (d < 0 || v > 0x10FFFF)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

bool isLineTerminator(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar(0x2028) || c == QChar(0x2029);
}

// The escape after a backslash at text[i - 1], appended to out; i moves past
// it. Old octal escapes (and \8, \9) are refused rather than guessed.
bool readEscape(const QString &text, qsizetype &i, QString &out) {
    if (i >= text.size())
        return false;
    const QChar e = text.at(i++);
    switch (e.unicode()) {
    case u'b': out += u'\b'; return true;
    case u'f': out += u'\f'; return true;
    case u'n': out += u'\n'; return true;
    case u'r': out += u'\r'; return true;
    case u't': out += u'\t'; return true;
    case u'v': out += u'\v'; return true;
    case u'0':
        if (i < text.size() && text.at(i).isDigit())
            return false;
        out += QChar(0);
        return true;
    case u'x': {
        const qint64 v = hexValue(text, i, 2);
        if (v < 0)
            return false;
        out += QChar(char16_t(v));
        i += 2;
        return true;
    }
    case u'u': {
        if (i < text.size() && text.at(i) == u'{') {
            const qsizetype close = text.indexOf(u'}', i);
            const qint64 v = close < 0 ? -1 : hexValue(text, i + 1, close - i - 1);
            if (v < 0 || v > 0x10FFFF)
                return false;
            const char32_t point = char32_t(v);
            out += QString::fromUcs4(&point, 1);
            i = close + 1;
            return true;
        }
        const qint64 v = hexValue(text, i, 4);
        if (v < 0)
            return false;
        out += QChar(char16_t(v));
        i += 4;
        return true;
    }
    case u'\r':
        // A line continuation: CR LF counts as one line end.
        if (i < text.size() && text.at(i) == u'\n')
            ++i;
        return true;
    default:
        if (isLineTerminator(e))
            return true;
        if (e.isDigit())
            return false;
        out += e;
        return true;
    }
}

// The value of string literals in single or double quotes joined by "+",
// blanks around them allowed, as the page's script would compute it. nullopt
// for anything else (a raw line break inside a literal included).
std::optional<QString> stringExpressionValue(const QString &text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool expectLiteral = true;
    bool sawLiteral = false;
    QString value;
    while (i < n) {
        const QChar c = text.at(i);
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (!expectLiteral) {
            if (c != u'+')
                return std::nullopt;
            expectLiteral = true;
            ++i;
            continue;
        }
        if (c != u'"' && c != u'\'')
            return std::nullopt;
        const QChar quote = c;
        ++i;
        bool closed = false;
        while (i < n) {
            const QChar d = text.at(i++);
            if (d == u'\r' || d == u'\n')
                return std::nullopt;
            if (d == quote) {
                closed = true;
                break;
            }
            if (d != u'\\') {
                value += d;
                continue;
            }
            if (!readEscape(text, i, value))
                return std::nullopt;
        }
        if (!closed)
            return std::nullopt;
        expectLiteral = false;
        sawLiteral = true;
    }
    if (!sawLiteral || expectLiteral)
        return std::nullopt;
    return value;
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
    const auto value = stringExpressionValue(extractText(body, kDataStart, kDataEnd, 2));
    if (!value)
        return {};
    // Written anew as one literal that cannot end t.htm's script element.
    return scriptString(*value);
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
