#include "platform/text_file.h"

#include "platform/ansi_codec.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sys/stat.h>
#include <unistd.h>

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

namespace {

constexpr qsizetype kRandomPart = 6;
const QString kTemporaryMark = QStringLiteral(".vantoli-");

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isAsciiUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }

} // namespace

bool writeTextFile(const QString &path, const QString &text) {
    // The temporary file carries a mark of ours, so that a leftover of an
    // interrupted write is never confused with a user's own file beside it.
    QTemporaryFile f(path + kTemporaryMark + QString(kRandomPart, u'X'));
    if (!f.open())
        return false;
    const QByteArray bytes = encodeAnsi(text);
    struct stat old {};
    const QByteArray target = QFile::encodeName(path);
    // A file that exists keeps its permissions; a new one (settings, play
    // history) is the user's alone, as the temporary file was made.
    if (::stat(target.constData(), &old) == 0 && ::fchmod(f.handle(), old.st_mode & 07777) != 0)
        return false;
    if (f.write(bytes) != bytes.size() || !f.flush() || ::fsync(f.handle()) != 0)
        return false;
    if (::rename(QFile::encodeName(f.fileName()).constData(), target.constData()) != 0)
        return false;
    f.setAutoRemove(false); // its name is gone: it is the file now
    return true;
}

bool isWriteLeftoverOf(const QString &fileName, const QString &ownName) {
    if (!fileName.startsWith(ownName))
        return false;
    const QString rest = fileName.mid(ownName.size());
    if (rest.size() == kTemporaryMark.size() + kRandomPart && rest.startsWith(kTemporaryMark)) {
        for (qsizetype i = kTemporaryMark.size(); i < rest.size(); ++i) {
            const char16_t c = rest.at(i).unicode();
            if (!isAsciiLetter(c) && !(c >= u'0' && c <= u'9'))
                return false;
        }
        return true;
    }
    // An earlier writer named its temporary files "NAME." and six random
    // letters. A word ("backup", "Backup", "BACKUP") is a user's own name:
    // only letters that mix case the way a random draw does count.
    if (rest.size() != 1 + kRandomPart || rest.at(0) != u'.')
        return false;
    int upper = 0;
    for (qsizetype i = 1; i < rest.size(); ++i) {
        const char16_t c = rest.at(i).unicode();
        if (!isAsciiLetter(c))
            return false;
        upper += isAsciiUpper(c) ? 1 : 0;
    }
    const bool capitalised = upper == 1 && isAsciiUpper(rest.at(1).unicode());
    return upper > 0 && upper < kRandomPart && !capitalised;
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
