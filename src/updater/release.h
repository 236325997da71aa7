#pragma once
// Signed releases, shared by the content server that publishes them and the
// updater that installs them.
//
// A release of version V is three files under the server's "update/V/":
//   release.tar   the program folder's files (regular files and folders only)
//   manifest.txt  "vantoli-release 1", then "version V", "file release.tar",
//                 "size N" and "sha256 HEX", one per line
//   manifest.sig  the Ed25519 signature of manifest.txt's exact bytes, in hex
// The updater trusts nothing before the signature verifies against the key
// built into it; the manifest then vouches for the archive's size and hash,
// and for the version, so an old signed release cannot pass as a new one.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantoli::release {

inline constexpr int kKeyBytes = 32;
inline constexpr int kSignatureBytes = 64;
inline const QString kArchiveName = QStringLiteral("release.tar");
inline const QString kManifestName = QStringLiteral("manifest.txt");
inline const QString kSignatureName = QStringLiteral("manifest.sig");

// A version usable as a folder name and in an address: 1 to 32 of
// [0-9A-Za-z._-], not starting with a dot.
bool validVersion(const QString &version);

struct Manifest {
    QString version;
    qint64 size = 0;
    QByteArray sha256; // 32 raw bytes
};
QByteArray manifestText(const Manifest &m);
// nullopt unless the text is exactly in the form manifestText writes.
std::optional<Manifest> parseManifest(const QByteArray &text);

// Ed25519. A secret key is its 32-byte seed.
struct KeyPair {
    QByteArray secret, publicKey;
};
std::optional<KeyPair> generateKeyPair();
std::optional<QByteArray> publicKeyOf(const QByteArray &secret);
std::optional<QByteArray> sign(const QByteArray &secret, const QByteArray &message);
bool verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature);
// A public key whose secret half is known to everyone (it was once in this
// project's repository): nothing is signed with it or trusted from it.
bool retiredKey(const QByteArray &publicKey);

// Decodes exactly `bytes` bytes of hex (blanks around it allowed).
std::optional<QByteArray> fromHex(const QByteArray &text, int bytes);

// Writes a tar of the given files and folders (each under its own file
// name, folders with everything in them). "" on success, else the reason.
QString packArchive(const QString &archivePath, const QStringList &paths);
// Unpacks into an existing empty folder. Only regular files and folders
// are accepted; absolute names, ".." and links are refused. "" on success.
QString unpackArchive(const QString &archivePath, const QString &folder);

} // namespace vantoli::release
