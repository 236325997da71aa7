#include "operator_commands.h"

#include "app/version.h"
#include "updater/release.h"
#include "web_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace vantoli::server {

namespace {

const QString kSeparator = QStringLiteral("====");
constexpr int kMaxEntries = 51;

QString folder(const std::string &dataDir, const QString &sub = {}) {
    const QString d = QString::fromStdString(dataDir);
    return sub.isEmpty() ? d : d + u'/' + sub;
}

std::string writeAtomically(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        return "cannot write " + path.toStdString() + ": " + f.errorString().toStdString();
    return {};
}

bool hasLineBreak(const QString &s) {
    return s.contains(u'\n') || s.contains(u'\r');
}

QString keyPath(const std::string &dataDir) {
    return folder(dataDir, QStringLiteral("keys/release-signing.key"));
}

std::string writeKey(const std::string &dataDir, const QByteArray &secret) {
    const QString keys = folder(dataDir, QStringLiteral("keys"));
    if (!QDir().mkpath(keys))
        return "cannot make " + keys.toStdString();
    ::chmod(QFile::encodeName(keys).constData(), 0700);
    const QByteArray text = "# Release signing key (Ed25519 seed) of this content server. Keep it secret:\n"
                            "# whoever holds it can sign releases the program installs.\n" +
                            secret.toHex() + "\n";
    QSaveFile f(keyPath(dataDir));
    if (!f.open(QIODevice::WriteOnly))
        return "cannot write " + keyPath(dataDir).toStdString();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (f.write(text) != text.size() || !f.commit())
        return "cannot write " + keyPath(dataDir).toStdString();
    const auto pub = release::publicKeyOf(secret);
    return pub ? writeAtomically(folder(dataDir, QStringLiteral("keys/release-signing.pub")), pub->toHex() + "\n")
               : "the key cannot be used";
}

std::optional<QByteArray> readKey(const std::string &dataDir, std::string *error) {
    QFile f(keyPath(dataDir));
    if (!f.exists())
        return std::nullopt;
    if (!f.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + keyPath(dataDir).toStdString();
        return std::nullopt;
    }
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith('#') || line.trimmed().isEmpty())
            continue;
        if (auto seed = release::fromHex(line, release::kKeyBytes))
            return seed;
        break;
    }
    *error = keyPath(dataDir).toStdString() + " does not hold a key";
    return std::nullopt;
}

} // namespace

