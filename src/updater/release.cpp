#include "updater/release.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <memory>

namespace vantoli::release {

namespace {

const QByteArray kMagic = "vantoli-release 1";

struct PkeyFree {
    void operator()(EVP_PKEY *k) const { EVP_PKEY_free(k); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX *c) const { EVP_MD_CTX_free(c); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

const auto *bytes(const QByteArray &a) { return reinterpret_cast<const unsigned char *>(a.constData()); }

Pkey secretKey(const QByteArray &secret) {
    if (secret.size() != kKeyBytes)
        return nullptr;
    return Pkey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytes(secret), kKeyBytes));
}

struct ReadFree {
    void operator()(archive *a) const { archive_read_free(a); }
};
struct WriteFree {
    void operator()(archive *a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry *e) const { archive_entry_free(e); }
};

QString archiveError(archive *a, const QString &what) {
    const char *e = archive_error_string(a);
    return what + QStringLiteral(": ") + (e ? QString::fromLocal8Bit(e) : QStringLiteral("unknown error"));
}

// A name inside the archive that stays inside the folder it is unpacked to.
bool safeMemberName(const QString &name) {
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(QChar(0)))
        return false;
    for (const QString &part : name.split(u'/', Qt::SkipEmptyParts))
        if (part == u"..")
            return false;
    return true;
}

QString addToArchive(archive *a, const QString &path, const QString &name) {
    const QFileInfo info(path);
    std::unique_ptr<archive_entry, EntryFree> e(archive_entry_new());
    // Names go in as the file system's bytes, which needs no conversion
    // through the locale (the C locale cannot convert non-ASCII names).
    const QByteArray encoded = QFile::encodeName(name);
    archive_entry_copy_pathname(e.get(), encoded.constData());
    archive_entry_set_mtime(e.get(), info.lastModified().toSecsSinceEpoch(), 0);
    if (info.isSymLink())
        return QStringLiteral("links cannot be released: ") + path;
    if (info.isDir()) {
        archive_entry_set_filetype(e.get(), AE_IFDIR);
        archive_entry_set_perm(e.get(), 0755);
        if (archive_write_header(a, e.get()) != ARCHIVE_OK)
            return archiveError(a, path);
        return {};
    }
    if (!info.isFile())
        return QStringLiteral("not a file or folder: ") + path;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + path;
    archive_entry_set_filetype(e.get(), AE_IFREG);
    archive_entry_set_perm(e.get(), info.isExecutable() ? 0755 : 0644);
    archive_entry_set_size(e.get(), f.size());
    if (archive_write_header(a, e.get()) != ARCHIVE_OK)
        return archiveError(a, path);
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(1 << 16);
        if (chunk.isEmpty() || archive_write_data(a, chunk.constData(), size_t(chunk.size())) < 0)
            return archiveError(a, path);
    }
    return {};
}

} // namespace

bool validVersion(const QString &version) {
    if (version.isEmpty() || version.size() > 32 || version.startsWith(u'.'))
        return false;
    for (QChar c : version)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'_' && c != u'-')
            return false;
    return true;
}

QByteArray manifestText(const Manifest &m) {
    return kMagic + "\nversion " + m.version.toUtf8() + "\nfile " + kArchiveName.toUtf8() + "\nsize " +
           QByteArray::number(m.size) + "\nsha256 " + m.sha256.toHex() + "\n";
}

std::optional<Manifest> parseManifest(const QByteArray &text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() != 6 || lines[0] != kMagic || !lines[5].isEmpty())
        return std::nullopt;
    auto value = [&](int i, const QByteArray &key) -> std::optional<QByteArray> {
        if (!lines[i].startsWith(key + ' '))
            return std::nullopt;
        return lines[i].mid(key.size() + 1);
    };
    Manifest m;
    const auto version = value(1, "version"), file = value(2, "file"), size = value(3, "size"),
               hash = value(4, "sha256");
    if (!version || !file || !size || !hash || *file != kArchiveName.toUtf8())
        return std::nullopt;
    m.version = QString::fromUtf8(*version);
    bool ok = false;
    m.size = size->toLongLong(&ok);
    const auto digest = fromHex(*hash, 32);
    if (!validVersion(m.version) || !ok || m.size <= 0 || !digest || *size != QByteArray::number(m.size))
        return std::nullopt;
    m.sha256 = *digest;
    return m;
}

std::optional<KeyPair> generateKeyPair() {
    QByteArray seed(kKeyBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(seed.data()), kKeyBytes) != 1)
        return std::nullopt;
    const auto pub = publicKeyOf(seed);
    if (!pub)
        return std::nullopt;
    return KeyPair{seed, *pub};
}

std::optional<QByteArray> publicKeyOf(const QByteArray &secret) {
    const Pkey key = secretKey(secret);
    QByteArray pub(kKeyBytes, '\0');
    size_t len = kKeyBytes;
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char *>(pub.data()), &len) != 1 ||
        len != kKeyBytes)
        return std::nullopt;
    return pub;
}

