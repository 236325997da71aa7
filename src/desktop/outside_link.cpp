#include "desktop/outside_link.h"

#include "catalog/links.h"

#include <QRegularExpression>

namespace vantoli {

OutsideCommand classifyOutsideCommand(const QString &commandLine, AddressOrigin origin) {
    const QString text = commandLine.trimmed();
    if (text.isEmpty())
        return {OutsideRequest::Nothing, {}};
    // A scheme is letters, digits, "+", "-", "." after a first letter, then
    // ":". Absolute paths begin with "/", so they never match.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):"));
    const QRegularExpressionMatch m = scheme.match(text);
    if (!m.hasMatch()) {
        // A path: the command line's quotes and trailing "/" are the
        // player's to take off (l_com), so it goes on as given.
        if (origin != AddressOrigin::User)
            return {OutsideRequest::Refused, {}};
        return {OutsideRequest::LocalItem, commandLine};
    }
    const QString name = m.captured(1).toLower();
    // Browsers may change the case of a scheme; the handlers compare exactly.
    const QString link = name + text.mid(m.capturedLength(1));
    if (name + QStringLiteral("://") == kByNumberScheme || name + QStringLiteral("://") == kMediaScheme) {
        if (link.startsWith(name + QStringLiteral("://")))
            return {OutsideRequest::CatalogLink, link};
    }
    if (name + QStringLiteral("://") == kTvScheme && link.startsWith(kTvScheme))
        return {OutsideRequest::TvLink, link};
    const PlayAddress item = checkPlayAddress(text, origin);
    if (item.accepted())
        return {OutsideRequest::LocalItem, item.address};
    return {OutsideRequest::Refused, {}};
}

} // namespace vantoli
