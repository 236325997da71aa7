#include "controls_rig.h"
#include "shell/part_names.h"

namespace vantoli::controls::test {
namespace {

// The part of the window a control name stands for.
Part P(const char *control) { return *partForControl(QString::fromLatin1(control)); }

// The fake window's seek range is 784 - 14 = 770 pixels, its volume range
// 80 - 10 = 70.
class SeekVolume : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        player.url = QStringLiteral("/m/a.mkv");
        player.autoState = false;
        player.duration = 770;
    }
    // Seek target of a release on `control` with the knob at `left`.
    int releaseAt(const char *control, int left, int duration) {
        player.duration = duration;
        view.geometry[QStringLiteral("gunt1")].moveLeft(left);
        player.calls.clear();
        bars.release(P(control), 0);
        return player.position;
    }
    QStringList seeks() const { return player.calls.filter(QStringLiteral("setPosition")); }
};

TEST_F(SeekVolume, ReleaseSeeksProportionallyWithTheStepBackOfEachControl) {
    // One pixel is ten seconds.
    EXPECT_EQ(releaseAt("gunt1", 770, 7700), 7698); // far right: Duration - 2
    EXPECT_EQ(releaseAt("gunt", 770, 7700), 7700);
    EXPECT_EQ(releaseAt("gunt1", 1, 770), 1);       // close to the start: no step back
    EXPECT_EQ(releaseAt("gunt1", 2, 770), 2);
    EXPECT_EQ(releaseAt("gunt1", 3, 770), 1);
    EXPECT_EQ(releaseAt("gunt2", 100, 770), 98);
    EXPECT_EQ(releaseAt("huan", 100, 770), 98);
    EXPECT_EQ(releaseAt("gunt", 100, 770), 100);
    EXPECT_EQ(seeks(), QStringList{QStringLiteral("setPosition(100)")});
}

TEST_F(SeekVolume, SeekTargetRoundsHalvesToEven) {
    EXPECT_EQ(releaseAt("gunt", 77, 5), 0);   // 0.5
    EXPECT_EQ(releaseAt("gunt", 231, 5), 2);  // 1.5
    EXPECT_EQ(releaseAt("gunt", 385, 5), 2);  // 2.5
    EXPECT_EQ(releaseAt("gunt", 539, 5), 4);  // 3.5
    EXPECT_EQ(releaseAt("gunt", 540, 5), 4);  // 3.506...
}

TEST_F(SeekVolume, SeekIsCorrectedAfterTheEndAndNeverGoesBelowTheStart) {
    // A knob left beyond the range (the window shrank) aims past the end.
    EXPECT_EQ(releaseAt("gunt", 780, 7700), 7698);
    EXPECT_EQ(seeks(), (QStringList{QStringLiteral("setPosition(7800)"),
                                    QStringLiteral("setPosition(7698)")}));
    EXPECT_EQ(releaseAt("gunt2", 0, 770), 0);
    EXPECT_EQ(seeks(), QStringList{QStringLiteral("setPosition(0)")});

    // A knob as wide as its track leaves nothing to divide by.
    view.geometry[QStringLiteral("gunt1")].setWidth(784);
    player.position = 50;
    EXPECT_EQ(releaseAt("gunt1", 0, 770), 50);
    EXPECT_TRUE(seeks().isEmpty());
}

TEST_F(SeekVolume, PressesPlaceTheKnobInsideTheTrack) {
    bars.press(P("gunt"), Qt::LeftButton, 400);
    EXPECT_EQ(geo("gunt1").left(), 400);
    EXPECT_EQ(geo("gunt2").width(), 400);
    bars.press(P("huan"), Qt::LeftButton, 780); // the bar is wider than the range
    EXPECT_EQ(geo("gunt1").left(), 770);
    EXPECT_EQ(geo("gunt2").width(), 770);
    bars.press(P("gunt"), Qt::RightButton, 10);
    EXPECT_EQ(geo("gunt1").left(), 770);
    EXPECT_EQ(geo("gunt1").top(), 0);
    EXPECT_TRUE(seeks().isEmpty()); // no seek before the release
}

TEST_F(SeekVolume, NothingLoadedIgnoresTheTrackAndTheKnob) {
    player.url.clear();
    bars.press(P("gunt"), Qt::LeftButton, 400);
    bars.move(P("gunt1"), Qt::LeftButton, 50);
    bars.release(P("gunt"), 400);
    EXPECT_EQ(geo("gunt1").left(), 0);
    EXPECT_TRUE(player.calls.isEmpty());
}

TEST_F(SeekVolume, WithoutAKnownLengthTheSeekBarDoesNothing) {
    // A live or endless stream (Duration 0): no position to seek to.
    player.duration = 0;
    player.position = 300;
    view.geometry[QStringLiteral("gunt1")].moveLeft(100);
    for (const char *control : {"gunt", "gunt2", "huan"}) {
        bars.press(P(control), Qt::LeftButton, 400);
        bars.release(P(control), 400);
    }
    bars.move(P("gunt1"), Qt::LeftButton, 50);
    bars.release(P("gunt1"), 50);
    EXPECT_EQ(geo("gunt1").left(), 100);
    EXPECT_TRUE(player.calls.filter(QStringLiteral("setPosition")).isEmpty());
    EXPECT_EQ(player.position, 300);
}

