#pragma once
// Fakes for the window-mode and move/size controllers: a view that records
// what it was asked and keeps the little state the commands read back.

#include "support/fake_dialogs.h"
#include "shell/move_size.h"
#include "shell/part_names.h"
#include "shell/window_modes.h"

#include <QHash>
#include <QStringList>

namespace vantoli::shell::test {

using vantoli::FakeDialogs;

class FakeView : public ModesView, public MoveSizeHost {
public:
    QStringList log;
    QHash<QString, bool> visible;
    QHash<QString, QString> tips, captions;
    bool maximised = false;
    bool onTop = false;
    bool hidden = false;
    bool exited = false;
    int minimised = 0;
    QSize sizeTwips{14850, 9830};
    QPoint posTwips;
    QPoint menuAt{-1, -1};
    QString compactMenuCaption;
    int relayouts = 0;
    // Move/size side.
    bool systemDragWorks = true;
    QString systemDrag;
    QRect geometry{100, 100, 990, 655};
    Qt::CursorShape cursor = Qt::ArrowCursor;
    int colourResets = 0;

    // Parts land in the tables under their controls' names.
    void setShown(ModesPart part, bool v, int index) override { visible[modesPartControlName(part, index)] = v; }
    void setTitleButtonTip(int index, const QString &text) override { tips[QStringLiteral("npc%1").arg(index)] = text; }
    QRect titleButtonRect(int index) const override { return index == 5 ? QRect(882, 4, 24, 24) : QRect(); }
    void setProductNameCaption(const QString &text) override { captions[QStringLiteral("ni_name")] = text; }
    void setSideTabCaption(const QString &text) override { captions[QStringLiteral("qk")] = text; }
    void paintTitleButton(int index) override { log << QStringLiteral("paint npc%1").arg(index); }
    void paintPageTab(int index, bool selected) override {
        log << QStringLiteral("tab %1 %2").arg(index).arg(selected ? "selected" : "normal");
    }
    void paintSideTab(int index, bool selected) override {
        log << QStringLiteral("side %1 %2").arg(index).arg(selected ? "selected" : "normal");
    }
    void hideTooltipBox() override { log << QStringLiteral("hide P1"); }
    void resetTextButtonColours() override { ++colourResets; }
    void minimise() override { ++minimised; }
    bool isMaximised() const override { return maximised; }
    void setMaximised(bool m) override { maximised = m; }
    void hideToTray() override { hidden = true; }
    void setStaysOnTop(bool on) override { onTop = on; }
    void popupMainMenuAt(QPoint p) override { menuAt = p; }
    void setCompactMenuCaption(const QString &c) override { compactMenuCaption = c; }
    QSize outerSizeTwips() const override { return sizeTwips; }
    void setOuterSizeTwips(QSize s) override {
        // The resize handler's minimum rules.
        sizeTwips = s.expandedTo(QSize(13500, 7000));
        if (s == QSize(5900, 4800))
            sizeTwips = s;
    }
    QSize screenSizeTwips() const override { return {1280 * 15, 1024 * 15}; }
    void moveToTwips(QPoint p) override { posTwips = p; }
    void relayout() override { ++relayouts; }
    void runExitRoutine() override { exited = true; }

    QSize clientSize() const override { return geometry.size(); }
    void setCursorShape(Qt::CursorShape shape) override { cursor = shape; }
    bool startSystemMove() override {
        systemDrag = QStringLiteral("move");
        return systemDragWorks;
    }
    bool startSystemResize(Qt::Edges edges) override {
        systemDrag = QStringLiteral("resize %1").arg(int(edges));
        return systemDragWorks;
    }
    QRect windowGeometry() const override { return geometry; }
    void setWindowGeometry(const QRect &g) override { geometry = g; }
    QSize minimumSize{900, 467};
    QSize minimumWindowSize() const override { return minimumSize; }
};

} // namespace vantoli::shell::test
