#pragma once
// What the updater does with a downloaded release, in steps that each
// leave the installed program as it was when they fail:
//   checkRelease  the manifest's signature, version, and the archive's size
//                 and hash
//   installRelease  unpack beside the install folder, carry over what the
//                 release does not hold (settings, histories, the player's
//                 folder), swap the folders in one rename, keep the old one
//                 as "<install>.previous"

#include "updater/release.h"

#include <QString>

namespace vantoli::release {

inline const QString kPreviousSuffix = QStringLiteral(".previous");

// "" when `signature` (hex, as manifest.sig holds it) is a valid signature
// of `manifest` by `publicKey`, the manifest names `version`, and the file
// at archivePath has the size and hash it states; else the reason.
QString checkRelease(const QByteArray &publicKey, const QString &version, const QByteArray &manifest,
                     const QByteArray &signature, const QString &archivePath);

// Installs a checked archive over installFolder. workFolder is an empty
// folder on the same file system (beside the install folder), removed by
// the caller. The release must hold programName as an executable file.
// "" on success; on failure the install folder is unchanged.
QString installRelease(const QString &archivePath, const QString &installFolder,
                       const QString &programName, const QString &workFolder);

} // namespace vantoli::release
