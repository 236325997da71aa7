#pragma once
// What the user does on the window's controls, as signals the subsystems'
// modules connect to. The window maps its controls to these in one table
// (ba1_events.cpp); a module never looks a control up by name.

#include "playback/playback_view.h"

#include <QEvent>
#include <QObject>
#include <QPoint>

namespace vantoli::shell {

// One mouse event on a control, in the control's coordinates. click is set
// on the release of a left press that began on the same control and ends
// inside it.
struct ControlMouse {
    QEvent::Type type = QEvent::None; // MouseMove, MouseButtonPress/Release/DblClick, Leave
    Qt::MouseButton button = Qt::NoButton;
    Qt::MouseButtons buttons;
    QPoint pos{-1, -1};
    QPoint globalPos;
    bool click = false;
};

class WindowInput final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // Transport button index (bo_but0 to bo_but7): every event, hover included.
    void transportMouse(int button, const vantoli::shell::ControlMouse &mouse);
    // The seek and volume tracks, knobs and bars.
    void barMouse(vantoli::Part part, const vantoli::shell::ControlMouse &mouse);
    // A right press where the player's menu belongs: the video's mouse layer
    // always, its cover and the pause advertisement only while an item is
    // loaded.
    void playerMenuAsked(const QPoint &globalPos, bool onlyWhileLoaded);
    void videoDoubleClicked();
    void pauseAdvertisementClicked();
    void closeWebPlaybackClicked();
    void closeTvChannelClicked();
    void homeRetryClicked();
    void historyLabelClicked(const QPoint &globalPos);
};

} // namespace vantoli::shell
