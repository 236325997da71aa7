#pragma once
// What the settings dialog BA3 does, without its window: the nine on/off
// switches of section S_q, the player's cache folder, the peer-to-peer
// settings of PeerTerminal and the home page link on the about page. The window shows this state and forwards its buttons;
// everything it needs from the rest of the program comes through
// SettingsDialogHost, so tests drive it with fakes.

#include "app/app_settings.h"

#include <QColor>
#include <QString>

#include <array>
#include <optional>

namespace vantoli {

class Dialogs;

// One check box of the settings page: its index in the Check1 array, its
// caption and the switch of App.ini it edits. A box shows ticked unless its
// value reads as 1; Apply writes "2" ticked, "1" not.
struct SettingsBox {
    int index;
    QString caption;
    AppKey setting;
    QString key() const { return appSetting(setting).key.toString(); }
};

inline const QString kGeneralHeading = QStringLiteral("常规设置");
inline const QString kPlaybackHeading = QStringLiteral("播放设置");
// Boxes in display order: the first six under the general heading, the last
// three under the playback heading.
const std::array<SettingsBox, 9> &settingsBoxes();
inline constexpr int kGeneralBoxCount = 6;

inline const QString kBrowseTitle = QStringLiteral("请选择影片下载存放的文件夹");
inline const QString kCacheChanged = QStringLiteral("缓存路径修改成功！");
// Shown instead when the player files do not name the new folder afterwards.
inline const QString kCacheNotChanged = QStringLiteral("缓存路径修改失败！");

// The peer-to-peer settings PeerTerminal reads from PeerCfg.ini in the player
// folder (section NBPEERTERMINAL) when it starts, as the cache page shows
// them: the upload cap in KiB/s ("0" for none), whether a complete item keeps
// uploading, and the listening port ("" for the terminal's own choice).
inline const QString kPeerConfigFile = QStringLiteral("PeerCfg.ini");
inline const QString kPeerSection = QStringLiteral("NBPEERTERMINAL");
struct PeerFields {
    QString uploadLimit = QStringLiteral("0");
    bool seeding = true;
    QString listenPort;
    bool operator==(const PeerFields &) const = default;
};
// The fields as the terminal takes the file's values: a cap or port it
// would ignore shows as none.
PeerFields readPeerFields(const QString &playerFolder);

// What Apply stores for a typed field; nullopt when it refuses the text.
// Blanks around the digits are allowed; an empty field is 0.
inline constexpr int kMaxUploadLimitKb = (1 << 21) - 1; // the terminal's bound
inline constexpr int kMinListenPort = 1024;
std::optional<QString> storedUploadLimit(const QString &text); // 0..kMaxUploadLimitKb
std::optional<QString> storedListenPort(const QString &text);  // 0, or kMinListenPort..65535
inline const QString kUploadLimitRefused =
    QStringLiteral("上传限速请填写0到%1之间的整数（0为不限速）！").arg(kMaxUploadLimitKb);
inline const QString kListenPortRefused =
    QStringLiteral("监听端口请填写%1到65535之间的整数，留空为默认端口！").arg(kMinListenPort);

class SettingsDialogHost {
public:
    virtual ~SettingsDialogHost() = default;
    virtual const Settings &settings() const = 0; // App.ini
    virtual Dialogs &dialogs() = 0;
    // Folder of the player programs, ending with "/"; "" when unknown.
    virtual QString playerFolder() = 0;
    virtual QString lookUpCacheFolder(const QString &playerFolder) = 0;
    virtual void setCacheFolder(const QString &playerFolder, const QString &folder) = 0;
    // The folder-selection dialog; "" when cancelled.
    virtual QString browseForFolder(const QString &initialFolder, const QString &title) = 0;
    // The folder used when the typed one is not an absolute folder.
    virtual QString defaultCacheFolder() const = 0;
    // Ends PeerPlayer and PeerTerminal; starts PeerTerminal again.
    virtual void endPlayerPrograms() = 0;
    virtual void startTerminal() = 0;
    virtual QString homePageUrl() const = 0;
};

// The parts of the window the logic changes while it works.
class SettingsDialogView {
public:
    virtual ~SettingsDialogView() = default;
    // Shows or hides the notice dengdeng; showing repaints the window before
    // it returns, so the notice is seen while the player programs end.
    virtual void setChangingNoticeVisible(bool visible) = 0;
};

// How the home page link looks.
struct LinkLook {
    bool underline = false;
    QColor colour = QColor(0x00, 0x00, 0xff);
    bool operator==(const LinkLook &) const = default;
};

class SettingsDialogModel {
public:
    SettingsDialogModel(SettingsDialogHost &host, SettingsDialogView &view);

    // Reads the nine keys, the player folder, its cache folder and the
    // peer-to-peer settings.
    void load();

    bool ticked(int boxIndex) const { return ticked_.at(static_cast<size_t>(boxIndex)); }
    void setTicked(int boxIndex, bool ticked) { ticked_.at(static_cast<size_t>(boxIndex)) = ticked; }
    const QString &folderText() const { return folderText_; }
    void setFolderText(const QString &text) { folderText_ = text; }
    const QString &loadedCacheFolder() const { return loadedCacheFolder_; }
    const QString &playerFolder() const { return playerFolder_; }
    const PeerFields &peerFields() const { return peer_; }
    void setPeerFields(const PeerFields &fields) { peer_ = fields; }
    // The peer-to-peer settings live in the player folder: none, none to edit.
    bool peerFieldsEditable() const { return !playerFolder_.isEmpty(); }

    // cmdApply: refuses an upload cap or port it cannot store with a message
    // and writes nothing then (false). Otherwise writes the nine keys and the
    // peer-to-peer settings that differ from the loaded ones, then changes
    // the cache folder when the (completed) folder text differs from the
    // loaded one (so that the terminal starts again on the new settings).
    bool apply();
    // Command1: the folder dialog, starting at the folder text.
    void browse();

    // The home page link L1 element 0.
    void linkHovered();
    void linkClicked(); // opens the home page
    void otherAboutLabelClicked();
    void pageHovered();
    const LinkLook &linkLook() const { return linkLook_; }
    bool linkVisited() const { return linkVisited_; }

private:
    void changeCacheFolder();
    void writePeerFields();

    SettingsDialogHost &host_;
    SettingsDialogView &view_;
    std::array<bool, 9> ticked_{}; // by box index
    QString playerFolder_;
    QString loadedCacheFolder_;
    QString folderText_;
    PeerFields loadedPeer_;
    PeerFields peer_;
    bool linkVisited_ = false;
    LinkLook linkLook_;
};

// Completes a typed folder: not an absolute folder (the root alone is none)
// becomes the default folder, and a folder ends with "/".
QString completeCacheFolderText(const QString &text, const QString &defaultFolder);

} // namespace vantoli
