#include "update/update_check.h"

#include "app/app_settings.h"
#include "app/dialogs.h"
#include "app/settings_file.h"
#include "platform/http_get.h"
#include "playback/playback_session.h"

#include <QStringList>

namespace vantoli {

namespace {

const QString kFieldSeparator = QStringLiteral("====");

QString field(const QStringList &fields, int i) {
    return i < fields.size() ? fields[i] : QString();
}

bool switchOn(const QStringList &fields, int i) {
    return leadingNumber(field(fields, i)) == 1.0;
}

QString upgradeQuestion(const QString &version) {
    return QStringLiteral("检测到最新版本 ") + version + QStringLiteral(" ,你需要现在升级吗？");
}

} // namespace

double leadingNumber(const QString &text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok ? v : 0;
}

bool announcesRelease(const QString &latestVersion, const QString &installedVersion) {
    const QString v = latestVersion.trimmed();
    if (v.isEmpty() || leadingNumber(v) == 0)
        return false;
    if (const auto order = compareVersions(v, installedVersion))
        return *order != 0;
    return v != installedVersion;
}

QString takeRefusedVersion() {
    const QString version = qEnvironmentVariable("VANTOLI_UPDATE_REFUSED");
    qunsetenv("VANTOLI_UPDATE_REFUSED");
    return version;
}

UpdateCheck::UpdateCheck(AsyncHttpGet &http, Dialogs &dialogs, const Settings &settings,
                         PlaybackSession &session, UpdateHost &host, UpdaterLauncher &launcher,
                         QString contentBase)
    : dialogs_(dialogs), settings_(settings), session_(session), host_(host), launcher_(launcher),
      contentBase_(std::move(contentBase)), fetch_(&http) {}

void UpdateCheck::timedCheck() {
    if (checked_)
        return;
    checked_ = true;
    fetch_.start(contentBase_ + QStringLiteral("lib/wen.txt"), [this](const QString &text) { apply(text); });
}

void UpdateCheck::apply(const QString &text) {
    if (text.isEmpty() || !text.contains(kFieldSeparator))
        return;
    const QStringList fields = text.split(kFieldSeparator);

    host_.setRecommendAtExit(field(fields, 0));
    // A missing field 5 keeps the version text as it was.
    if (fields.size() > 5)
        latestVersion_ = fields[5];
    if (switchOn(fields, 2))
        session_.enableAd(AdPane::Pause);
    latestVersion_.remove(QStringLiteral("\r\n"));

    const bool refused = !refusedVersion_.isEmpty() && latestVersion_.trimmed() == refusedVersion_;
    if (announcesRelease(latestVersion_) && !refused) {
        const bool automatic = AppSettings(settings_).installUpdatesWithoutAsking();
        if (!automatic) {
            if (dialogs_.askYesNo(kDialogTitle, upgradeQuestion(latestVersion_))) {
                startUpdater(latestVersion_);
                quitForUpdate();
                return;
            }
        } else {
            if (launcher_.localUpdaterExists()) {
                launcher_.startLocalUpdater(latestVersion_.trimmed());
            } else {
                dialogs_.showMessage(kDialogTitle, QStringLiteral("检测到最新版本 ") + latestVersion_ +
                                                       QStringLiteral(" ,请下载最新版本的软件!"));
                dialogs_.openUrl(contentBase_ + QStringLiteral("update/"));
            }
            quitForUpdate();
            return;
        }
    }

    if (switchOn(fields, 1))
        host_.loadNoticePopup();
    if (switchOn(fields, 3))
        host_.gun_ad();
    if (switchOn(fields, 4) && session_.enableAd(AdPane::Stop))
        host_.showStopAdPane();
}

void UpdateCheck::shengji() {
    // The same test as the timed check: a version the timed check did not
    // announce ("0", "1.0 ") is not offered here either.
    if (announcesRelease(latestVersion_)) {
        if (dialogs_.askYesNo(kDialogTitle, upgradeQuestion(latestVersion_))) {
            startUpdater(latestVersion_);
            quitForUpdate();
        }
        return;
    }
    dialogs_.showQuestionMessage(kDialogTitle, QStringLiteral("你现在使用的是最新版本，无需升级!"));
}

void UpdateCheck::startUpdater(const QString &version) {
    if (launcher_.localUpdaterExists())
        launcher_.startLocalUpdater(version.trimmed());
    else
        dialogs_.openUrl(contentBase_ + QStringLiteral("update/"));
}

void UpdateCheck::quitForUpdate() {
    host_.setRecommendAtExit(QStringLiteral("0"));
    host_.ttt_v();
}

} // namespace vantoli
