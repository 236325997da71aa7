#pragma once
// The script engine's escape() and unescape(), implemented directly on UTF-16
// code units with exactly the behaviour web pages get from their browsers.

#include <QString>

namespace vantoli {

QString escapeText(const QString &text);
QString unescapeText(const QString &text);

} // namespace vantoli
