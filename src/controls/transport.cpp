#include "controls/transport.h"

#include "app/text_util.h"
#include "history/history_files.h"
#include "platform/file_name.h"
#include "platform/text_file.h"
#include "playback/play_address.h"

#include <QRect>

#include <algorithm>

#include <climits>

namespace vantoli::controls {

namespace {

const QString kPlayTip = QStringLiteral("播放");
const QString kPauseTip = QStringLiteral("暂停");
const QString kMuteTip = QStringLiteral("静音");
const QString kUnmuteTip = QStringLiteral("取消静音");

// Tooltips of the buttons that are not toggles.
const QString kFixedTips[kTransportButtons] = {
    QString(), QStringLiteral("停止"), QString(), QStringLiteral("全屏"),
    QStringLiteral("打开文件"), QStringLiteral("上一集"), QStringLiteral("侧栏"),
    QStringLiteral("下一集"),
};


struct Face {
    int strip;
    int frame;
};

} // namespace

Transport::Transport(Player &player, PlaybackSession &session, PlaybackView &view,
                     PlaybackTimers &timers, HistoryStore &history, PositionRecorder &positions,
                     Dialogs &dialogs, PlayAreaSwitch &playArea, EpisodeStepper &episodes)
    : player_(player), session_(session), view_(view), timers_(timers), history_(history),
      positions_(positions), dialogs_(dialogs), playArea_(playArea), episodes_(episodes) {}

QString Transport::toolTip(int index) const {
    if (index == 0)
        return state().pauseFace ? kPauseTip : kPlayTip;
    if (index == 2)
        return state().muted ? kUnmuteTip : kMuteTip;
    if (index < 0 || index >= kTransportButtons)
        return QString();
    return kFixedTips[index];
}

void Transport::bo_but_Click(int index) {
    if (index < 0 || index >= kTransportButtons)
        return;
    view_.hideTooltipBox();
    if (view_.clickSuppress()) {
        view_.setClickSuppress(false);
        return;
    }
    switch (index) {
    case 0: playPause(); break;
    case 1: stop(); break;
    case 2: toggleMute(); break;
    case 3: fullScreen(); break;
    case 4: openLocalFile(); break;
    case 5: stepEpisode(5, 1); break;
    case 6: toggleSideBar(); break;
    case 7: stepEpisode(7, 2); break;
    }
}

void Transport::mousePress(int index, Qt::MouseButton button) {
    if (index < 0 || index >= kTransportButtons)
        return;
    view_.setClickSuppress(button != Qt::LeftButton);
}

void Transport::mouseRelease(int index, Qt::MouseButton button) {
    if (index < 0 || index >= kTransportButtons)
        return;
    if (button != Qt::LeftButton)
        view_.setClickSuppress(false);
}

void Transport::mouseMove(int index, QPoint pos) {
    if (index < 0 || index >= kTransportButtons)
        return;
    view_.resetCursor();
    if ((index == 0 || index == 1) && state().playAreaMode != kPlayAreaPlayer)
        return;
    if ((index == 5 || index == 7) && view_.mainTab() != kTabPlayer)
        return;

    const QRect button = view_.transportButtonRect(index);
    const bool inside = pos.x() >= 0 && pos.x() <= button.width() && pos.y() >= 0 &&
                        pos.y() <= button.height();
    paintFace(index, inside);
    if (!inside) {
        view_.setTransportCapture(index, false);
        view_.hideTooltipBox();
        return;
    }

    // Capture so that the move that leaves the button still arrives here and
    // takes the hover face and the tooltip box away.
    view_.setTransportCapture(index, true);
    view_.showTransportTip(index, toolTip(index));
}

void Transport::refreshFaces() {
    view_.setTransportToolTip(0, toolTip(0));
    view_.setTransportToolTip(2, toolTip(2));
    paintFace(0, false);
    paintFace(2, false);
}

void Transport::paintFace(int index, bool hover) {
    Face face{0, 0};
    switch (index) {
    case 0: face = {kStripPlay, (state().pauseFace ? 116 : 0) + (hover ? 58 : 0)}; break;
    case 1: face = {kStripStop, hover ? 25 : 0}; break;
    case 2: face = {kStripMute, (state().muted ? 50 : 0) + (hover ? 25 : 0)}; break;
    case 3: face = {hover ? kStripToolsHover : kStripTools, 50}; break;
    case 4: face = {hover ? kStripToolsHover : kStripTools, 25}; break;
    case 5: face = {kStripEpisode, hover ? 25 : 0}; break;
    case 6: face = {hover ? kStripToolsHover : kStripTools, 75}; break;
    case 7: face = {kStripEpisode, hover ? 75 : 50}; break;
    default: return;
    }
    view_.paintTransportFrame(index, face.strip, face.frame);
}

void Transport::showPauseFace(bool pause) {
    session_.setPauseFace(pause);
    view_.setTransportToolTip(0, toolTip(0));
    paintFace(0, false);
}

void Transport::playPause() {
    if (state().playAreaMode != kPlayAreaPlayer)
        return;
    if (!timers_.isTimerEnabled(PlaybackTimer::Status))
        timers_.setTimerEnabled(PlaybackTimer::Status, true);

    if (state().pauseFace) {
        if (state().pauseAdState == 2) {
            view_.setShown(Part::PauseAdPane, true);
            view_.setShown(Part::StopAdPane, false);
        }
        view_.setShown(Part::Cover, true);
        view_.setShown(Part::VideoHost, false);
        player_.Pause();
        view_.setStatus(QStringLiteral("已暂停"));
        showPauseFace(false);
        return;
    }

    session_.resumeOnNextPlay();
    player_.Play();
    showPauseFace(true);
    if (view_.mainTab() != kTabPlayer)
        view_.npc_Click(kNpcPlayerPage);
    view_.setShown(Part::Cover, false);
    view_.setShown(Part::VideoHost, true);
}

void Transport::stop() {
    if (state().playAreaMode != kPlayAreaPlayer)
        return;
    if (state().stopAdState == 2)
        view_.setShown(Part::StopAdPane, true);
    view_.setShown(Part::PauseAdPane, false);
    view_.setShown(Part::Cover, true);
    view_.setShown(Part::VideoHost, false);

    positions_.recordStop();

    timers_.setTimerEnabled(PlaybackTimer::Status, false);
    session_.itemStopped();

    view_.setProgress(0, 0, 0);

    view_.setTitle(QString());
    view_.clearTimes();

    player_.Stop();

    showPauseFace(false);
    view_.setStatus(QStringLiteral("已停止"));
    paintFace(1, false);
}

void Transport::toggleMute() {
    session_.setMuted(!state().muted);
    view_.setTransportToolTip(2, toolTip(2));
    view_.setMuteMenuCaption(state().muted);
    player_.setMute(state().muted ? kPlayerTrue : kPlayerFalse);
    paintFace(2, false);
}

void Transport::fullScreen() {
    if (player_.PlayState() != kStatePlaying)
        return;
    // Full screen and always-on-top do not mix: unpin the window first.
    if (view_.isTopmost())
        view_.npc_Click(kNpcTopmost);
    view_.npc_Click(kNpcPlayerPage);
    player_.setFullScreen(kPlayerTrue);
    paintFace(3, false);
}

void Transport::openLocalFile() {
    paintFace(4, false);
    view_.hideTooltipBox();
    const QString path = dialogs_.chooseFile(kOpenFileTitle, kOpenFileFilter);
    if (path.isEmpty())
        return;
    if (playUserItem(path)) {
        view_.npc_Click(kNpcLocalSideTab);
        view_.npc_Click(kNpcPlayerPage);
    }
}

void Transport::playCommandLine(const QString &commandLine) {
    QString text = commandLine;
    // One enclosing pair of quotes, as a shell-less caller leaves them (a
    // browser may add its "/" after the closing one); a quote inside a Linux
    // file name belongs to the name.
    if (text.size() >= 3 && text.startsWith(u'"') && text.endsWith(QStringLiteral("\"/")))
        text = text.mid(1, text.size() - 3);
    else if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        text = text.mid(1, text.size() - 2);
    if (text.endsWith(u'/'))
        text.chop(1);
    if (playUserItem(text)) {
        view_.npc_Click(kNpcPlayerPage);
        view_.npc_Click(kNpcLocalSideTab);
    }
}

bool Transport::playUserItem(const QString &text) {
    // Files and network addresses only; a file must be one the player can
    // open. Anything else is said and neither played nor recorded, and the
    // item playing goes on.
    const PlayAddress target = checkPlayAddress(text, AddressOrigin::User);
    if (!target.accepted() || (target.isLocalFile() && !isOpenableLocalFile(target.address))) {
        dialogs_.showMessage(kDialogTitle, fileNameForDisplay(text) + kCannotPlayText);
        return false;
    }
    const QString item = target.address;

    // Leaves whatever played before (saving its position).
    playArea_.setPlayAreaMode(kPlayAreaPlayer);
    // A new item: nothing of the previous one (its prepared next episode)
    // carries over. However it is opened, an item played before resumes where
    // it stopped: its entry keeps the stored position instead of starting
    // again from 0.
    const qint64 stored = history_.localPlayPosition(item);
    session_.startLocalItem(item, int(std::clamp<qint64>(stored, 0, INT_MAX)));
    player_.setUrl(item);
    player_.Play();
    timers_.setTimerEnabled(PlaybackTimer::Status, true);

    // Shown and stored for showing: bytes of a name that are not UTF-8 as
    // U+FFFD (the path keeps them).
    const QString name = fileNameForDisplay(displayName(item));
    view_.setTitle(truncateToWidth(name, 30));

    openingIsNewEntry_ = localPlayLine(item) == 0;
    history_.addLocalPlay(name, item, stored);
    opening_ = item;
    playerChanged(); // a player that refuses at once
    return true;
}

qint64 Transport::localPlayLine(const QString &item) const {
    const auto lines = readTextLines(history_.filePath(HistoryList::LocalPlays));
    if (!lines)
        return 0;
    for (qsizetype i = 0; i < lines->size(); ++i) {
        const auto entry = parseLocalPlayLine(lines->at(i));
        if (entry && entry->path == item)
            return i + 1;
    }
    return 0;
}

void Transport::playerChanged() {
    if (opening_.isEmpty())
        return;
    // Another item took its place, or it plays: nothing more to watch.
    if (player_.Url() != opening_ || player_.PlayState() == kStatePlaying) {
        opening_.clear();
        return;
    }
    if (!player_.OpenFailed())
        return;
    const QString item = opening_;
    opening_.clear();
    if (openingIsNewEntry_) {
        if (const qint64 line = localPlayLine(item))
            history_.removeHistoryLine(kLocalHistoryFile, line);
    }
    if (state().currentItemReference == item)
        session_.dropItemReference(state().playSource);
    dialogs_.showMessage(kDialogTitle, fileNameForDisplay(item) + kCannotPlayText);
}

void Transport::stepEpisode(int index, int direction) {
    // Disabled while the step runs, so that a second click cannot start a
    // second lookup.
    view_.setTransportEnabled(index, false);
    episodes_.stepEpisode(direction);
    view_.setTransportEnabled(index, true);
    paintFace(index, false);
}

void Transport::toggleSideBar() {
    const int tab = view_.mainTab();
    if (tab == kTabPlayer)
        view_.npc_Click(kNpcPlayerSideBar);
    else if (tab == kTabTv)
        view_.npc_Click(kNpcTvSideBar);
}

} // namespace vantoli::controls
