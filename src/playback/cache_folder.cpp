#include "playback/cache_folder.h"

#include "app/dialogs.h"
#include "app/settings_file.h"
#include "platform/ansi_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace vantoli {
namespace {

const QString kConfigFile = QStringLiteral("PeerCfg.ini");
const QString kPlayerFile = QStringLiteral("PeerPlayer.xml");
const QString kSection = QStringLiteral("NBPEERTERMINAL");
const QString kKey = QStringLiteral("defaultsavepath");
const QString kAttribute = QStringLiteral("Defaultsavepath=");

// The player's XML file as text, remembering how it was encoded so that a
// rewrite changes nothing but the folder: UTF-8 when the bytes are valid
// UTF-8 (plain ASCII included), the ANSI code page otherwise.
struct PlayerFileText {
    QString text;
    bool utf8 = true;
};

std::optional<PlayerFileText> readPlayerFile(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    PlayerFileText file;
    file.text = utf8.decode(bytes);
    if (utf8.hasError()) {
        file.text = decodeAnsi(bytes);
        file.utf8 = false;
    }
    return file;
}

bool writePlayerFile(const QString &path, const PlayerFileText &file) {
    QByteArray bytes;
    if (file.utf8) {
        QStringEncoder utf8(QStringEncoder::Utf8);
        bytes = utf8.encode(file.text);
    } else {
        bytes = encodeAnsi(file.text);
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

// The folder of the first Defaultsavepath= in the text: what stands between
// the quote directly after it and the next quote on the same line. "" when
// the quotes are missing. found tells whether the attribute is there at all.
QString attributeFolder(const QString &text, bool *found) {
    const qsizetype at = text.indexOf(kAttribute);
    *found = at >= 0;
    if (at < 0)
        return {};
    const qsizetype open = at + kAttribute.size();
    if (open >= text.size() || text.at(open) != u'"')
        return {};
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"')
            return text.mid(open + 1, i - open - 1);
        if (c == u'\r' || c == u'\n')
            break;
    }
    return {};
}

bool isFile(const QString &path) {
    return QFileInfo(path).isFile();
}

} // namespace

QString fallbackCacheFolder() {
    // A folder of the program's own: the transfer program evicts what it
    // downloaded there, and a folder shared with the user's own films would
    // put those next to it.
    QString videos = qEnvironmentVariable("XDG_VIDEOS_DIR");
    if (!QDir::isAbsolutePath(videos))
        videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!QDir::isAbsolutePath(videos))
        videos = QDir::homePath() + QStringLiteral("/Videos");
    return QDir::cleanPath(videos) + QStringLiteral("/Vantoli/");
}

QString lookUpCacheFolder(const QString &playerFolder) {
    // Without a player folder the file names would be looked up in the
    // working folder, which is not the player's.
    if (playerFolder.isEmpty())
        return fallbackCacheFolder();
    const QString config = playerFolder + kConfigFile;
    if (isFile(config)) {
        const QString value = readSetting(config, kSection, kKey, QStringLiteral("0"));
        if (!value.isEmpty() && value != QStringLiteral("0"))
            return value;
    }
    const QString xml = playerFolder + kPlayerFile;
    if (!isFile(xml))
        return fallbackCacheFolder();
    const auto file = readPlayerFile(xml);
    if (!file)
        return fallbackCacheFolder();
    bool found = false;
    const QString folder = attributeFolder(file->text, &found);
    return found ? folder : fallbackCacheFolder();
}

void setCacheFolder(const QString &playerFolder, const QString &newFolder) {
    if (playerFolder.isEmpty() || newFolder.isEmpty())
        return;
    // A line break or NUL in a folder name would break both files' lines.
    if (newFolder.contains(u'\r') || newFolder.contains(u'\n') || newFolder.contains(QChar(0)))
        return;

    const QString xml = playerFolder + kPlayerFile;
    // A quote would end the attribute early and corrupt the player's file.
    if (isFile(xml) && !newFolder.contains(u'"')) {
        if (auto file = readPlayerFile(xml)) {
            bool found = false;
            const QString oldFolder = attributeFolder(file->text, &found);
            if (!oldFolder.isEmpty()) {
                // The rest of the file (line ends, encoding) stays as it was.
                const QString before = kAttribute + u'"' + oldFolder + u'"';
                const QString after = kAttribute + u'"' + newFolder + u'"';
                file->text.replace(before, after, Qt::CaseSensitive);
                writePlayerFile(xml, *file);
            }
        }
    }
    writeSetting(playerFolder + kConfigFile, kSection, kKey, newFolder);
}

QString browseForFolder(Dialogs &dialogs, const QString &initialFolder, const QString &title) {
    const QString shown = title.isEmpty() ? QStringLiteral("请选择文件夹") : title;
    return dialogs.chooseFolder(shown, initialFolder);
}

} // namespace vantoli
