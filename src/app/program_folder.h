#pragma once
// The program folder: where App.ini, the history files and their pages live.

#include <QString>

namespace vantoli {

// Chooses the folder: an explicit --home wins, then VANTOLI_HOME, then the
// executable's folder when it is writable and not an installed bin/ folder,
// else $XDG_DATA_HOME/vantoli.
// The folder is created when missing. Returned without a trailing "/".
QString resolveProgramFolder(const QString &homeOption, const QString &executableFolder);

// Whether the executable runs from an installed layout: it sits in a "bin"
// folder whose sibling "lib/vantoli" holds its parts.
bool isInstalledLayout(const QString &executableFolder);

// The folder of the companion programs, ending with "/": "lib/vantoli/"
// beside an installed bin/, else the executable's own folder.
QString partsFolder(const QString &executableFolder);

// The player component's folder "Peer/" in the parts folder, ending with "/".
QString playerProgramsFolder(const QString &executableFolder);

// Joins the program folder and a file name.
inline QString inFolder(const QString &folder, const QString &name) {
    return folder + u'/' + name;
}

} // namespace vantoli
