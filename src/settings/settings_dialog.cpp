#include "settings/settings_dialog.h"

#include "app/dialogs.h"
#include "app/settings_file.h"

#include <QDir>

namespace vantoli {
namespace {

// Apply writes the keys in this order, not in display order.
constexpr std::array<AppKey, 9> kWriteOrder = {
    AppKey::quit, AppKey::peerk, AppKey::s_size, AppKey::s_h,  AppKey::s_bo,
    AppKey::s_jd, AppKey::peerqi, AppKey::s_pao, AppKey::up,
};

const QString kUploadKey = QStringLiteral("uploadlimitkb");
const QString kSeedingKey = QStringLiteral("seeding");
const QString kPortKey = QStringLiteral("listenport");

// A whole number of decimal digits with blanks around it; an empty text is
// 0. Signs, fractions and anything beyond `max` are refused.
std::optional<int> digitsUpTo(const QString &text, int max) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    if (t.size() > 10)
        return std::nullopt;
    qint64 n = 0;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n <= max ? std::optional<int>(int(n)) : std::nullopt;
}

using StoredForm = std::optional<QString> (*)(const QString &);

// A typed field is changed unless it holds the loaded text or a text that
// stores as the loaded value ("" for "0").
bool fieldChanged(const QString &text, const QString &loaded, StoredForm stored) {
    if (text.trimmed() == loaded)
        return false;
    const std::optional<QString> value = stored(text);
    return !value || value != stored(loaded);
}

const QColor kLinkHoverRed(0xff, 0x00, 0x00);

} // namespace

const std::array<SettingsBox, 9> &settingsBoxes() {
    static const std::array<SettingsBox, 9> boxes = {{
        {5, QStringLiteral("关闭软件最小化到托盘"), AppKey::quit},
        {7, QStringLiteral("启动软件不启动Peer播放器"), AppKey::peerqi},
        {6, QStringLiteral("关闭软件同时关闭Peer播放器"), AppKey::peerk},
        {8, QStringLiteral("托盘显示气泡提示"), AppKey::s_pao},
        {0, QStringLiteral("保存软件界面大小"), AppKey::s_size},
        {4, QStringLiteral("自动检测并升级最新版本"), AppKey::up},
        {1, QStringLiteral("自动缓冲下一集"), AppKey::s_h},
        {2, QStringLiteral("自动播放下一集"), AppKey::s_bo},
        {3, QStringLiteral("记录影片播放进度"), AppKey::s_jd},
    }};
    return boxes;
}

PeerFields readPeerFields(const QString &playerFolder) {
    PeerFields f;
    if (playerFolder.isEmpty())
        return f;
    const QString file = playerFolder + kPeerConfigFile;
    const auto read = [&](const QString &key, const QString &fallback) {
        return readSetting(file, kPeerSection, key, fallback).trimmed();
    };
    // The same bounds the terminal applies when it reads them.
    bool ok = false;
    const int upload = read(kUploadKey, QStringLiteral("0")).toInt(&ok);
    if (ok && upload > 0 && upload <= kMaxUploadLimitKb)
        f.uploadLimit = QString::number(upload);
    f.seeding = read(kSeedingKey, QStringLiteral("1")) != u"0";
    const int port = read(kPortKey, QStringLiteral("0")).toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        f.listenPort = QString::number(port);
    return f;
}

std::optional<QString> storedUploadLimit(const QString &text) {
    const std::optional<int> n = digitsUpTo(text, kMaxUploadLimitKb);
    return n ? std::optional<QString>(QString::number(*n)) : std::nullopt;
}

std::optional<QString> storedListenPort(const QString &text) {
    const std::optional<int> n = digitsUpTo(text, 65535);
    if (!n || (*n != 0 && *n < kMinListenPort))
        return std::nullopt;
    return QString::number(*n);
}

