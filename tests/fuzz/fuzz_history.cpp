// History files of any content: the operations do not crash and keep every
// line they are not meant to drop.
#include "app/text_util.h"
#include "catalog/escape.h"
#include "history/history_files.h"
#include "history/history_page.h"
#include "platform/ansi_codec.h"
#include "platform/text_file.h"

#include <cstdlib>

using namespace vantoli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList lines = splitLines(decodeAnsi(bytes));

    const QString added = history_text::withNewEntry(lines, QStringLiteral("7|t|e|a|0|0|0"),
                                                     [](const QStringList &f) {
                                                         return history_text::parseNumber(f.at(0)) == 7;
                                                     });
    const QStringList after = splitLines(added);
    // Every kept old line (within the look-back, with "|", not id 7) is still there, in order.
    qsizetype at = 1;
    for (qsizetype i = 0; i < lines.size() && i < 100; ++i) {
        const QString &l = lines.at(i);
        if (!l.contains(u'|') || history_text::parseNumber(l.split(u'|').at(0)) == 7)
            continue;
        if (at >= after.size() || after.at(at) != l)
            std::abort();
        ++at;
    }

    const QString updated = history_text::withUpdatedEntries(lines, [](const QStringList &f)
                                                                 -> std::optional<QString> {
        if (f.size() < 2 || f.at(1) != u"/a")
            return std::nullopt;
        return f.at(0) + QStringLiteral("|/a|5");
    });
    qsizetype withBar = 0;
    for (const QString &l : lines)
        withBar += l.contains(u'|') ? 1 : 0;
    const QStringList updatedLines = splitLines(updated);
    if (updatedLines.size() != std::max<qsizetype>(withBar, 1))
        std::abort();

    const QStringList removed = splitLines(history_text::withoutLine(lines, 2));
    if (removed.size() + 1 < lines.size() - 2)
        std::abort();

    renderHistoryPageText(lines, HistoryList::NetworkTasks);
    renderHistoryPageText(lines, HistoryList::LocalPlays);

    // Any text as a link's title and episode name: the line keeps its seven
    // fields and its readers see the same text.
    const QString text = decodeAnsi(bytes);
    const QString title = history_text::encodeNetworkField(text);
    const QString line = QStringList{QStringLiteral("7"), title, history_text::encodeNetworkField(text),
                                     QStringLiteral("a"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")}
                             .join(u'|');
    if (splitLines(line).size() != 1 || line.split(u'|').size() != 7 || unescapeText(title) != unescapeText(text))
        std::abort();
    if (history_text::decodeLocalField(history_text::encodeLocalField(text)) != text)
        std::abort();

    // As a script literal: nothing in it can end a script element or a line.
    const QString literal = scriptString(text);
    for (const QChar c : literal)
        if (c == u'<' || c == u'>' || c == u'&' || c.unicode() < 0x20 || c.unicode() == 0x2028 ||
            c.unicode() == 0x2029)
            std::abort();
    return 0;
}
