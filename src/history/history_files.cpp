#include "history/history_files.h"

#include "app/program_folder.h"
#include "history/history_page.h"
#include "platform/file_name.h"
#include "platform/text_file.h"

#include <QFileInfo>

namespace vantoli {
namespace {

constexpr int kLookBackLines = 100;

QStringList fieldsOf(const QString &line) {
    return line.split(u'|');
}

} // namespace

HistoryList historyListForFile(const QString &fileName) {
    return fileName.compare(kLocalHistoryFile, Qt::CaseInsensitive) == 0 ? HistoryList::LocalPlays
                                                                         : HistoryList::NetworkTasks;
}

QString historyFileName(HistoryList list) {
    return (list == HistoryList::LocalPlays ? kLocalHistoryFile : kNetworkHistoryFile);
}

QString historyPageName(HistoryList list) {
    return (list == HistoryList::LocalPlays ? kLocalHistoryPage : kNetworkHistoryPage);
}

namespace history_text {

std::optional<qint64> parseNumber(const QString &text) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

QString withNewEntry(const QStringList &oldLines, const QString &newLine,
                     const std::function<bool(const QStringList &)> &sameEntry) {
    QStringList kept;
    int read = 0;
    for (const QString &line : oldLines) {
        if (++read > kLookBackLines)
            break;
        if (!line.contains(u'|'))
            continue;
        if (sameEntry(fieldsOf(line)))
            continue;
        kept.append(line);
    }
    return newLine + kCrLf + kept.join(kCrLf) + kCrLf;
}

QString withUpdatedEntries(const QStringList &lines,
                           const std::function<std::optional<QString>(const QStringList &)> &rebuild) {
    QStringList out;
    for (const QString &line : lines) {
        if (!line.contains(u'|'))
            continue;
        out.append(rebuild(fieldsOf(line)).value_or(line));
    }
    return out.join(kCrLf) + kCrLf;
}

QString withoutLine(const QStringList &lines, qint64 n) {
    QString text;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i + 1 == n)
            continue;
        text += lines.at(i);
        text += kCrLf;
    }
    for (int k = 0; k < 2 && text.endsWith(kCrLf); ++k)
        text.chop(kCrLf.size());
    return text + kCrLf;
}

namespace {

// "|", CR and LF as %7C, %0D and %0A; "%" as %25 and a file name's bytes
// that are not UTF-8 as %80..%FF when asked (the file's encoding could not
// carry them as they are).
QString encodeField(const QString &field, bool percent) {
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        char byte = 0;
        if (percent && isEscapedByte(field, i, &byte)) {
            out += u'%' + QString::number(uchar(byte), 16).toUpper();
            continue;
        }
        switch (c.unicode()) {
        case u'%': out += percent ? QStringLiteral("%25") : QStringLiteral("%"); break;
        case u'|': out += QStringLiteral("%7C"); break;
        case u'\r': out += QStringLiteral("%0D"); break;
        case u'\n': out += QStringLiteral("%0A"); break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

QString encodeLocalField(const QString &field) {
    return encodeField(field, true);
}

QString encodeNetworkField(const QString &field) {
    return encodeField(field, false);
}

namespace {

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}

// "%80".."%FF": a byte written by encodeField.
std::optional<uchar> highByte(QStringView escape) {
    if (escape.size() != 3 || escape.at(0) != u'%')
        return std::nullopt;
    const int high = hexValue(escape.at(1));
    const int low = hexValue(escape.at(2));
    if (high < 8 || low < 0)
        return std::nullopt;
    return uchar(high << 4 | low);
}

} // namespace

QString decodeLocalField(const QString &field) {
    if (!field.contains(u'%'))
        return field;
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QStringView rest = QStringView(field).mid(i, 3);
        if (rest == u"%25") {
            out += u'%';
        } else if (rest.compare(u"%7C", Qt::CaseInsensitive) == 0) {
            out += u'|';
        } else if (rest.compare(u"%0D", Qt::CaseInsensitive) == 0) {
            out += u'\r';
        } else if (rest.compare(u"%0A", Qt::CaseInsensitive) == 0) {
            out += u'\n';
        } else if (const std::optional<uchar> byte = highByte(rest)) {
            out += fileNameFromBytes(QByteArray(1, char(*byte)));
        } else {
            out += field.at(i);
            continue;
        }
        i += 2;
    }
    return out;
}

} // namespace history_text

std::optional<LocalPlayEntry> parseLocalPlayLine(const QString &line) {
    if (!line.contains(u'|'))
        return std::nullopt;
    const QStringList f = fieldsOf(line);
    LocalPlayEntry e;
    e.name = f.at(0);
    e.path = history_text::decodeLocalField(f.value(1));
    e.position = history_text::parseNumber(f.value(2)).value_or(0);
    return e;
}

