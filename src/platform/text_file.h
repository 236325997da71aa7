#pragma once
// Reading and writing the program's text files (settings, histories, pages):
// GB18030 on disk, CR LF line ends, replaced atomically.

#include <QString>
#include <QStringList>

#include <optional>

namespace vantoli {

// Splits text into lines the way a line-by-line reader does: CR LF, a lone CR
// and a lone LF each end a line; text after the last line end is one more
// line when it is not empty. "" gives no lines, "\r\n" one empty line.
QStringList splitLines(const QString &text);

// Reads a whole file as text; nullopt when it cannot be opened.
std::optional<QString> readTextFile(const QString &path);
std::optional<QStringList> readTextLines(const QString &path);

// Replaces the file with the text (a temporary file beside it is written, then
// renamed over it). Returns false when the file could not be written; the old
// file is then left as it was.
bool writeTextFile(const QString &path, const QString &text);

inline const QString kCrLf = QStringLiteral("\r\n");

// writeTextFile writes NAME's new text to a temporary "NAME.vantoli-" + six
// ASCII letters or digits beside it and renames that over NAME; a process
// killed before the rename leaves the temporary file behind. True for such
// a name, and for "NAME." + six letters of mixed case, the leftovers of the
// earlier writer (a word such as "backup" or "Backup" is a user's name).
bool isWriteLeftoverOf(const QString &fileName, const QString &ownName);

// Removes, in folder, the regular files left over by interrupted writes of
// the named files (not links, folders or any other name) that were last
// changed at least minAgeMs ago: a younger one may be another instance's
// write in progress. Returns how many went.
int removeWriteLeftovers(const QString &folder, const QStringList &ownNames, qint64 minAgeMs = 10000);

} // namespace vantoli
