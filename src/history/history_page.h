#pragma once
// The small HTML page that lists one history file in its side pane.

#include "history/history_files.h"

#include <QString>
#include <QStringList>

namespace vantoli {

// The page for the lines of a history file (without the final line end that
// the file gets). Names are HTML-escaped; the tooltip stays an unquoted
// attribute, so it shows the name up to its first blank.
QString renderHistoryPageText(const QStringList &lines, HistoryList list);

} // namespace vantoli
