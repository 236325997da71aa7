#pragma once
// The eight transport buttons of the main window (bo_but0 to bo_but7): their
// commands, their press and hover handling and their faces. The play/pause
// and mute toggles are the playback session's (pauseFace, muted); the
// buttons' tooltips, their sprite frames and the q_yin menu caption only show
// them.
//
// Geometry: a button's rectangle (controlGeometry("bo_butN")) is read in its
// parent bo_foot's coordinates, while the tooltip box P1 is a child of the
// window. The window reports the buttons' geometry so that a button's left
// edge lands right when used as a window x coordinate for P1.

#include "app/dialogs.h"
#include "history/history_files.h"
#include "history/position_recorder.h"
#include "playback/playback_session.h"
#include "playback/playback_view.h"
#include "playback/player.h"

#include <QPoint>
#include <QString>
#include <Qt>

namespace vantoli::controls {

// Open-file dialog of command 4.
inline const QString kOpenFileTitle = QStringLiteral("选择播放文件");
// The classic media patterns (the dot-less ones match any name ending so)
// plus the containers common on Linux; then every file.
inline const QString kOpenFileFilter = QStringLiteral(
    "影音文件 (*.rm *.rmvb *.wmv *.mp3 *wma *mid *wav *mpg *mp4"
    " *.mkv *.webm *.avi *.mov *.flv *.ogv *.ts *.m4v *.m2ts *.mpeg *.3gp"
    " *.ogg *.opus *.flac *.m4a);;所有文件 (*)");

inline constexpr int kTransportButtons = 8;

// Said after the name of a file or address the user chose that cannot be played.
inline const QString kCannotPlayText = QStringLiteral("\r\n无法播放：文件不存在、不是影音文件或地址不受支持。");

class Transport : public TransportCommands {
public:
    Transport(Player &player, PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers,
              HistoryStore &history, PositionRecorder &positions, Dialogs &dialogs,
              PlayAreaSwitch &playArea, EpisodeStepper &episodes);

    // Runs transport command `index` (0 to 7; other values do nothing). A
    // click that follows a press with a button other than the left one only
    // clears the click-suppress flag.
    void bo_but_Click(int index) override;

    // Mouse press on button `index`: any button but the left one makes the
    // following click a no-op; the left one clears that.
    void mousePress(int index, Qt::MouseButton button);
    // Mouse release on button `index`. Only a left release makes a click, so
    // the release of another button ends its press with the flag cleared: it
    // suppressed that click alone, never a later command from a menu, a key
    // or a link.
    void mouseRelease(int index, Qt::MouseButton button);
    // Mouse move over button `index`, `pos` in the button's own coordinates:
    // hover frame, mouse capture and the tooltip box while inside; normal
    // frame, release and no tooltip box once outside.
    void mouseMove(int index, QPoint pos);

    // Plays a command line (l_com): one enclosing pair of quotes removed and
    // one trailing "/" dropped, played as a local item, recorded in the
    // local-play history and resumed at its stored position. A file the
    // player cannot open, or anything that is neither a file nor a network
    // address, is reported and neither played nor recorded.
    void playCommandLine(const QString &commandLine);

    // The player reported a change. A file or address the user opened that
    // the player could not open is said, and its new local-play entry taken
    // back (an entry it had before stays, with its position).
    void playerChanged();

    // Repaints buttons 0 and 2 and sets their tooltips from the state (after
    // a skin change, or when the status tick flips pauseFace).
    void refreshFaces();

    // The tooltip button `index` shows now.
    QString toolTip(int index) const;

private:
    void playPause();
    void stop();
    void toggleMute();
    void fullScreen();
    void openLocalFile();
    // The user's own choice of a file or address: checked, played, recorded.
    bool playUserItem(const QString &text);
    // Line number of item's local-play entry, 0 for none.
    qint64 localPlayLine(const QString &item) const;
    void stepEpisode(int index, int direction);
    void toggleSideBar();

    void paintFace(int index, bool hover);
    void showPauseFace(bool pause);

    const PlaybackState &state() const { return session_.state(); }

    Player &player_;
    PlaybackSession &session_;
    PlaybackView &view_;
    PlaybackTimers &timers_;
    HistoryStore &history_;
    PositionRecorder &positions_;
    Dialogs &dialogs_;
    PlayAreaSwitch &playArea_;
    EpisodeStepper &episodes_;

    // The user's item whose opening is still to be seen, and whether its
    // local-play entry was new.
    QString opening_;
    bool openingIsNewEntry_ = false;
};

} // namespace vantoli::controls
