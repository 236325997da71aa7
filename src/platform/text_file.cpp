#include "platform/text_file.h"

#include "platform/ansi_codec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace vantoli {

QStringList splitLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

std::optional<QString> readTextFile(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeAnsi(f.readAll());
}

std::optional<QStringList> readTextLines(const QString &path) {
    auto text = readTextFile(path);
    if (!text)
        return std::nullopt;
    return splitLines(*text);
}

bool writeTextFile(const QString &path, const QString &text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = encodeAnsi(text);
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool isWriteLeftoverOf(const QString &fileName, const QString &ownName) {
    constexpr qsizetype kRandomPart = 6;
    if (fileName.size() != ownName.size() + 1 + kRandomPart || !fileName.startsWith(ownName) ||
        fileName.at(ownName.size()) != u'.')
        return false;
    for (qsizetype i = ownName.size() + 1; i < fileName.size(); ++i) {
        const char16_t c = fileName.at(i).unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

int removeWriteLeftovers(const QString &folder, const QStringList &ownNames, qint64 minAgeMs) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-minAgeMs);
    int removed = 0;
    const QDir dir(folder);
    // Names are matched before anything is looked at; links are not followed.
    for (const QString &name : dir.entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const bool leftover = std::any_of(ownNames.begin(), ownNames.end(),
                                          [&](const QString &own) { return isWriteLeftoverOf(name, own); });
        if (!leftover)
            continue;
        const QFileInfo info(dir.filePath(name));
        if (info.isSymLink() || !info.isFile() || info.lastModified().toUTC() > before)
            continue;
        if (QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}

} // namespace vantoli
