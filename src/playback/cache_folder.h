#pragma once
// The player's cache folder, kept in the player programs' own files in the
// player folder: PeerCfg.ini (NBPEERTERMINAL/defaultsavepath, profile
// semantics) and PeerPlayer.xml (the attribute Defaultsavepath="..."). The
// player folder ends with "/" and the file names are appended to it directly.

#include <QString>

namespace vantoli {

class Dialogs;

// The folder used when neither player file names one: "Vantoli/" in the
// user's video folder ($XDG_VIDEOS_DIR, else ~/Videos).
QString fallbackCacheFolder();

// The cache folder the player programs use; the fallback when their files
// are missing, unreadable or name none.
QString lookUpCacheFolder(const QString &playerFolder);

// Writes a new cache folder into both player files (PeerPlayer.xml only when
// it already carries the attribute). Does nothing unless both are non-empty.
void setCacheFolder(const QString &playerFolder, const QString &newFolder);

// The folder-selection dialog: the chosen folder, "" when cancelled. An
// empty title becomes "请选择文件夹".
QString browseForFolder(Dialogs &dialogs, const QString &initialFolder, const QString &title);

} // namespace vantoli