std::optional<QByteArray> sign(const QByteArray &secret, const QByteArray &message) {
    const Pkey key = secretKey(secret);
    const MdCtx ctx(EVP_MD_CTX_new());
    QByteArray sig(kSignatureBytes, '\0');
    size_t len = kSignatureBytes;
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char *>(sig.data()), &len, bytes(message),
                       size_t(message.size())) != 1 ||
        len != kSignatureBytes)
        return std::nullopt;
    return sig;
}

bool verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature) {
    if (publicKey.size() != kKeyBytes || signature.size() != kSignatureBytes)
        return false;
    const Pkey key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), kKeyBytes));
    const MdCtx ctx(EVP_MD_CTX_new());
    return key && ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(ctx.get(), bytes(signature), kSignatureBytes, bytes(message), size_t(message.size())) == 1;
}

bool retiredKey(const QByteArray &publicKey) {
    for (const QByteArray &hex : QByteArrayLiteral(VANTOLI_RETIRED_RELEASE_KEYS).split(' '))
        if (!hex.isEmpty() && QByteArray::fromHex(hex) == publicKey)
            return true;
    return false;
}

std::optional<QByteArray> fromHex(const QByteArray &text, int count) {
    const QByteArray t = text.trimmed();
    if (t.size() != 2 * count)
        return std::nullopt;
    for (char c : t)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return QByteArray::fromHex(t);
}

QString packArchive(const QString &archivePath, const QStringList &paths) {
    std::unique_ptr<archive, WriteFree> a(archive_write_new());
    archive_write_set_format_pax_restricted(a.get());
    // Names are stored as the file system's bytes, never translated.
    archive_write_set_format_option(a.get(), "pax", "hdrcharset", "BINARY");
    if (archive_write_open_filename(a.get(), QFile::encodeName(archivePath).constData()) != ARCHIVE_OK)
        return archiveError(a.get(), archivePath);
    for (const QString &path : paths) {
        const QFileInfo top(path);
        const QString name = top.fileName();
        if (name.isEmpty() || name == u"." || name == u"..")
            return QStringLiteral("no file name: ") + path;
        if (QString err = addToArchive(a.get(), path, name); !err.isEmpty())
            return err;
        if (!top.isDir() || top.isSymLink())
            continue;
        QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString sub = it.next();
            if (QString err = addToArchive(a.get(), sub, name + u'/' + QDir(path).relativeFilePath(sub));
                !err.isEmpty())
                return err;
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK)
        return archiveError(a.get(), archivePath);
    return {};
}

QString unpackArchive(const QString &archivePath, const QString &folder) {
    std::unique_ptr<archive, ReadFree> in(archive_read_new());
    archive_read_support_format_tar(in.get());
    if (archive_read_open_filename(in.get(), QFile::encodeName(archivePath).constData(), 1 << 16) != ARCHIVE_OK)
        return archiveError(in.get(), QStringLiteral("cannot open the release"));
    std::unique_ptr<archive, WriteFree> out(archive_write_disk_new());
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME |
                                                  ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                  ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_NO_OVERWRITE);
    int entries = 0;
    for (;;) {
        archive_entry *e = nullptr;
        const int r = archive_read_next_header(in.get(), &e);
        if (r == ARCHIVE_EOF)
            break;
        if (r != ARCHIVE_OK)
            return archiveError(in.get(), QStringLiteral("broken release archive"));
        const char *raw = archive_entry_pathname(e);
        const QString name = raw ? QFile::decodeName(raw) : QString();
        const auto type = archive_entry_filetype(e);
        if (!safeMemberName(name))
            return QStringLiteral("release archive names a file outside its folder: ") + name;
        if ((type != AE_IFREG && type != AE_IFDIR) || archive_entry_hardlink(e))
            return QStringLiteral("release archive holds something other than files and folders: ") + name;
        const QByteArray target = QFile::encodeName(folder + u'/' + name);
        archive_entry_set_pathname(e, target.constData());
        archive_entry_set_perm(e, type == AE_IFDIR || (archive_entry_perm(e) & 0111) ? 0755 : 0644);
        if (archive_write_header(out.get(), e) != ARCHIVE_OK)
            return archiveError(out.get(), QStringLiteral("cannot unpack ") + name);
        if (type == AE_IFREG) {
            const void *buf = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            int d;
            while ((d = archive_read_data_block(in.get(), &buf, &size, &offset)) == ARCHIVE_OK)
                if (archive_write_data_block(out.get(), buf, size, offset) != ARCHIVE_OK)
                    return archiveError(out.get(), QStringLiteral("cannot unpack ") + name);
            if (d != ARCHIVE_EOF)
                return archiveError(in.get(), QStringLiteral("broken release archive"));
        }
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
            return archiveError(out.get(), QStringLiteral("cannot unpack ") + name);
        ++entries;
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return archiveError(out.get(), QStringLiteral("cannot finish unpacking"));
    if (entries == 0)
        return QStringLiteral("the release archive is empty");
    return {};
}

} // namespace vantoli::release