QString completeCacheFolderText(const QString &text, const QString &defaultFolder) {
    QString folder = text;
    if (!QDir::isAbsolutePath(folder) || folder == QLatin1String("/"))
        folder = defaultFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

SettingsDialogModel::SettingsDialogModel(SettingsDialogHost &host, SettingsDialogView &view)
    : host_(host), view_(view) {}

void SettingsDialogModel::load() {
    const AppSettings s(host_.settings());
    for (const SettingsBox &b : settingsBoxes())
        setTicked(b.index, !s.isOff(b.setting));
    playerFolder_ = host_.playerFolder();
    loadedCacheFolder_ = host_.lookUpCacheFolder(playerFolder_);
    folderText_ = loadedCacheFolder_.isEmpty() ? host_.defaultCacheFolder() : loadedCacheFolder_;
    loadedPeer_ = readPeerFields(playerFolder_);
    peer_ = loadedPeer_;
    linkVisited_ = false;
}

bool SettingsDialogModel::apply() {
    // Checked before anything is written; a field left as loaded is taken
    // as it is, even when the terminal's own bounds are wider.
    const auto refuse = [this](const QString &text) {
        host_.dialogs().showMessage(kDialogTitle, text);
        return false;
    };
    if (fieldChanged(peer_.uploadLimit, loadedPeer_.uploadLimit, storedUploadLimit) &&
        !storedUploadLimit(peer_.uploadLimit))
        return refuse(kUploadLimitRefused);
    if (fieldChanged(peer_.listenPort, loadedPeer_.listenPort, storedListenPort) &&
        !storedListenPort(peer_.listenPort))
        return refuse(kListenPortRefused);

    const AppSettings s(host_.settings());
    for (AppKey key : kWriteOrder) {
        for (const SettingsBox &b : settingsBoxes()) {
            if (b.setting == key)
                s.setSwitch(key, ticked(b.index));
        }
    }
    writePeerFields();
    folderText_ = completeCacheFolderText(folderText_, host_.defaultCacheFolder());
    if (folderText_ != loadedCacheFolder_)
        changeCacheFolder();
    return true;
}

void SettingsDialogModel::writePeerFields() {
    if (playerFolder_.isEmpty())
        return;
    // Only what the user changed: keys the file never had stay absent, so
    // the terminal keeps its own defaults for them.
    const QString file = playerFolder_ + kPeerConfigFile;
    if (fieldChanged(peer_.uploadLimit, loadedPeer_.uploadLimit, storedUploadLimit))
        writeSetting(file, kPeerSection, kUploadKey, *storedUploadLimit(peer_.uploadLimit));
    if (peer_.seeding != loadedPeer_.seeding)
        writeSetting(file, kPeerSection, kSeedingKey, peer_.seeding ? QStringLiteral("1") : QStringLiteral("0"));
    if (fieldChanged(peer_.listenPort, loadedPeer_.listenPort, storedListenPort))
        writeSetting(file, kPeerSection, kPortKey, *storedListenPort(peer_.listenPort));
    // What the file holds now is what the terminal will take.
    loadedPeer_ = readPeerFields(playerFolder_);
    peer_ = loadedPeer_;
}

void SettingsDialogModel::changeCacheFolder() {
    // The programs hold the old folder open; they end first, and the
    // terminal starts again on the new one.
    view_.setChangingNoticeVisible(true);
    host_.endPlayerPrograms();
    host_.setCacheFolder(playerFolder_, folderText_);
    if (!playerFolder_.isEmpty())
        host_.startTerminal();
    // What the player files name now is the loaded folder; success is
    // reported only when that is the new one (nothing is written without a
    // player folder, and a write may fail).
    loadedCacheFolder_ = host_.lookUpCacheFolder(playerFolder_);
    view_.setChangingNoticeVisible(false);
    const bool changed = loadedCacheFolder_ == folderText_;
    host_.dialogs().showMessage(kDialogTitle, changed ? kCacheChanged : kCacheNotChanged);
}

void SettingsDialogModel::browse() {
    QString chosen = host_.browseForFolder(folderText_, kBrowseTitle);
    if (chosen.isEmpty() && !loadedCacheFolder_.isEmpty())
        chosen = loadedCacheFolder_;
    if (!chosen.endsWith(u'/'))
        chosen += u'/';
    folderText_ = chosen;
}

void SettingsDialogModel::linkHovered() {
    if (!linkVisited_)
        linkLook_ = {true, kLinkHoverRed};
}

void SettingsDialogModel::linkClicked() {
    host_.dialogs().openUrl(host_.homePageUrl());
    linkVisited_ = true;
    linkLook_ = LinkLook{};
}

void SettingsDialogModel::otherAboutLabelClicked() { linkLook_ = LinkLook{}; }

void SettingsDialogModel::pageHovered() {
    linkVisited_ = false;
    linkLook_ = LinkLook{};
}

} // namespace vantoli
