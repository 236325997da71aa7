#pragma once
// The program's "ANSI" text: files are written in GB18030 (identical to GBK
// for every GBK character), and display width and check numbers follow the
// GBK code page.

#include <QByteArray>
#include <QString>

namespace vantoli {

// Decodes GB18030 bytes. A byte that is not part of a valid sequence becomes
// the lone surrogate U+DC00+byte, which encodeAnsi turns back into the same
// byte, so a file with stray binary bytes survives a read/write round trip.
QString decodeAnsi(const QByteArray &bytes);
QByteArray encodeAnsi(const QString &text);

// Number of bytes the GBK code page uses for this UTF-16 code unit: 2 for a
// double-byte GBK character, 1 otherwise (ASCII, or not in GBK at all).
int gbkWidth(char16_t unit);

// The code-page value of a character as a signed 16-bit number: the byte for
// a single-byte character, the two bytes as one big-endian value for a
// double-byte one, and '?' for a character GBK cannot encode.
qint16 ansiCode(char16_t unit);

} // namespace vantoli
