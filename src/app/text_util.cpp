#include "app/text_util.h"

#include "platform/ansi_codec.h"

#include <QLocale>
#include <QTime>

namespace vantoli {

QString truncateToWidth(const QString &text, int width) {
    if (text.size() <= width / 2)
        return text;
    int used = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const char16_t u = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(u) && i + 1 < n &&
                          QChar::isLowSurrogate(text.at(i + 1).unicode());
        // A character outside the BMP is not in GBK: the code page writes "?" for each unit.
        const int w = pair ? 2 : gbkWidth(u);
        if (used + w > width)
            break;
        used += w;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

QString timeText(qint64 seconds) {
    if (seconds < 0)
        seconds = 0;
    const qint64 h = seconds / 3600;
    const qint64 m = seconds / 60 % 60;
    const qint64 s = seconds % 60;
    const QString mmss = QStringLiteral("%1:%2").arg(m, 2, 10, QChar(u'0')).arg(s, 2, 10, QChar(u'0'));
    return h > 0 ? QString::number(h) + u':' + mmss : mmss;
}

QString clockText(const QLocale &locale, const QTime &time) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    return locale.toString(time, format.trimmed());
}

QString displayName(const QString &path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return cut < 0 ? QString() : path.mid(cut + 1);
}

QString extractText(const QString &text, const QString &startMarker, const QString &endMarker,
                    int mode) {
    if (startMarker.isEmpty() || endMarker.isEmpty())
        return {};
    const qsizetype p1 = text.indexOf(startMarker);
    if (p1 < 0)
        return {};
    const qsizetype p2 = text.indexOf(endMarker, p1);
    if (p2 < 0)
        return {};
    if (mode == 1)
        return text.mid(p1, p2 + endMarker.size() - p1);
    if (mode == 2) {
        const qsizetype from = p1 + startMarker.size();
        if (p2 < from)
            return {};
        return text.mid(from, p2 - from);
    }
    return {};
}

QString htmlEscape(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'&': out += u"&amp;"; break;
        case u'"': out += u"&quot;"; break;
        case u'\'': out += u"&#39;"; break;
        case u'=': out += u"&#61;"; break;
        default: out += c;
        }
    }
    return out;
}

QString scriptString(const QString &text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        if (u == u'"' || u == u'\\') {
            out += u'\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F || u == u'<' || u == u'>' || u == u'&' || u == 0x2028 ||
                   u == 0x2029 || c.isSurrogate()) {
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += u'"';
    return out;
}

} // namespace vantoli
