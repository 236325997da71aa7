#pragma once
// Pure pieces of the transfer program's cache: the file name an item gets
// and the checks on origin replies. The state file beside each item is in
// terminal/transfer_record.h.

#include "terminal/transfer_record.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace vantoli::terminal {

// The last path segment of an address, percent-decoded and made safe as a
// file name: no separators, no control characters, no format characters
// (bidirectional overrides and invisible marks that make a name read as
// another), no leading dot, at most 150 bytes of UTF-8. "item" when
// nothing usable is left.
QString safeItemName(const QString &url);

// `name`, or `name` with " (2)", " (3)", ... before its extension: the first
// for which taken() is false.
template <class Taken> QString uniqueName(const QString &name, Taken taken) {
    if (!taken(name))
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + ext;
        if (!taken(candidate))
            return candidate;
    }
}

// A Content-Range value "bytes FIRST-LAST/TOTAL": first and total (total -1
// for "*"); nullopt when malformed.
struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;
};
std::optional<ContentRange> parseContentRange(const std::string &value);

} // namespace vantoli::terminal
