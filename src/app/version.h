#pragma once
// The program's version: one value, set by the build (the project's version
// in the top CMakeLists.txt). The update check, the updater, the about page
// and --version all show or compare this one.

#include <QList>
#include <QString>

#include <optional>

namespace vantoli {

// The build's version, for example "1.0.0".
QString programVersion();

// Major and minor of a version, as the about page shows it: "1.0" for
// "1.0.0", "2.0" for "2"; the text unchanged when it is not a version.
QString majorMinor(const QString &version);

// The numbers of a release version: 1 to 8 numbers of 1 to 9 digits,
// separated by dots ("1", "1.1", "2.0.3"); nullopt for anything else.
std::optional<QList<int>> versionNumbers(const QString &text);

// Orders two release versions number by number; missing numbers count as
// 0, so "1.0" and "1.0.0" are the same version. Negative, 0 or positive as
// a is older than, the same as or newer than b; nullopt when either is not
// a release version.
std::optional<int> compareVersions(const QString &a, const QString &b);

} // namespace vantoli
