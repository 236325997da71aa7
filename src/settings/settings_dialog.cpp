#include "settings/settings_dialog.h"

#include "app/dialogs.h"
#include "app/settings_file.h"

#include <QDir>

namespace vantoli {
namespace {

const QString kSection = QStringLiteral("S_q");

// Apply writes the keys in this order, not in display order.
const std::array<QString, 9> kWriteOrder = {
    QStringLiteral("quit"),  QStringLiteral("peerk"),  QStringLiteral("s_size"),
    QStringLiteral("s_h"),   QStringLiteral("s_bo"),   QStringLiteral("s_jd"),
    QStringLiteral("peerqi"), QStringLiteral("s_pao"), QStringLiteral("up"),
};

const QColor kLinkHoverRed(0xff, 0x00, 0x00);

} // namespace

const std::array<SettingsBox, 9> &settingsBoxes() {
    static const std::array<SettingsBox, 9> boxes = {{
        {5, QStringLiteral("关闭软件最小化到托盘"), QStringLiteral("quit")},
        {7, QStringLiteral("启动软件不启动Peer播放器"), QStringLiteral("peerqi")},
        {6, QStringLiteral("关闭软件同时关闭Peer播放器"), QStringLiteral("peerk")},
        {8, QStringLiteral("托盘显示气泡提示"), QStringLiteral("s_pao")},
        {0, QStringLiteral("保存软件界面大小"), QStringLiteral("s_size")},
        {4, QStringLiteral("自动检测并升级最新版本"), QStringLiteral("up")},
        {1, QStringLiteral("自动缓冲下一集"), QStringLiteral("s_h")},
        {2, QStringLiteral("自动播放下一集"), QStringLiteral("s_bo")},
        {3, QStringLiteral("记录影片播放进度"), QStringLiteral("s_jd")},
    }};
    return boxes;
}

bool storedValueTicked(const QString &stored) {
    // Read as a number, as the program reads the switch: "1", " 1" and
    // "1.0" are 1. Text that is no number shows the box ticked, like every
    // value other than 1.
    return !settingIs(stored, 1);
}

QString storedValueFor(bool ticked) { return ticked ? QStringLiteral("2") : QStringLiteral("1"); }

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
    const Settings &s = host_.settings();
    for (const SettingsBox &b : settingsBoxes())
        setTicked(b.index, storedValueTicked(s.read(kSection, b.key)));
    playerFolder_ = host_.playerFolder();
    loadedCacheFolder_ = host_.lookUpCacheFolder(playerFolder_);
    folderText_ = loadedCacheFolder_.isEmpty() ? host_.defaultCacheFolder() : loadedCacheFolder_;
    linkVisited_ = false;
}

void SettingsDialogModel::apply() {
    const Settings &s = host_.settings();
    for (const QString &key : kWriteOrder) {
        for (const SettingsBox &b : settingsBoxes()) {
            if (b.key == key)
                s.write(kSection, key, storedValueFor(ticked(b.index)));
        }
    }
    folderText_ = completeCacheFolderText(folderText_, host_.defaultCacheFolder());
    if (folderText_ == loadedCacheFolder_)
        return;
    changeCacheFolder();
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
