#include "app/version.h"

#include <QStringList>

#include <algorithm>

namespace vantoli {

QString programVersion() {
    return QStringLiteral(VANTOLI_VERSION);
}

QString majorMinor(const QString &version) {
    const auto n = versionNumbers(version);
    if (!n)
        return version;
    return QStringLiteral("%1.%2").arg(n->value(0)).arg(n->value(1));
}

std::optional<QList<int>> versionNumbers(const QString &text) {
    const QStringList parts = text.split(u'.');
    if (parts.size() > 8)
        return std::nullopt;
    QList<int> out;
    for (const QString &p : parts) {
        if (p.isEmpty() || p.size() > 9)
            return std::nullopt;
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return std::nullopt;
        out.append(p.toInt());
    }
    return out;
}

std::optional<int> compareVersions(const QString &a, const QString &b) {
    const auto x = versionNumbers(a), y = versionNumbers(b);
    if (!x || !y)
        return std::nullopt;
    for (qsizetype i = 0; i < std::max(x->size(), y->size()); ++i) {
        const int l = x->value(i), r = y->value(i);
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

} // namespace vantoli
