#include "controls_rig.h"

namespace vantoli::controls::test {
namespace {

class Keys : public ControlsTest {
protected:
    bool press(int key) { return keyboard.keyDown(key); }
    QString timesText() const { return view.texts.value(QStringLiteral("times")); }
};

TEST_F(Keys, DoNothingOutsideThePlayerOrForOtherKeys) {
    playNetwork(100, 600);
    view.timers[PlaybackTimer::Status] = false;
    for (int mode : {kPlayAreaNone, kPlayAreaWeb, kPlayAreaTv}) {
        session.setPlayAreaMode(mode);
        for (int key : {Qt::Key_Space, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down})
            EXPECT_FALSE(press(key));
    }
    EXPECT_TRUE(player.calls.isEmpty());
    EXPECT_TRUE(view.log.isEmpty());
    EXPECT_FALSE(view.timers[PlaybackTimer::Status]);

    // In the player, other keys are not taken, and touch nothing but the tick.
    session.setPlayAreaMode(kPlayAreaPlayer);
    EXPECT_FALSE(press(Qt::Key_A));
    EXPECT_FALSE(press(Qt::Key_Return));
    EXPECT_TRUE(player.calls.isEmpty());
    EXPECT_TRUE(view.log.isEmpty());
}

TEST_F(Keys, LeftSeeksBackButNotBeforeTheStart) {
    playNetwork(5, 600);
    EXPECT_TRUE(press(Qt::Key_Left));
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("setPosition(-5)"), QStringLiteral("setPosition(0)")}));
    EXPECT_EQ(geo("gunt1").left(), 0);
    EXPECT_EQ(timesText(), QStringLiteral("00:00 / 10:00"));
    EXPECT_EQ(geo("times").topLeft(), QPoint(784 - 13 * 6 - 13, 3));
    EXPECT_TRUE(view.timers[PlaybackTimer::Status]);

    player.position = 3700;
    player.duration = 7700;
    player.calls.clear();
    EXPECT_TRUE(press(Qt::Key_Left));
    EXPECT_EQ(player.calls, QStringList{QStringLiteral("setPosition(3690)")});
    EXPECT_EQ(geo("gunt1").left(), 369);
    EXPECT_EQ(geo("gunt2").width(), 369);
    EXPECT_EQ(timesText(), QStringLiteral("1:01:30 / 2:08:20"));
}

TEST_F(Keys, RightPlacesTheKnobAStepAheadAndStopsShortOfTheEnd) {
    playNetwork(100, 770);
    EXPECT_TRUE(press(Qt::Key_Right));
    EXPECT_EQ(player.position, 110);
    EXPECT_EQ(geo("gunt1").left(), 120);
    EXPECT_EQ(timesText(), QStringLiteral("01:50 / 12:50"));

    player.position = 595;
    player.duration = 600;
    player.calls.clear();
    EXPECT_TRUE(press(Qt::Key_Right));
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("setPosition(605)"), QStringLiteral("setPosition(598)")}));
    EXPECT_EQ(geo("gunt1").left(), 770); // a step ahead, but inside the track
    EXPECT_EQ(timesText(), QStringLiteral("09:58 / 10:00"));
}

TEST_F(Keys, ArrowsLeaveKnobAndTimeAloneWithoutALengthOrBeforePlaying) {
    playNetwork(30, 0);
    view.geometry[QStringLiteral("gunt1")].moveLeft(44);
    view.setLabelText(QStringLiteral("times"), QStringLiteral("00:30 / 00:00"));
    const QRect times = geo("times");
    EXPECT_TRUE(press(Qt::Key_Right));
    EXPECT_TRUE(press(Qt::Key_Left));
    // An unknown length is not an end to go back from.
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("setPosition(40)"), QStringLiteral("setPosition(30)")}));
    EXPECT_EQ(geo("gunt1").left(), 44);
    EXPECT_EQ(geo("times"), times);
    EXPECT_EQ(timesText(), QStringLiteral("00:30 / 00:00"));

    player.position = 0;
    player.duration = 600;
    player.calls.clear();
    EXPECT_TRUE(press(Qt::Key_Right));
    EXPECT_TRUE(press(Qt::Key_Left));
    EXPECT_TRUE(player.calls.isEmpty());
}

TEST_F(Keys, UpAndDownChangeTheVolumeAndUnmuteFirst) {
    session.setPlayAreaMode(kPlayAreaPlayer);
    player.volume = 50;
    transport.bo_but_Click(2); // muted
    player.calls.clear();
    EXPECT_TRUE(press(Qt::Key_Up));
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("setMute(0)"), QStringLiteral("setVolume(60)")}));
    EXPECT_EQ(view.tips[QStringLiteral("bo_but2")], QStringLiteral("静音"));
    EXPECT_EQ(view.texts[QStringLiteral("zhun")], QStringLiteral("音量：60%"));
    EXPECT_EQ(geo("bo_v").left(), 42);
    EXPECT_EQ(geo("bo_y").width(), 42);

    player.volume = 5;
    EXPECT_TRUE(press(Qt::Key_Down));
    EXPECT_EQ(player.calls.last(), QStringLiteral("setVolume(0)"));
    EXPECT_EQ(view.texts[QStringLiteral("zhun")], QStringLiteral("音量：0%"));
    EXPECT_EQ(geo("bo_v").left(), 0);
    player.volume = 95;
    EXPECT_TRUE(press(Qt::Key_Up));
    EXPECT_EQ(player.calls.last(), QStringLiteral("setVolume(100)"));
    EXPECT_EQ(geo("bo_v").left(), 70);
    EXPECT_EQ(player.calls.filter(QStringLiteral("setMute")).size(), 1);
}

TEST_F(Keys, AnyKeyRestartsTheStatusTickAfterAStop) {
    for (int key : {Qt::Key_Space, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_A,
                    Qt::Key_Escape, Qt::Key_F5, Qt::Key_Shift}) {
        playNetwork(100, 600);
        transport.bo_but_Click(1);
        ASSERT_FALSE(view.timers[PlaybackTimer::Status]);
        press(key);
        EXPECT_TRUE(view.timers[PlaybackTimer::Status]) << key;
    }
}

TEST_F(Keys, SpaceTogglesWithAnyModifierAndDespiteAStaleRightPress) {
    playNetwork(100, 600);
    view.suppress = true;
    EXPECT_TRUE(press((Qt::Key_Space | Qt::ShiftModifier).toCombined()));
    EXPECT_EQ(player.calls, QStringList{QStringLiteral("Pause")});
    EXPECT_FALSE(state.pauseFace);
    EXPECT_TRUE(press(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Space).toCombined()));
    EXPECT_EQ(player.calls.last(), QStringLiteral("Play"));
    EXPECT_TRUE(state.pauseFace);
    EXPECT_TRUE(press((Qt::Key_Left | Qt::ShiftModifier).toCombined()));
    EXPECT_EQ(player.calls.last(), QStringLiteral("setPosition(90)"));
}

} // namespace
} // namespace vantoli::controls::test
