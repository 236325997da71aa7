#pragma once
// A main window for the controller tests: fake player, window, dialogs and
// play-area switch around the real controllers and a real history store in
// a temporary program folder.

#include "support/fake_dialogs.h"
#include "controls/keyboard.h"
#include "controls/seek_volume.h"
#include "controls/transport.h"
#include "history/history_files.h"
#include "support/fake_playback_view.h"
#include "support/fake_player.h"
#include "playback/playback_session.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantoli::controls::test {

// Leaving the player stops it through the stop button, as the window does.
class RecordingPlayArea : public PlayAreaSwitch {
public:
    RecordingPlayArea(PlaybackSession &session, FakePlaybackView &view) : session_(session), view_(view) {}
    TransportCommands *transport = nullptr;
    void setPlayAreaMode(int mode) override {
        view_.log << QStringLiteral("play area %1").arg(mode);
        if (session_.state().playAreaMode == kPlayAreaPlayer && transport)
            transport->bo_but_Click(1);
        session_.setPlayAreaMode(mode);
    }

private:
    PlaybackSession &session_;
    FakePlaybackView &view_;
};

class RecordingStepper : public EpisodeStepper {
public:
    explicit RecordingStepper(FakePlaybackView &view) : view_(view) {}
    void stepEpisode(int direction) override {
        // Into the window log, so the order shows the button disabled around it.
        view_.log << QStringLiteral("step %1").arg(direction);
    }

private:
    FakePlaybackView &view_;
};

inline QByteArray readBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class ControlsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakePlayer player;
    PlaybackSession session;
    const PlaybackState &state = session.state();
    FakePlaybackView view;
    FakeDialogs dialogs;
    HistoryStore history{dir.path()};
    RecordingPlayArea playArea{session, view};
    RecordingStepper stepper{view};
    PositionRecorder positions{state, history};
    Transport transport{player, session, view, view, history, positions, dialogs, playArea, stepper};
    SeekVolumeBars bars{player, view, transport, session};
    Keyboard keyboard{player, state, view, view, transport, bars};

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // As start-up leaves them: one empty line each.
        for (const QString &name : {kNetworkHistoryFile, kLocalHistoryFile}) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("\r\n");
        }
        playArea.transport = &transport;
    }

    QByteArray file(const QString &name) const { return readBytes(dir.filePath(name)); }

    // An item playing in the player at `position` of `duration`, the status
    // tick having seen it there; `reference` names its history entry in the
    // list of `source`.
    void playItem(int source, const QString &reference, int position, int duration) {
        session.setPlayAreaMode(kPlayAreaPlayer);
        if (source == kSourceLocal)
            session.startLocalItem(reference, 0);
        else
            session.startNetworkItem(kNothing, QString(), reference);
        player.url = QStringLiteral("http://127.0.0.1:8260/a.mp4");
        player.state = kStatePlaying;
        player.position = position;
        player.duration = duration;
        session.setPauseFace(true);
        session.recordPosition(position);
    }
    void playNetwork(int position, int duration, const QString &reference = kNothing) {
        playItem(kSourceNetwork, reference, position, duration);
    }

    QRect geo(const char *name) const { return view.geometry.value(QString::fromLatin1(name)); }
};

} // namespace vantoli::controls::test
