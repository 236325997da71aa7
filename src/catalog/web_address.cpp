#include "catalog/web_address.h"

#include <QUrl>

namespace vantoli {

namespace {

struct WebAddress {
    bool valid = false;
    QString scheme, host, path;
    int port = -1;
};

WebAddress parse(const QString &text) {
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    WebAddress a;
    a.scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (a.scheme != u"http" && a.scheme != u"https"))
        return a;
    a.valid = true;
    a.host = url.host();
    a.port = url.port(a.scheme == u"https" ? 443 : 80);
    a.path = url.path(QUrl::FullyDecoded);
    if (a.path.isEmpty())
        a.path = QStringLiteral("/");
    return a;
}

bool sameServer(const WebAddress &a, const WebAddress &b) {
    return a.valid && b.valid && a.scheme == b.scheme && a.host == b.host && a.port == b.port;
}

} // namespace

bool isSameWebPage(const QString &address, const QString &page) {
    const WebAddress a = parse(address);
    const WebAddress p = parse(page);
    return sameServer(a, p) && a.path == p.path;
}

bool isUnderWebBase(const QString &address, const QString &base) {
    const WebAddress a = parse(address);
    const WebAddress b = parse(base);
    return sameServer(a, b) && a.path.startsWith(b.path);
}

} // namespace vantoli
