#pragma once
// What a start of the program from outside (a browser handing over a link,
// a file manager, a terminal) asks for. Only the catalog schemes that make
// sense outside the program's own pages are taken; the history schemes and
// every other scheme are refused, so a web page cannot make the program play
// or delete history entries by line number.

#include <QString>

namespace vantoli {

enum class OutsideRequest {
    Nothing,     // empty command line: only come to the front
    LocalItem,   // a file or anything without a scheme: played as a local item
    CatalogLink, // "kxbovod://" or "kxpeer://": as if clicked in the catalog pane
    TvLink,      // "kxtvs://": as if clicked in the TV list pane
    Refused,     // any other scheme: does nothing
};

struct OutsideCommand {
    OutsideRequest request = OutsideRequest::Nothing;
    // The text to act on: the link with its scheme in lower case, or the
    // local path ("file://" addresses become paths).
    QString text;
};

OutsideCommand classifyOutsideCommand(const QString &commandLine);

} // namespace vantoli
