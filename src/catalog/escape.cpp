#include "catalog/escape.h"

namespace vantoli {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool staysAsIs(char16_t u) {
    if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9'))
        return true;
    switch (u) {
    case u'@': case u'*': case u'_': case u'+': case u'-': case u'.': case u'/':
        return true;
    default:
        return false;
    }
}

int hexValue(char16_t u) {
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

QString escapeText(const QString &text) {
    QString out;
    out.reserve(text.size() * 3);
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (staysAsIs(u)) {
            out.append(ch);
        } else if (u < 256) {
            out.append(u'%');
            out.append(QChar(kHex[u >> 4]));
            out.append(QChar(kHex[u & 0xF]));
        } else {
            out.append(u"%u");
            out.append(QChar(kHex[(u >> 12) & 0xF]));
            out.append(QChar(kHex[(u >> 8) & 0xF]));
            out.append(QChar(kHex[(u >> 4) & 0xF]));
            out.append(QChar(kHex[u & 0xF]));
        }
    }
    return out;
}

QString unescapeText(const QString &text) {
    const qsizetype n = text.size();
    QString out;
    out.reserve(n);
    const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype k = 0; k < n; ++k) {
        char16_t c = s[k];
        if (c == u'%') {
            if (k + 6 <= n && s[k + 1] == u'u') {
                const int a = hexValue(s[k + 2]), b = hexValue(s[k + 3]);
                const int d = hexValue(s[k + 4]), e = hexValue(s[k + 5]);
                if (a >= 0 && b >= 0 && d >= 0 && e >= 0) {
                    c = static_cast<char16_t>(a << 12 | b << 8 | d << 4 | e);
                    k += 5;
                    out.append(QChar(c));
                    continue;
                }
            }
            if (k + 3 <= n) {
                const int a = hexValue(s[k + 1]), b = hexValue(s[k + 2]);
                if (a >= 0 && b >= 0) {
                    c = static_cast<char16_t>(a << 4 | b);
                    k += 2;
                }
            }
        }
        out.append(QChar(c));
    }
    return out;
}

} // namespace vantoli
