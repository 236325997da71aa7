#pragma once
// A window for tests of the playback and transport controllers: controls are
// entries in tables (visibility, geometry, texts, tooltips), timers are
// flags, and every command is recorded in `log` in order
// ("npc 9", "navigate 2 http://...", "balloon ...", "frame 0 12 116").

#include "playback/playback_view.h"
#include "shell/part_names.h"

#include <QHash>
#include <QStringList>

namespace vantoli {

class FakePlaybackView : public PlaybackView, public PlaybackTimers {
public:
    QHash<QString, bool> visible;
    QHash<QString, QRect> geometry;
    QHash<QString, bool> enabled;
    QHash<QString, QString> tips, texts;
    QHash<PlaybackTimer, bool> timers;
    QStringList log;
    QStringList balloons;
    int mainTabValue = 8;
    bool topmost = false;
    bool muteMenuCaptionMuted = false;
    QSize client{990, 655};
    QString captured;
    // Width a label takes per character of its text.
    int charWidth = 6;

    FakePlaybackView() {
        // The default window's player area (normal mode, side bar open).
        geometry[QStringLiteral("peer")] = QRect(0, 0, 784, 570);
        geometry[QStringLiteral("gunt")] = QRect(0, 563, 784, 7);
        geometry[QStringLiteral("gunt1")] = QRect(0, 0, 14, 7);
        geometry[QStringLiteral("gunt2")] = QRect(0, 0, 0, 7);
        geometry[QStringLiteral("huan")] = QRect(-30, 0, 0, 7);
        geometry[QStringLiteral("yin")] = QRect(0, 11, 80, 24);
        geometry[QStringLiteral("bo_v")] = QRect(70, 6, 10, 10);
        geometry[QStringLiteral("bo_y")] = QRect(0, 11, 70, 2);
        geometry[QStringLiteral("bo_zt")] = QRect(0, 541, 784, 22);
        geometry[QStringLiteral("P1")] = QRect(0, 0, 40, 20);
        for (int i = 0; i <= 7; ++i)
            geometry[QStringLiteral("bo_but%1").arg(i)] = QRect(20 + 30 * i, 11, 25, 25);
        visible[QStringLiteral("bo_ad")] = true;
        timers[PlaybackTimer::Status] = true;
    }

    bool isControlVisible(const QString &name) const { return visible.value(name); }
    void setControlVisible(const QString &name, bool v) { visible[name] = v; }
    QRect controlGeometry(const QString &name) const { return geometry.value(name); }
    void setControlGeometry(const QString &name, const QRect &g) { geometry[name] = g; }
    void setControlEnabled(const QString &name, bool e) {
        enabled[name] = e;
        log << QStringLiteral("enabled %1 %2").arg(name).arg(e);
    }
    void setControlToolTip(const QString &name, const QString &text) { tips[name] = text; }
    void setLabelText(const QString &name, const QString &text) {
        texts[name] = text;
        QRect &g = geometry[name];
        g.setSize(QSize(int(text.size()) * charWidth, 12));
    }
    QString labelText(const QString &name) const { return texts.value(name); }
    // Parts land in the tables under their controls' names.
    static QString nameOf(Part part) { return partControlName(part); }
    bool isShown(Part part) const override { return isControlVisible(nameOf(part)); }
    void setShown(Part part, bool shown) override { setControlVisible(nameOf(part), shown); }
    QRect geometryOf(Part part) const override { return controlGeometry(nameOf(part)); }
    void setGeometryOf(Part part, const QRect &g) override { setControlGeometry(nameOf(part), g); }
    void setTextOf(Part part, const QString &text) override { setLabelText(nameOf(part), text); }
    void setProgress(int position, int duration, int buffered) override {
        const SeekBarPlaces p = seekBarPlaces(geometry.value(QStringLiteral("gunt")).width(),
                                              geometry.value(QStringLiteral("gunt1")).width(),
                                              geometry.value(QStringLiteral("huan")), position, duration, buffered);
        geometry[QStringLiteral("gunt1")].moveLeft(p.knobLeft);
        geometry[QStringLiteral("gunt2")].setWidth(p.playedWidth);
        geometry[QStringLiteral("huan")] = p.buffered;
    }
    void hideBuffered() override { geometry[QStringLiteral("huan")].moveLeft(-30); }
    void showTransportTip(int index, const QString &text) override {
        setLabelText(QStringLiteral("bo_tip"), text);
        geometry[QStringLiteral("bo_tip")].moveTo(3, 3);
        geometry[QStringLiteral("P1")] =
            transportTipBoxRect(transportButtonRect(index), geometry.value(QStringLiteral("bo_tip")).size(), client.height());
        visible[QStringLiteral("P1")] = true;
    }
    void setToolTipOf(Part part, const QString &text) override { setControlToolTip(nameOf(part), text); }
    static QString button(int index) { return QStringLiteral("bo_but%1").arg(index); }
    QRect transportButtonRect(int index) const override { return controlGeometry(button(index)); }
    void setTransportToolTip(int index, const QString &text) override { setControlToolTip(button(index), text); }
    void setTransportEnabled(int index, bool e) override { setControlEnabled(button(index), e); }
    void setTransportCapture(int index, bool capture) override { setMouseCapture(button(index), capture); }
    // The typed lines land in the tables under their labels' names.
    void setStatus(const QString &text) override { setLabelText(QStringLiteral("zhun"), text); }
    void setTimes(const QString &text, TimesLine line) override {
        setLabelText(QStringLiteral("times"), text);
        QRect &g = geometry[QStringLiteral("times")];
        g.moveTo(timeLabelPosition(g.width(), geometry.value(QStringLiteral("peer")).width(), line));
    }
    void clearTimes() override {
        QRect &g = geometry[QStringLiteral("times")];
        g.moveTo(timeLabelPosition(g.width(), geometry.value(QStringLiteral("peer")).width(), TimesLine::Command));
        setLabelText(QStringLiteral("times"), QString());
    }
    void setTitle(const QString &text) override {
        setLabelText(QStringLiteral("bo_name"), text);
        QRect &g = geometry[QStringLiteral("bo_name")];
        g.moveTo(titleLabelPosition(g.width(), geometry.value(QStringLiteral("bo_zt")).width()));
    }
    void paintTransportFrame(int button, int strip, int frame) override {
        log << QStringLiteral("frame %1 %2 %3").arg(button).arg(strip).arg(frame);
    }
    void hideTooltipBox() override { visible[QStringLiteral("P1")] = false; }
    void balloon(const QString &text) override {
        balloons << text;
        log << QStringLiteral("balloon ") + text;
    }
    void navigatePane(int number, const QString &url) override {
        log << QStringLiteral("navigate %1 %2").arg(number).arg(url);
    }
    void npc_Click(int index) override {
        log << QStringLiteral("npc %1").arg(index);
        if (index == 8 || index == 9 || index == 13 || index == 14)
            mainTabValue = index;
    }
    int mainTab() const override { return mainTabValue; }
    bool isTopmost() const override { return topmost; }
    void setMuteMenuCaption(bool muted) override { muteMenuCaptionMuted = muted; }
    QSize clientSize() const override { return client; }
    void setMouseCapture(const QString &name, bool capture) {
        captured = capture ? name : (captured == name ? QString() : captured);
    }
    void resetCursor() override {}
    bool suppress = false;
    bool clickSuppress() const override { return suppress; }
    void setClickSuppress(bool on) override { suppress = on; }

    bool isTimerEnabled(PlaybackTimer t) const override { return timers.value(t); }
    void setTimerEnabled(PlaybackTimer t, bool e) override { timers[t] = e; }
};

} // namespace vantoli
