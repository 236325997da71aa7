#pragma once
// What a start of the program from outside (a browser handing over a link,
// a file manager, a terminal) or the desktop's remote control asks for. Only
// the catalog schemes that make sense outside the program's own pages are
// taken; the history schemes and every other scheme are refused, so a web
// page cannot make the program play or delete history entries by line
// number. What is left is played when checkPlayAddress allows it for its
// origin: a command line is the user's own (files and network addresses), a
// remote control's request is not (network addresses only).

#include "playback/play_address.h"

#include <QString>

namespace vantoli {

enum class OutsideRequest {
    Nothing,     // empty command line: only come to the front
    LocalItem,   // a file, or an http(s) or peer address: played as a local item
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

OutsideCommand classifyOutsideCommand(const QString &commandLine, AddressOrigin origin = AddressOrigin::User);

} // namespace vantoli
