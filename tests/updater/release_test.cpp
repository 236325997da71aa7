// Signed releases: signatures, manifests, archives that try to leave their
// folder, and the install's swap with the previous version kept.

#include "app/version.h"
#include "updater/installer.h"
#include "updater/release.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

using namespace vantoli::release;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

void writeFile(const QString &path, const QByteArray &bytes, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A tar with one entry of the given name and type, written without the
// checks packArchive makes.
void rawArchive(const QString &path, const char *name, unsigned type, const char *linkTarget = nullptr) {
    archive *a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_open_filename(a, QFile::encodeName(path).constData());
    archive_entry *e = archive_entry_new();
    archive_entry_set_pathname(e, name);
    archive_entry_set_filetype(e, type);
    archive_entry_set_perm(e, 0644);
    if (linkTarget)
        archive_entry_set_symlink(e, linkTarget);
    archive_entry_set_size(e, type == AE_IFREG ? 2 : 0);
    archive_write_header(a, e);
    if (type == AE_IFREG)
        archive_write_data(a, "x\n", 2);
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
}

TEST(Release, SignaturesVerifyOnlyWithTheirKeyAndMessage) {
    const auto mine = generateKeyPair(), other = generateKeyPair();
    ASSERT_TRUE(mine && other);
    const QByteArray message = "vantoli-release 1\n";
    const auto sig = sign(mine->secret, message);
    ASSERT_TRUE(sig);
    EXPECT_EQ(sig->size(), kSignatureBytes);
    EXPECT_TRUE(verify(mine->publicKey, message, *sig));
    EXPECT_FALSE(verify(other->publicKey, message, *sig));
    EXPECT_FALSE(verify(mine->publicKey, message + " ", *sig));
    QByteArray flipped = *sig;
    flipped[10] = char(flipped[10] ^ 1);
    EXPECT_FALSE(verify(mine->publicKey, message, flipped));
    EXPECT_FALSE(verify(mine->publicKey, message, sig->left(63)));
    EXPECT_FALSE(verify(QByteArray(31, 'k'), message, *sig));
}

TEST(Release, TheKeyOnceInTheRepositoryIsRetired) {
    // Its secret half is in the project's history, so anyone can sign with it.
    EXPECT_TRUE(retiredKey(*fromHex("7f9b297219bc4e8559af8aaf4b292e1483257464fada1bb5d18f7ddd96251192", kKeyBytes)));
    const auto fresh = generateKeyPair();
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(retiredKey(fresh->publicKey));
    EXPECT_FALSE(retiredKey({}));
}

TEST(Release, VersionsAreOrderedNumberByNumber) {
    using vantoli::compareVersions;
    EXPECT_EQ(compareVersions(QStringLiteral("1.0"), QStringLiteral("1.0.0")), 0);
    EXPECT_EQ(compareVersions(QStringLiteral("1.10"), QStringLiteral("1.9")), 1); // not as text
    EXPECT_EQ(compareVersions(QStringLiteral("0.9"), QStringLiteral("1.0.0")), -1);
    EXPECT_EQ(compareVersions(QStringLiteral("1.0.1"), QStringLiteral("1")), 1);
    EXPECT_EQ(compareVersions(QStringLiteral("2"), QStringLiteral("10")), -1);
    for (const char *v : {"", "1.", ".1", "1..2", "1.0-beta", "v1", " 1.1", "1.1 ", "+1", "1234567890", "1.2.3.4.5.6.7.8.9"})
        EXPECT_FALSE(compareVersions(QString::fromUtf8(v), QStringLiteral("1.0"))) << v;
    EXPECT_EQ(vantoli::majorMinor(QStringLiteral("1.0.0")), u"1.0");
    EXPECT_EQ(vantoli::majorMinor(QStringLiteral("2")), u"2.0");
    EXPECT_EQ(vantoli::majorMinor(QStringLiteral("3.12.7")), u"3.12");
}

TEST(Release, ManifestsAreReadOnlyInTheirExactForm) {
    const Manifest m{QStringLiteral("1.1"), 3072, QCryptographicHash::hash("x", QCryptographicHash::Sha256)};
    const QByteArray text = manifestText(m);
    const auto back = parseManifest(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->version, u"1.1");
    EXPECT_EQ(back->size, 3072);
    EXPECT_EQ(back->sha256, m.sha256);

    QByteArray bad = text;
    EXPECT_FALSE(parseManifest(bad.replace("size 3072", "size 03072")));
    bad = text;
    EXPECT_FALSE(parseManifest(bad.replace("size 3072", "size -1")));
    bad = text;
    EXPECT_FALSE(parseManifest(bad.replace("version 1.1", "version ../1")));
    bad = text;
    EXPECT_FALSE(parseManifest(bad.replace("file release.tar", "file other.tar")));
    EXPECT_FALSE(parseManifest(text + "extra\n"));
    EXPECT_FALSE(parseManifest(text.chopped(1)));
    EXPECT_FALSE(parseManifest({}));

    EXPECT_TRUE(validVersion(QStringLiteral("2.0-beta_1")));
    for (const char *v : {"", ".1", "1/2", "1 2", "中文", "..", "123456789012345678901234567890123"})
        EXPECT_FALSE(validVersion(QString::fromUtf8(v))) << v;
}

TEST(Release, CheckRefusesOtherKeysOtherVersionsAndDamagedArchives) {
    QTemporaryDir dir;
    const auto key = generateKeyPair(), other = generateKeyPair();
    const QString archive = dir.filePath(QStringLiteral("release.tar"));
    writeFile(archive, QByteArray(3000, 'a'));
    const Manifest m{QStringLiteral("1.1"), 3000,
                     QCryptographicHash::hash(QByteArray(3000, 'a'), QCryptographicHash::Sha256)};
    const QByteArray manifest = manifestText(m);
    const QByteArray sig = sign(key->secret, manifest)->toHex() + "\n";

    EXPECT_EQ(checkRelease(key->publicKey, QStringLiteral("1.1"), manifest, sig, archive), QString());
    EXPECT_TRUE(checkRelease(other->publicKey, QStringLiteral("1.1"), manifest, sig, archive).contains(u"signature"));
    EXPECT_TRUE(checkRelease(key->publicKey, QStringLiteral("1.1"), manifest, "zz", archive).contains(u"signature"));
    // An old signed release served under a new version's name.
    EXPECT_TRUE(checkRelease(key->publicKey, QStringLiteral("1.2"), manifest, sig, archive).contains(u"1.2"));

    writeFile(archive, QByteArray(2999, 'a'));
    EXPECT_TRUE(checkRelease(key->publicKey, QStringLiteral("1.1"), manifest, sig, archive).contains(u"incomplete"));
    writeFile(archive, QByteArray(2999, 'a') + 'b');
    EXPECT_TRUE(checkRelease(key->publicKey, QStringLiteral("1.1"), manifest, sig, archive).contains(u"damaged"));
}

TEST(Release, ArchivesRoundTripAndRefuseWhatLeavesTheirFolder) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("src/vantoli")), "#!/bin/sh\n", true);
    writeFile(dir.filePath(QStringLiteral("src/Peer/PeerPlayer")), "p");
    writeFile(dir.filePath(QStringLiteral("src/说明.txt")), "中文");
    const QString tar = dir.filePath(QStringLiteral("r.tar"));
    ASSERT_EQ(packArchive(tar, {dir.filePath(QStringLiteral("src/vantoli")), dir.filePath(QStringLiteral("src/Peer")),
                                dir.filePath(QStringLiteral("src/说明.txt"))}),
              QString());
    QDir().mkdir(dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(unpackArchive(tar, dir.filePath(QStringLiteral("out"))), QString());
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("out/Peer/PeerPlayer"))), "p");
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("out/说明.txt"))), "中文");
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("out/vantoli"))).isExecutable());
    EXPECT_FALSE(QFileInfo(dir.filePath(QStringLiteral("out/说明.txt"))).isExecutable());

    struct Case {
        const char *name;
        unsigned type;
        const char *link;
    } hostile[] = {{"../escaped", AE_IFREG, nullptr},
                   {"a/../../escaped", AE_IFREG, nullptr},
                   {"/tmp/escaped-absolute", AE_IFREG, nullptr},
                   {"link", AE_IFLNK, "/etc"},
                   {"fifo", AE_IFIFO, nullptr}};
    for (const Case &c : hostile) {
        const QString bad = dir.filePath(QStringLiteral("bad.tar"));
        rawArchive(bad, c.name, c.type, c.link);
        QTemporaryDir out(dir.filePath(QStringLiteral("o-XXXXXX")));
        EXPECT_FALSE(unpackArchive(bad, out.path()).isEmpty()) << c.name;
        EXPECT_TRUE(QDir(out.path()).isEmpty()) << c.name;
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("escaped"))));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/escaped-absolute")));

    writeFile(dir.filePath(QStringLiteral("junk.tar")), QByteArray(1024, 'j'));
    QTemporaryDir out(dir.filePath(QStringLiteral("o-XXXXXX")));
    EXPECT_FALSE(unpackArchive(dir.filePath(QStringLiteral("junk.tar")), out.path()).isEmpty());
}