HistoryStore::HistoryStore(QString programFolder) : folder_(std::move(programFolder)) {}

QString HistoryStore::filePath(HistoryList list) const {
    return inFolder(folder_, historyFileName(list));
}

QString HistoryStore::pagePath(HistoryList list) const {
    return inFolder(folder_, historyPageName(list));
}

bool HistoryStore::addEntry(HistoryList list, const QString &newLine,
                            const std::function<bool(const QStringList &)> &sameEntry) {
    const auto lines = readTextLines(filePath(list));
    if (!lines)
        return false;
    if (!writeTextFile(filePath(list), history_text::withNewEntry(*lines, newLine, sameEntry)))
        return false;
    renderHistoryPage(list);
    return true;
}

bool HistoryStore::addNetworkTask(int id, const QString &title, const QString &episodeName,
                                  const QString &address, int source, int episode,
                                  qint64 position) {
    using history_text::encodeNetworkField;
    const QString line = QStringList{QString::number(id), encodeNetworkField(title),
                                     encodeNetworkField(episodeName), encodeNetworkField(address),
                                     QString::number(source), QString::number(episode),
                                     QString::number(position)}
                             .join(u'|');
    return addEntry(HistoryList::NetworkTasks, line, [id](const QStringList &f) {
        return history_text::parseNumber(f.at(0)) == id;
    });
}

bool HistoryStore::addLocalPlay(const QString &name, const QString &path, qint64 position) {
    const QString stored = history_text::encodeLocalField(path);
    const QString line = history_text::encodeLocalField(name) + u'|' + stored + u'|' + QString::number(position);
    return addEntry(HistoryList::LocalPlays, line, [&stored](const QStringList &f) {
        return f.size() > 1 && f.at(1) == stored;
    });
}

bool HistoryStore::updateNetworkTaskPosition(int id, qint64 position) {
    const QString path = filePath(HistoryList::NetworkTasks);
    const auto lines = readTextLines(path);
    if (!lines)
        return false;
    return writeTextFile(path, history_text::withUpdatedEntries(*lines, [&](const QStringList &f)
                                                                    -> std::optional<QString> {
        if (f.size() < 6 || history_text::parseNumber(f.at(0)) != id)
            return std::nullopt;
        return QString::number(id) + u'|' + f.mid(1, 5).join(u'|') + u'|' + QString::number(position);
    }));
}

bool HistoryStore::updateLocalPlayPosition(const QString &path, qint64 position) {
    const QString file = filePath(HistoryList::LocalPlays);
    const auto lines = readTextLines(file);
    if (!lines)
        return false;
    const QString stored = history_text::encodeLocalField(path);
    return writeTextFile(file, history_text::withUpdatedEntries(*lines, [&](const QStringList &f)
                                                                    -> std::optional<QString> {
        if (f.size() < 2 || f.at(1) != stored)
            return std::nullopt;
        return f.at(0) + u'|' + f.at(1) + u'|' + QString::number(position);
    }));
}

qint64 HistoryStore::localPlayPosition(const QString &path) const {
    const auto lines = readTextLines(filePath(HistoryList::LocalPlays));
    if (!lines)
        return 0;
    for (const QString &line : *lines) {
        if (const auto e = parseLocalPlayLine(line); e && e->path == path)
            return e->position;
    }
    return 0;
}

bool HistoryStore::removeHistoryLine(const QString &fileName, qint64 lineNumber) {
    const HistoryList list = historyListForFile(fileName);
    const QString path = filePath(list);
    const auto lines = readTextLines(path);
    if (!lines)
        return false;
    if (!writeTextFile(path, history_text::withoutLine(*lines, lineNumber)))
        return false;
    renderHistoryPage(list);
    return true;
}

bool HistoryStore::clearHistory(HistoryList list) {
    if (!QFileInfo::exists(filePath(list)))
        return false;
    if (!writeTextFile(filePath(list), kCrLf))
        return false;
    renderHistoryPage(list);
    return true;
}

bool HistoryStore::rewriteStalePage(HistoryList list) {
    const auto lines = readTextLines(filePath(list));
    const auto page = readTextFile(pagePath(list));
    if (!lines || !page)
        return false;
    const QString fresh = renderHistoryPageText(*lines, list) + kCrLf;
    if (*page == fresh || !writeTextFile(pagePath(list), fresh))
        return false;
    emit pageWritten(list, pagePath(list));
    return true;
}

bool HistoryStore::renderHistoryPage(const QString &fileName) {
    const HistoryList list = historyListForFile(fileName);
    const auto lines = readTextLines(filePath(list));
    if (!lines)
        return false;
    const QString page = renderHistoryPageText(*lines, list);
    if (!writeTextFile(pagePath(list), page + kCrLf))
        return false;
    emit pageWritten(list, pagePath(list));
    return true;
}

} // namespace vantoli
