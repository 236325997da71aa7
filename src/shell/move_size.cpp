#include "shell/move_size.h"

#include "shell/layout.h"
#include "shell/sizing_zones.h"
#include "shell/window_modes.h"

#include <algorithm>

namespace vantoli::shell {

QRect resizedGeometry(const QRect &start, Qt::Edges edges, QPoint delta, QSize minimum) {
    int left = start.left();
    int top = start.top();
    int right = start.left() + start.width();
    int bottom = start.top() + start.height();
    if (edges & Qt::LeftEdge)
        left = std::min(left + delta.x(), right - minimum.width());
    if (edges & Qt::RightEdge)
        right = std::max(right + delta.x(), left + minimum.width());
    if (edges & Qt::TopEdge)
        top = std::min(top + delta.y(), bottom - minimum.height());
    if (edges & Qt::BottomEdge)
        bottom = std::max(bottom + delta.y(), top + minimum.height());
    return {left, top, right - left, bottom - top};
}

MoveSizeController::MoveSizeController(MoveSizeHost &host, WindowModes &modes, const Settings &settings)
    : host_(host), modes_(modes), settings_(settings) {}

void MoveSizeController::beginFollow(Drag drag, Qt::Edges edges, QPoint globalPos) {
    follow_ = drag;
    followEdges_ = edges;
    followStart_ = globalPos;
    geometryAtStart_ = host_.windowGeometry();
}

void MoveSizeController::mouseMove(QPoint pos, QPoint globalPos, Qt::MouseButtons buttons) {
    host_.resetTextButtonColours();
    if (modes_.noticeHoverState() == 1)
        modes_.setNoticeHoverState(0);

    if (follow_ != Drag::None) {
        if (!(buttons & Qt::LeftButton))
            return;
        const QPoint delta = globalPos - followStart_;
        if (follow_ == Drag::Move)
            host_.setWindowGeometry(geometryAtStart_.translated(delta));
        else
            host_.setWindowGeometry(
                resizedGeometry(geometryAtStart_, followEdges_, delta, host_.minimumWindowSize()));
        return;
    }

    const QSize client = host_.clientSize();
    const bool leftDown = buttons & Qt::LeftButton;
    if (!leftDown)
        platformResize_ = false;
    if (leftDown || inInnerArea(pos, client) || outsideClient(pos, client)) {
        host_.setCursorShape(Qt::ArrowCursor);
        pointerOffBorder_ = true;
        if (!host_.isMaximised() && leftDown && leftPressed_ && pos.y() > kSizingBand &&
            pos.x() > kSizingBand && pos.x() < client.width() - kSizingBand) {
            leftPressed_ = false;
            if (!host_.startSystemMove()) {
                // Follow from where the button went down, so the pointer keeps
                // its place on the window.
                beginFollow(Drag::Move, {}, pressGlobal_);
                host_.setWindowGeometry(geometryAtStart_.translated(globalPos - pressGlobal_));
            }
        }
        return;
    }
    host_.setCursorShape(zoneCursor(sizingZone(pos, client)));
    pointerOffBorder_ = false;
}

void MoveSizeController::mousePress(QPoint pos, QPoint globalPos, Qt::MouseButton button) {
    modes_.backgroundPressed(button);
    if (button != Qt::LeftButton)
        return;
    platformResize_ = false;
    if (host_.isMaximised())
        return;
    leftPressed_ = true;
    pressGlobal_ = globalPos;
    const QSize client = host_.clientSize();
    if (inInnerArea(pos, client))
        return;
    const SizingZone zone = sizingZone(pos, client);
    host_.setCursorShape(zoneCursor(zone));
    pointerOffBorder_ = false;
    if (hitCode(zone) == 0)
        return;
    resizeStarted_ = true;
    leftPressed_ = false;
    if (host_.startSystemResize(zoneEdges(zone))) {
        // The platform's loop runs on after this returns; the size is saved
        // as the resizes arrive.
        platformResize_ = true;
    } else {
        beginFollow(Drag::Resize, zoneEdges(zone), globalPos);
    }
}

void MoveSizeController::mouseRelease(QPoint, QPoint, Qt::MouseButton button) {
    host_.setCursorShape(Qt::ArrowCursor);
    if (resizeStarted_ && !pointerOffBorder_)
        resizeStarted_ = false;
    pointerOffBorder_ = false;
    if (button != Qt::LeftButton)
        return;
    leftPressed_ = false;
    const Drag ended = follow_;
    follow_ = Drag::None;
    if (ended == Drag::Resize)
        saveNormalSize();
}

void MoveSizeController::windowResized() {
    if (platformResize_)
        saveNormalSize();
}

void MoveSizeController::pointerEntered() { platformResize_ = false; }

void MoveSizeController::saveNormalSize() {
    if (modes_.compactMode() != 0 || host_.isMaximised())
        return;
    const QRect g = host_.windowGeometry();
    settings_.setWindowSizeTwips(QSize(pixelsToTwips(g.width()), pixelsToTwips(g.height())));
}

} // namespace vantoli::shell