class Install : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString app = dir.filePath(QStringLiteral("app"));
    QString tar = dir.filePath(QStringLiteral("release.tar"));

    void SetUp() override {
        writeFile(app + QStringLiteral("/vantoli"), "old program", true);
        writeFile(app + QStringLiteral("/App.ini"), "[S_q]\r\nup=2\r\n");
        writeFile(app + QStringLiteral("/date.dat"), "history");
        writeFile(app + QStringLiteral("/Peer/PeerCfg.ini"), "cfg");
        writeFile(dir.filePath(QStringLiteral("rel/vantoli")), "new program", true);
        writeFile(dir.filePath(QStringLiteral("rel/vantoli-update")), "new updater", true);
        ASSERT_EQ(packArchive(tar, {dir.filePath(QStringLiteral("rel/vantoli")),
                                    dir.filePath(QStringLiteral("rel/vantoli-update"))}),
                  QString());
    }
    QString install(const QString &program = QStringLiteral("vantoli")) {
        QTemporaryDir work(dir.filePath(QStringLiteral(".work-XXXXXX")));
        return installRelease(tar, app, program, work.path());
    }
};

TEST_F(Install, ReplacesTheProgramKeepsUserFilesAndThePreviousVersion) {
    ASSERT_EQ(install(), QString());
    EXPECT_EQ(readFile(app + QStringLiteral("/vantoli")), "new program");
    EXPECT_EQ(readFile(app + QStringLiteral("/vantoli-update")), "new updater");
    EXPECT_EQ(readFile(app + QStringLiteral("/App.ini")), "[S_q]\r\nup=2\r\n");
    EXPECT_EQ(readFile(app + QStringLiteral("/date.dat")), "history");
    EXPECT_EQ(readFile(app + QStringLiteral("/Peer/PeerCfg.ini")), "cfg");
    const QString previous = app + kPreviousSuffix;
    EXPECT_EQ(readFile(previous + QStringLiteral("/vantoli")), "old program");
    EXPECT_EQ(readFile(previous + QStringLiteral("/date.dat")), "history");

    // The next install keeps only the version before it.
    writeFile(app + QStringLiteral("/date.dat"), "more history");
    ASSERT_EQ(install(), QString());
    EXPECT_EQ(readFile(previous + QStringLiteral("/vantoli")), "new program");
    EXPECT_EQ(readFile(app + QStringLiteral("/date.dat")), "more history");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("app"), QStringLiteral("app.previous"), QStringLiteral("rel")}));
}

TEST_F(Install, AReleaseWithoutTheProgramChangesNothing) {
    EXPECT_TRUE(install(QStringLiteral("missing")).contains(u"missing"));
    EXPECT_EQ(readFile(app + QStringLiteral("/vantoli")), "old program");
    EXPECT_FALSE(QFile::exists(app + kPreviousSuffix));

    writeFile(tar, "not a tar at all, long enough to be read as one" + QByteArray(600, '\0'));
    EXPECT_FALSE(install().isEmpty());
    EXPECT_EQ(readFile(app + QStringLiteral("/vantoli")), "old program");
    EXPECT_FALSE(QFile::exists(app + kPreviousSuffix));
}

} // namespace
