#pragma once
// Web addresses compared as addresses, not as text: the engine reports an
// address in its normal form (lower-case scheme and host, no default port),
// while the content base comes from the command line as the user wrote it.

#include <QString>

namespace vantoli {

// True when both are http(s) addresses of the same page: scheme, host and
// port (a default port written or not) and path match; query and fragment
// are not looked at.
bool isSameWebPage(const QString &address, const QString &page);

// True when the address is on the base's server (scheme, host, port) at the
// base's path or below it.
bool isUnderWebBase(const QString &address, const QString &base);

} // namespace vantoli
