#pragma once
// The folder for a user's lock files, sockets and port files. Other users
// must neither read what is put there nor plant a file or link in it, so a
// folder is used only when it is a real folder (not a link) of this user
// with mode 0700.

#include <QString>

namespace vantoli {

// $XDG_RUNTIME_DIR when it qualifies; otherwise "vantoli-UID" in the
// temporary folder, created with mode 0700 when missing. "" when neither
// qualifies, with the reason in *why (for a message to the user).
QString privateRuntimeFolder(QString *why = nullptr);

// Whether path is a folder (not a link) owned by this user with mode 0700.
bool isPrivateFolder(const QString &path);

} // namespace vantoli
