#include "app/first_pages.h"

namespace vantoli {

QList<FirstPage> firstPages(const QString &base, const QString &networkListPage, const QString &localListPage,
                            const QString &startPing) {
    const QString blank = QStringLiteral("about:blank");
    return {
        {1, base},
        {2, blank},
        {3, networkListPage},
        {4, localListPage},
        {5, blank},
        {6, startPing},
        {8, base + QStringLiteral("js/ads/bo.html")},
        {9, base + QStringLiteral("js/ads/jingcai.html")},
        {7, base + QStringLiteral("js/ads/peerad.html")},
        {11, base + QStringLiteral("tv/list.htm")},
        {10, base + QStringLiteral("tv/ad.htm")},
    };
}

} // namespace vantoli
