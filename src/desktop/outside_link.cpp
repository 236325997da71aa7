#include "desktop/outside_link.h"

#include "catalog/links.h"

#include <QRegularExpression>
#include <QUrl>

namespace vantoli {

OutsideCommand classifyOutsideCommand(const QString &commandLine) {
    const QString text = commandLine.trimmed();
    if (text.isEmpty())
        return {OutsideRequest::Nothing, {}};
    // A scheme is letters, digits, "+", "-", "." after a first letter, then
    // ":". Absolute paths begin with "/", so they never match.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):"));
    const QRegularExpressionMatch m = scheme.match(text);
    if (!m.hasMatch())
        return {OutsideRequest::LocalItem, commandLine};
    const QString name = m.captured(1).toLower();
    // Browsers may change the case of a scheme; the handlers compare exactly.
    const QString link = name + text.mid(m.capturedLength(1));
    if (name + QStringLiteral("://") == kByNumberScheme || name + QStringLiteral("://") == kMediaScheme) {
        if (link.startsWith(name + QStringLiteral("://")))
            return {OutsideRequest::CatalogLink, link};
    }
    if (name + QStringLiteral("://") == kTvScheme && link.startsWith(kTvScheme))
        return {OutsideRequest::TvLink, link};
    if (name == u"file") {
        const QUrl url(text);
        const bool onThisMachine = url.host().isEmpty() || url.host() == u"localhost";
        if (url.isLocalFile() && onThisMachine && !url.toLocalFile().isEmpty())
            return {OutsideRequest::LocalItem, url.toLocalFile()};
    }
    return {OutsideRequest::Refused, {}};
}

} // namespace vantoli
