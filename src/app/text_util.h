#pragma once
// Small text helpers shared across the program.

#include <QString>

class QLocale;
class QTime;

namespace vantoli {

// The text unchanged when it has at most width/2 characters; otherwise the
// longest prefix whose display width (2 for a double-byte GBK character, 1
// for any other) is at most width. No ellipsis. A surrogate pair is never cut.
QString truncateToWidth(const QString &text, int width);

// Whole seconds as "mm:ss", or "h:mm:ss" from one hour on.
QString timeText(qint64 seconds);

// The time of day in the locale's long time format without its time zone
// (the status line's clock).
QString clockText(const QLocale &locale, const QTime &time);

// The part of a path after its last "/" or "\"; empty when there is none.
QString displayName(const QString &path);

// Finds startMarker, then the first endMarker at or after it. Mode 1 gives the
// span including both markers, mode 2 the text between them; any failure
// gives the empty string.
QString extractText(const QString &text, const QString &startMarker, const QString &endMarker,
                    int mode);

// Escapes a text for HTML element content and attribute values: "<", ">",
// "&", quotes and "=" become character references.
QString htmlEscape(const QString &text);

// The text as a double-quoted script string literal that may stand anywhere
// in an HTML <script> element or in a script run in a page. Besides quotes,
// backslashes and control characters, "<", ">", "&", U+2028, U+2029 and a
// surrogate without its pair are written as \uXXXX: the literal can end
// neither the element ("</script>") nor a line, and opens no comment ("<!--").
QString scriptString(const QString &text);

} // namespace vantoli