TEST_F(SeekVolume, DraggingTheKnobFollowsThePointerAndStopsAtBothEnds) {
    view.geometry[QStringLiteral("gunt1")].moveLeft(100);
    bars.move(P("gunt1"), Qt::LeftButton, 50);
    EXPECT_EQ(geo("gunt1").left(), 150);
    EXPECT_EQ(geo("gunt2").width(), 150);
    bars.move(P("gunt1"), Qt::LeftButton | Qt::RightButton, -500);
    EXPECT_EQ(geo("gunt1").left(), 0);
    bars.move(P("gunt1"), Qt::LeftButton, 5000);
    EXPECT_EQ(geo("gunt1").left(), 770);
    EXPECT_EQ(geo("gunt2").width(), 770);
    bars.move(P("gunt1"), Qt::RightButton, -300);
    bars.move(P("gunt1"), Qt::NoButton, -300);
    EXPECT_EQ(geo("gunt1").left(), 770);
    EXPECT_TRUE(seeks().isEmpty());
}

TEST_F(SeekVolume, VolumePressSetsTheTruncatedShareOfTheRange) {
    struct Case { const char *control; int x; int volume; int knob; };
    for (const Case &c : {Case{"yin", 35, 50, 35}, Case{"yin", 69, 98, 69}, Case{"bo_y", 1, 1, 1},
                          Case{"yin", 200, 100, 70}, Case{"bo_y", 0, 0, 0}}) {
        bars.press(P(c.control), Qt::LeftButton, c.x);
        EXPECT_EQ(player.volume, c.volume) << c.x;
        EXPECT_EQ(geo("bo_v").left(), c.knob) << c.x;
        EXPECT_EQ(geo("bo_y").width(), c.knob) << c.x;
        EXPECT_EQ(view.texts[QStringLiteral("zhun")], QStringLiteral("音量：%1%").arg(c.volume));
    }
    EXPECT_EQ(geo("bo_v").top(), 6);
}

TEST_F(SeekVolume, VolumeDragClampsAndAppliesOnEveryMove) {
    bars.move(P("bo_v"), Qt::LeftButton, -20); // knob starts at 70
    EXPECT_EQ(geo("bo_v").left(), 50);
    EXPECT_EQ(player.volume, 71);
    bars.move(P("bo_v"), Qt::LeftButton, -100);
    EXPECT_EQ(player.volume, 0);
    EXPECT_EQ(view.texts[QStringLiteral("zhun")], QStringLiteral("音量：0%"));
    bars.move(P("bo_v"), Qt::LeftButton, 100);
    EXPECT_EQ(geo("bo_v").left(), 70);
    EXPECT_EQ(geo("bo_y").width(), 70);
    EXPECT_EQ(player.volume, 100);
    bars.release(P("bo_v"), 0);
    EXPECT_EQ(player.calls.filter(QStringLiteral("setVolume")).size(), 3);
}

TEST_F(SeekVolume, VolumeWhileMutedUnmutesFirstEvenAfterAStaleRightPress) {
    transport.bo_but_Click(2); // muted
    view.suppress = true;      // an earlier right press on a button
    player.calls.clear();
    bars.press(P("yin"), Qt::LeftButton, 35);
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("setMute(0)"), QStringLiteral("setVolume(50)")}));
    EXPECT_FALSE(state.muted);
    EXPECT_EQ(view.tips[QStringLiteral("bo_but2")], QStringLiteral("静音"));
    EXPECT_FALSE(view.muteMenuCaptionMuted);

    // Muted by someone else while the state says otherwise: still unmutes.
    player.mute = kPlayerTrue;
    player.calls.clear();
    bars.move(P("bo_v"), Qt::LeftButton, 1);
    EXPECT_EQ(player.calls.first(), QStringLiteral("setMute(0)"));
    EXPECT_EQ(player.mute, kPlayerFalse);
}

TEST_F(SeekVolume, KnobHelpersStayInsideTheirTracks) {
    bars.placeVolumeKnob(50);
    EXPECT_EQ(geo("bo_v").left(), 35);
    EXPECT_EQ(geo("bo_y").width(), 35);
    bars.placeVolumeKnob(150);
    EXPECT_EQ(geo("bo_v").left(), 70);
    bars.placeVolumeKnob(-5);
    EXPECT_EQ(geo("bo_v").left(), 0);

    EXPECT_TRUE(bars.placeSeekKnob(300, 7700));
    EXPECT_EQ(geo("gunt1").left(), 30);
    EXPECT_EQ(geo("gunt2").width(), 30);
    EXPECT_TRUE(bars.placeSeekKnob(7800, 7700));
    EXPECT_EQ(geo("gunt1").left(), 770);
    EXPECT_FALSE(bars.placeSeekKnob(300, 0));
    EXPECT_EQ(geo("gunt1").left(), 770);
}

} // namespace
} // namespace vantoli::controls::test
