#include "shell/playback_panel.h"

#include "platform/web_pane.h"
#include "shell/part_names.h"
#include "shell/picture_box.h"
#include "shell/skin.h"
#include "shell/window_controls.h"
#include "shell/window_modes.h"

#include <QLabel>

namespace vantoli::shell {

PlaybackPanel::PlaybackPanel(QWidget &window, WindowControls &controls, WindowModes &modes, const SkinSet &skin)
    : window_(window), controls_(controls), modes_(modes), skin_(skin) {}

QWidget *PlaybackPanel::part(Part p) const { return controls_.control(partControlName(p)); }

QWidget *PlaybackPanel::transportButton(int button) const {
    return controls_.control(QStringLiteral("bo_but%1").arg(button));
}

bool PlaybackPanel::isShown(Part p) const {
    QWidget *w = part(p);
    return w && !w->isHidden();
}

void PlaybackPanel::setShown(Part p, bool shown) {
    if (QWidget *w = part(p))
        w->setVisible(shown);
}

QRect PlaybackPanel::geometryOf(Part p) const {
    QWidget *w = part(p);
    return w ? w->geometry() : QRect();
}

void PlaybackPanel::setGeometryOf(Part p, const QRect &geometry) {
    if (QWidget *w = part(p))
        w->setGeometry(geometry);
}

void PlaybackPanel::setLabelText(QWidget *w, const QString &text, bool keepWidth) {
    auto *l = qobject_cast<QLabel *>(w);
    if (!l)
        return;
    l->setText(text);
    if (!keepWidth)
        l->adjustSize();
}

void PlaybackPanel::setTextOf(Part p, const QString &text) { setLabelText(part(p), text); }

void PlaybackPanel::setToolTipOf(Part p, const QString &text) {
    if (QWidget *w = part(p))
        w->setToolTip(text);
}

QRect PlaybackPanel::transportButtonRect(int button) const {
    return controls_.rectInWindow(QStringLiteral("bo_but%1").arg(button));
}

void PlaybackPanel::setTransportToolTip(int button, const QString &text) {
    if (QWidget *w = transportButton(button))
        w->setToolTip(text);
}

void PlaybackPanel::setTransportEnabled(int button, bool enabled) {
    if (QWidget *w = transportButton(button))
        w->setEnabled(enabled);
}

void PlaybackPanel::setTransportCapture(int button, bool capture) {
    QWidget *w = transportButton(button);
    if (!w)
        return;
    if (capture && QWidget::mouseGrabber() != w)
        w->grabMouse();
    else if (!capture && QWidget::mouseGrabber() == w)
        w->releaseMouse();
}

void PlaybackPanel::setStatus(const QString &text) {
    // In compact mode the status line keeps the fixed width the layout gave it.
    setLabelText(controls_.control(QStringLiteral("zhun")), text, modes_.compactMode() != 0);
}

void PlaybackPanel::setTimes(const QString &text, TimesLine line) {
    QWidget *times = controls_.control(QStringLiteral("times"));
    setLabelText(times, text);
    times->move(timeLabelPosition(times->width(), controls_.control(QStringLiteral("peer"))->width(), line));
}

void PlaybackPanel::clearTimes() {
    QWidget *times = controls_.control(QStringLiteral("times"));
    times->move(timeLabelPosition(times->width(), controls_.control(QStringLiteral("peer"))->width(),
                                  TimesLine::Command));
    setLabelText(times, QString());
}

void PlaybackPanel::setTitle(const QString &text) {
    title_ = text;
    QWidget *title = controls_.control(QStringLiteral("bo_name"));
    setLabelText(title, text);
    title->move(titleLabelPosition(title->width(), controls_.control(QStringLiteral("bo_zt"))->width()));
}

void PlaybackPanel::setProgress(int position, int duration, int buffered) {
    QWidget *knob = part(Part::SeekKnob);
    QWidget *played = part(Part::PlayedBar);
    QWidget *loaded = part(Part::BufferedBar);
    const SeekBarPlaces p = seekBarPlaces(part(Part::SeekTrack)->width(), knob->width(), loaded->geometry(), position,
                                          duration, buffered);
    knob->move(p.knobLeft, knob->y());
    played->resize(p.playedWidth, played->height());
    loaded->setGeometry(p.buffered);
}

void PlaybackPanel::hideBuffered() {
    QWidget *loaded = part(Part::BufferedBar);
    loaded->move(-30, loaded->y());
}

void PlaybackPanel::showTransportTip(int button, const QString &text) {
    auto *tip = controls_.label(QStringLiteral("bo_tip"));
    tip->setText(text);
    tip->adjustSize();
    tip->move(3, 3);
    QWidget *box = part(Part::TooltipBox);
    box->setGeometry(transportTipBoxRect(transportButtonRect(button), tip->size(), window_.height()));
    box->show();
}

void PlaybackPanel::paintTransportFrame(int button, int strip, int frame) {
    auto *b = qobject_cast<PictureBox *>(transportButton(button));
    if (!b)
        return;
    const QSize size = button == 0 ? QSize(58, 43) : QSize(25, 25);
    const Cell cell{strip, QRect(QPoint(frame, 0), size)};
    b->setFace(QStringLiteral("%1/%2/%3").arg(skin_.skin()).arg(strip).arg(frame),
               [&] { return skin_.cell(cell); });
}

void PlaybackPanel::hideTooltipBox() { controls_.control(QStringLiteral("P1"))->hide(); }

void PlaybackPanel::balloon(const QString &text) {
    if (balloon_)
        balloon_(text);
}

void PlaybackPanel::navigatePane(int number, const QString &url) {
    if (WebPane *p = controls_.pane(number))
        p->navigate(url);
}

void PlaybackPanel::npc_Click(int index) { modes_.npc_Click(index); }

int PlaybackPanel::mainTab() const { return modes_.mainTab(); }

bool PlaybackPanel::isTopmost() const { return modes_.pinned(); }

void PlaybackPanel::setMuteMenuCaption(bool muted) {
    if (muteCaption_)
        muteCaption_(muted);
}

QSize PlaybackPanel::clientSize() const { return window_.size(); }

void PlaybackPanel::resetCursor() { window_.setCursor(Qt::ArrowCursor); }

bool PlaybackPanel::clickSuppress() const { return modes_.clickSuppress(); }

void PlaybackPanel::setClickSuppress(bool on) { modes_.setClickSuppress(on); }

} // namespace vantoli::shell