std::array<QString, 6> readControlFields(const std::string &dataDir) {
    std::array<QString, 6> out;
    QFile f(folder(dataDir, QStringLiteral("lib/wen.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QStringList parts = QString::fromUtf8(f.readAll()).split(kSeparator);
    if (parts.size() < 2)
        return out;
    for (int i = 0; i < 6 && i < parts.size(); ++i)
        out[size_t(i)] = parts[i];
    return out;
}

std::string setControlFields(const std::string &dataDir, const ControlFields &fields) {
    std::array<QString, 6> now = readControlFields(dataDir);
    for (size_t i = 0; i < 6; ++i) {
        if (!fields[i])
            continue;
        if (fields[i]->contains(kSeparator) || hasLineBreak(*fields[i]))
            return "a control field cannot hold \"====\" or a line break";
        now[i] = *fields[i];
    }
    for (size_t i = 0; i < 5; ++i)
        if (now[i].isEmpty())
            now[i] = QStringLiteral("0");
    if (now[5].isEmpty())
        now[5] = QStringLiteral("1.0");
    return writeAtomically(folder(dataDir, QStringLiteral("lib/wen.txt")),
                           QStringList(now.begin(), now.end()).join(kSeparator).toUtf8());
}

std::string setNoticeSchedule(const std::string &dataDir, int delaySeconds, int showMinutes, bool cycle,
                              const QStringList &addresses) {
    if (delaySeconds < 0 || showMinutes < 0)
        return "the delay and the show time cannot be negative";
    if (addresses.isEmpty() || addresses.size() > kMaxEntries)
        return "a schedule holds 1 to 51 notice pages";
    for (const QString &a : addresses)
        if (!a.startsWith(u"http://") || a.contains(u"$$$") || a.contains(u"||") || a.contains(u' ') || hasLineBreak(a))
            return "a notice page must be an http:// address without blanks, \"$$$\" or \"||\": " + a.toStdString();
    const QString text = QStringLiteral("%1||%2||%3||").arg(delaySeconds).arg(showMinutes).arg(cycle ? 1 : 0) +
                         addresses.join(QStringLiteral("$$$"));
    return writeAtomically(folder(dataDir, QStringLiteral("lib/tan.txt")), text.toUtf8());
}

std::string setNoticeLine(const std::string &dataDir, const std::vector<std::pair<QString, QString>> &notices) {
    if (notices.empty() || notices.size() > size_t(kMaxEntries))
        return "the notice line holds 1 to 51 notices";
    QString text;
    for (const auto &[line, link] : notices) {
        if (line.isEmpty() || line.contains(u"$$$") || line.contains(u"||") || hasLineBreak(line))
            return "a notice needs a text without \"$$$\", \"||\" or line breaks";
        if (link.contains(u"$$$") || link.contains(u"||") || link.contains(u' ') || hasLineBreak(link))
            return "a notice link cannot hold blanks, \"$$$\" or \"||\": " + link.toStdString();
        text += line + QStringLiteral("||") + (link.isEmpty() ? QStringLiteral("*") : link) + QStringLiteral("$$$");
    }
    return writeAtomically(folder(dataDir, QStringLiteral("lib/gun.txt")), text.toUtf8());
}

std::string releaseKey(const std::string &dataDir, QString *publicKeyHex, bool *made) {
    std::string error;
    std::optional<QByteArray> seed = readKey(dataDir, &error);
    if (!error.empty())
        return error;
    // A retired key signs nothing: whoever has this project's history has
    // its secret.
    if (seed && release::retiredKey(release::publicKeyOf(*seed).value_or(QByteArray())))
        seed.reset();
    if (made)
        *made = !seed;
    if (!seed) {
        const auto pair = release::generateKeyPair();
        if (!pair)
            return "cannot make a key pair";
        if (std::string err = writeKey(dataDir, pair->secret); !err.empty())
            return err;
        seed = pair->secret;
    }
    const auto pub = release::publicKeyOf(*seed);
    if (!pub)
        return "the signing key cannot be used";
    if (publicKeyHex)
        *publicKeyHex = QString::fromLatin1(pub->toHex());
    return {};
}

std::string publishRelease(const std::string &dataDir, const QString &version, const QStringList &files,
                           bool announce) {
    if (!release::validVersion(version) || !versionNumbers(version))
        return "a release version is numbers separated by dots, like 1.1";
    if (files.isEmpty())
        return "a release needs at least one file";
    for (const QString &f : files)
        if (!QFileInfo::exists(f))
            return "no such file: " + f.toStdString();
    const QString updates = folder(dataDir, QStringLiteral("update"));
    const QString target = updates + u'/' + version;
    if (QFileInfo::exists(target))
        return "version " + version.toStdString() + " is already published; a release is never replaced";

    QString publicKey;
    std::string err = releaseKey(dataDir, &publicKey);
    if (!err.empty())
        return err;
    std::string keyError;
    const auto seed = readKey(dataDir, &keyError);
    if (!seed)
        return keyError.empty() ? "no signing key" : keyError;

    if (!QDir().mkpath(updates))
        return "cannot make " + updates.toStdString();
    // Made in full beside its place, then moved there, so a client never
    // sees half a release.
    QTemporaryDir staging(updates + QStringLiteral("/.publish-XXXXXX"));
    if (!staging.isValid())
        return "cannot make a folder in " + updates.toStdString();
    const QString archive = staging.filePath(release::kArchiveName);
    if (QString e = release::packArchive(archive, files); !e.isEmpty())
        return e.toStdString();
    QFile a(archive);
    if (!a.open(QIODevice::ReadOnly))
        return "cannot read the archive back";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&a);
    const release::Manifest m{version, a.size(), hash.result()};
    const QByteArray manifest = release::manifestText(m);
    const auto sig = release::sign(*seed, manifest);
    if (!sig)
        return "cannot sign the release";
    if (!(err = writeAtomically(staging.filePath(release::kManifestName), manifest)).empty() ||
        !(err = writeAtomically(staging.filePath(release::kSignatureName), sig->toHex() + "\n")).empty())
        return err;
    ::chmod(QFile::encodeName(staging.path()).constData(), 0755);
    if (!QDir().rename(staging.path(), target))
        return "cannot move the release into " + target.toStdString();
    staging.setAutoRemove(false);
    if (announce) {
        ControlFields fields;
        fields[5] = version;
        return setControlFields(dataDir, fields);
    }
    return {};
}

QString updatePage(const std::string &dataDir) {
    const QString latest = readControlFields(dataDir)[5].remove(QStringLiteral("\r\n")).trimmed();
    QStringList versions;
    const QDir updates(folder(dataDir, QStringLiteral("update")));
    for (const QString &v : updates.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed))
        if (release::validVersion(v) && QFileInfo(updates.filePath(v + u'/' + release::kManifestName)).isFile())
            versions << v;
    QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Vantoli 更新</title>"
                                  "</head><body>\n<h1>Vantoli 更新</h1>\n");
    page += QStringLiteral("<p>最新版本：%1</p>\n").arg(html(latest.isEmpty() ? QStringLiteral("1.0") : latest));
    if (versions.isEmpty())
        page += QStringLiteral("<p>暂无可下载的版本。</p>\n");
    page += QStringLiteral("<ul>\n");
    for (const QString &v : versions)
        page += QStringLiteral("<li>%1：<a href=\"%1/release.tar\">release.tar</a>（<a href=\"%1/manifest.txt\">清单</a>，"
                               "<a href=\"%1/manifest.sig\">签名</a>）</li>\n")
                    .arg(html(v));
    page += QStringLiteral("</ul>\n<p>程序自带的升级程序会在安装前校验签名。</p>\n</body></html>\n");
    return page;
}

} // namespace vantoli::server
