#pragma once
// File names as the system holds them: bytes, mostly but not always UTF-8
// (a name copied from an old disc or archive may be Latin-1 or GBK). Inside
// the program a name is a QString; these two functions carry one across that
// border without losing a byte. Every byte that is not part of valid UTF-8
// becomes the lone surrogate U+DC00+byte (U+DC80..U+DCFF), which no valid
// UTF-8 name can produce, and turns back into the same byte.
//
// Names enter through fileNameFromBytes (the command line, a later start's
// message, "file:" URLs) and leave through fileNameBytes wherever a file is
// looked at or opened (stat, the player), never through Qt's own file-name
// codec, which turns such bytes into U+FFFD.

#include <QByteArray>
#include <QString>

class QUrl;

namespace vantoli {

QString fileNameFromBytes(const QByteArray &bytes);
// fileNameBytes(fileNameFromBytes(b)) == b for every b. A lone surrogate
// outside U+DC80..U+DCFF (never made by fileNameFromBytes) is written as
// U+FFFD.
QByteArray fileNameBytes(const QString &name);

// The path of a local "file:" URL by the bytes it carries ("%E9" stays the
// byte, where QUrl::toLocalFile would make it U+FFFD).
QString fileNameFromUrl(const QUrl &url);

// A relative name joined to the current folder (taken by its bytes too),
// "." and ".." resolved; an absolute name only cleaned.
QString absoluteFileName(const QString &name);

// The escaped bytes as U+FFFD, for showing a name; not a name any more.
QString fileNameForDisplay(const QString &name);

// Whether unit i of text is an escaped byte (a lone U+DC80..U+DCFF);
// *byte is set to the byte.
bool isEscapedByte(const QString &text, qsizetype i, char *byte = nullptr);

} // namespace vantoli
