#pragma once
// The notification-area icon of the main window: the window caption as its
// tooltip, left click shows/hides/restores the window, right click pops up the
// main menu, and short balloon notices. Where the desktop has no notification
// area (Xvfb, some Wayland desktops) the balloons appear as a small notice
// inside the window for a few seconds, and hiding to the tray minimises
// instead, so the window stays reachable.

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>

class QWidget;

namespace vantoli {

inline const QString kBalloonTitle = QStringLiteral("提示:Vantoli");

// What the tray needs from the main window.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual QString windowCaption() const = 0;
    virtual bool isWindowMinimized() const = 0;
    virtual bool isWindowVisible() const = 0;
    virtual void restoreWindow() = 0; // minimised -> normal
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    virtual void popupMainMenu(const QPoint &globalPos) = 0; // menu r_m
};

// The desktop side: the icon itself and the two ways of showing a notice.
class TraySurface {
public:
    virtual ~TraySurface() = default;
    virtual bool hasTray() const = 0;
    virtual void showIcon(const QString &toolTip) = 0;
    virtual void removeIcon() = 0;
    virtual void setToolTip(const QString &toolTip) = 0;
    virtual void showBalloon(const QString &title, const QString &text) = 0;
    virtual void showWindowNotice(const QString &title, const QString &text) = 0;
};

// The logic, free of widgets.
class TrayController {
public:
    TrayController(TrayHost &host, TraySurface &surface);

    void install(const QString &toolTip);
    void remove();
    bool installed() const { return installed_; }

    // The balloon operation. Also re-sets the tooltip from the caption. The
    // callers decide whether the user wants balloons.
    void balloon(const QString &text);

    void leftClick();
    void rightClick(const QPoint &globalPos);

    // Close to the tray: hides the window where a tray exists, otherwise
    // minimises it (a hidden window without a tray could not be brought back).
    void hideToTray();

private:
    TrayHost &host_;
    TraySurface &surface_;
    bool installed_ = false;
};

// The real icon for the main window: QSystemTrayIcon plus the in-window
// notice. window is the main window (icon and notice parent).
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(QWidget *window, TrayHost &host, QObject *parent = nullptr);
    ~TrayIcon() override;

    TrayController &controller() { return *controller_; }
    void install(const QString &toolTip) { controller_->install(toolTip); }
    void remove() { controller_->remove(); }
    void balloon(const QString &text) { controller_->balloon(text); }
    void hideToTray() { controller_->hideToTray(); }

private:
    std::unique_ptr<TraySurface> surface_;
    std::unique_ptr<TrayController> controller_;
};

} // namespace vantoli
