#include "terminal/peer_terminal/cache_names.h"

#include <QUrl>

#include <algorithm>
#include <charconv>

namespace vantoli::terminal {

QString safeItemName(const QString &url) {
    const QUrl parsed(url);
    QString name = parsed.fileName(QUrl::FullyDecoded);
    QString out;
    out.reserve(name.size());
    for (const char32_t c : name.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Format)
            continue;
        if (c == u'/' || c == u'\\' || QChar::category(c) == QChar::Other_Control || c == 0x7f)
            out += u'_';
        else
            out += QString::fromUcs4(&c, 1);
    }
    out = out.trimmed();
    while (out.startsWith(u'.'))
        out.remove(0, 1);
    // Keep whole characters within the byte budget.
    while (out.toUtf8().size() > 150)
        out.chop(out.size() > 1 && out.at(out.size() - 1).isLowSurrogate() ? 2 : 1);
    if (out.isEmpty())
        out = QStringLiteral("item");
    return out;
}

namespace {
bool parseNumber(std::string_view text, std::int64_t *out) {
    if (text.empty() || text.size() > 18)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size() && *out >= 0;
}
} // namespace

std::optional<ContentRange> parseContentRange(const std::string &value) {
    std::string_view v(value);
    if (v.substr(0, 6) != "bytes ")
        return std::nullopt;
    v.remove_prefix(6);
    const auto dash = v.find('-');
    const auto slash = v.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
        return std::nullopt;
    ContentRange r;
    if (!parseNumber(v.substr(0, dash), &r.first) || !parseNumber(v.substr(dash + 1, slash - dash - 1), &r.last) ||
        r.last < r.first)
        return std::nullopt;
    const std::string_view total = v.substr(slash + 1);
    if (total == "*")
        r.total = -1;
    else if (!parseNumber(total, &r.total) || r.last >= r.total)
        return std::nullopt;
    return r;
}

} // namespace vantoli::terminal
