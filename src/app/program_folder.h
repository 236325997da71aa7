#pragma once
// The program folder: where App.ini, the history files and their pages live.

#include <QString>

namespace vantoli {

// Chooses the folder: an explicit --home wins, then VANTOLI_HOME, then the
// executable's folder when it is writable, else $XDG_DATA_HOME/vantoli.
// The folder is created when missing. Returned without a trailing "/".
QString resolveProgramFolder(const QString &homeOption, const QString &executableFolder);

// Joins the program folder and a file name.
inline QString inFolder(const QString &folder, const QString &name) {
    return folder + u'/' + name;
}

} // namespace vantoli
