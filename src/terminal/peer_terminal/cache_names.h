#pragma once
// Pure pieces of the transfer program's cache: the file name an item gets,
// its small state file, and the checks on origin replies. No I/O beyond the
// state file itself.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace vantoli::terminal {

// The last path segment of an address, percent-decoded and made safe as a
// file name: no separators, no control characters, no leading dot, at most
// 150 bytes of UTF-8. "item" when nothing usable is left.
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

// What the state file beside a cached file holds.
struct ItemState {
    QString url;          // the origin address
    QString name;         // the cached file's name in the cache folder
    std::int64_t total = -1; // the item's size; -1 while unknown
    std::int64_t have = 0;   // bytes from the start already in the file
    std::int64_t lastPlayed = 0; // ms since the epoch
    QString contentType;
    QString validator;    // the origin's ETag or Last-Modified, to resume only the same item
};

// ".<name>.vantoli": hidden, beside the file.
QString stateFileName(const QString &name);
bool isStateFileName(const QString &fileName);
bool writeItemState(const QString &path, const ItemState &state);
std::optional<ItemState> readItemState(const QString &path);

// A Content-Range value "bytes FIRST-LAST/TOTAL": first and total (total -1
// for "*"); nullopt when malformed.
struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;
};
std::optional<ContentRange> parseContentRange(const std::string &value);

// Whether an address may be fetched: absolute http or https with a host.
bool isFetchableUrl(const QString &url);

} // namespace vantoli::terminal
