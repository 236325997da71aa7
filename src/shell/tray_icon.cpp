#include "shell/tray_icon.h"

#include "app/text_util.h"

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace vantoli {

namespace {

// The notification record's text fields hold this many GBK bytes (one more
// byte is the terminating zero); longer texts are cut to fit.
constexpr int kToolTipBytes = 127;
constexpr int kBalloonTextBytes = 255;

QString cutToField(const QString &text, int bytes) { return truncateToWidth(text, bytes); }

} // namespace

TrayController::TrayController(TrayHost &host, TraySurface &surface) : host_(host), surface_(surface) {}

void TrayController::install(const QString &toolTip) {
    surface_.showIcon(cutToField(toolTip, kToolTipBytes));
    installed_ = true;
}

void TrayController::remove() {
    if (!installed_)
        return;
    surface_.removeIcon();
    installed_ = false;
}

void TrayController::balloon(const QString &text) {
    const QString shown = cutToField(text, kBalloonTextBytes);
    if (installed_)
        surface_.setToolTip(cutToField(host_.windowCaption(), kToolTipBytes));
    if (installed_ && surface_.hasTray())
        surface_.showBalloon(kBalloonTitle, shown);
    else
        surface_.showWindowNotice(kBalloonTitle, shown);
}

void TrayController::leftClick() {
    if (host_.isWindowMinimized()) {
        host_.restoreWindow();
        return;
    }
    if (host_.isWindowVisible())
        host_.hideWindow();
    else
        host_.showWindow();
}

void TrayController::rightClick(const QPoint &globalPos) { host_.popupMainMenu(globalPos); }

void TrayController::hideToTray() {
    if (installed_ && surface_.hasTray())
        host_.hideWindow();
    else
        host_.minimizeWindow();
}

namespace {

// A small box in the bottom-right corner of the window that shows a balloon's
// title and text for a few seconds.
class WindowNotice : public QFrame {
public:
    explicit WindowNotice(QWidget *window) : QFrame(window) {
        setObjectName(QStringLiteral("trayNotice"));
        setFrameShape(QFrame::Box);
        setAutoFillBackground(true);
        setStyleSheet(QStringLiteral("#trayNotice { background: #FFFFE1; border: 1px solid #767676; }"
                                     "QLabel { color: #000000; background: transparent; }"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(10, 6, 10, 8);
        layout->setSpacing(3);
        title_ = new QLabel(this);
        QFont bold = title_->font();
        bold.setBold(true);
        title_->setFont(bold);
        text_ = new QLabel(this);
        text_->setWordWrap(true);
        layout->addWidget(title_);
        layout->addWidget(text_);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
        hide();
    }

    void showNotice(const QString &title, const QString &text) {
        title_->setText(title);
        text_->setText(text);
        QWidget *window = parentWidget();
        const int width = qMin(260, qMax(120, window->width() - 24));
        setFixedWidth(width);
        adjustSize();
        move(window->width() - width - 12, window->height() - height() - 40);
        // Where the video is a native window (X11), only a native window
        // shows above it.
        if (const auto *video = window->findChild<QWidget *>(QStringLiteral("video"));
            video && video->testAttribute(Qt::WA_NativeWindow) && !testAttribute(Qt::WA_NativeWindow)) {
            setAttribute(Qt::WA_DontCreateNativeAncestors);
            setAttribute(Qt::WA_NativeWindow);
        }
        raise();
        show();
        timer_.start(kShowMs);
    }

    static constexpr int kShowMs = 5000;

private:
    QLabel *title_ = nullptr;
    QLabel *text_ = nullptr;
    QTimer timer_;
};

QIcon fallbackIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2B, 0x6C, 0xC4));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 30, 30);
    painter.setBrush(Qt::white);
    const QPoint play[] = {{12, 8}, {25, 16}, {12, 24}};
    painter.drawPolygon(play, 3);
    return QIcon(pixmap);
}

class QtTraySurface : public TraySurface {
public:
    explicit QtTraySurface(QWidget *window) : window_(window) {}
    ~QtTraySurface() override { delete notice_; }

    void setController(TrayController *controller) { controller_ = controller; }

    bool hasTray() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    void showIcon(const QString &toolTip) override {
        if (!icon_) {
            icon_ = std::make_unique<QSystemTrayIcon>();
            QIcon image = window_ ? window_->windowIcon() : QIcon();
            if (image.isNull())
                image = QApplication::windowIcon();
            if (image.isNull())
                image = fallbackIcon();
            icon_->setIcon(image);
            QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                             [this](QSystemTrayIcon::ActivationReason reason) {
                                 if (!controller_)
                                     return;
                                 if (reason == QSystemTrayIcon::Trigger)
                                     controller_->leftClick();
                                 else if (reason == QSystemTrayIcon::Context)
                                     controller_->rightClick(QCursor::pos());
                             });
        }
        icon_->setToolTip(toolTip);
        icon_->show();
    }

    void removeIcon() override { icon_.reset(); }

    void setToolTip(const QString &toolTip) override {
        if (icon_)
            icon_->setToolTip(toolTip);
    }

    void showBalloon(const QString &title, const QString &text) override {
        if (icon_)
            icon_->showMessage(title, text, QSystemTrayIcon::Information);
    }

    void showWindowNotice(const QString &title, const QString &text) override {
        if (!window_)
            return;
        if (!notice_)
            notice_ = new WindowNotice(window_);
        notice_->showNotice(title, text);
    }

private:
    QPointer<QWidget> window_;
    TrayController *controller_ = nullptr;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QPointer<WindowNotice> notice_;
};

} // namespace

TrayIcon::TrayIcon(QWidget *window, TrayHost &host, QObject *parent) : QObject(parent) {
    auto surface = std::make_unique<QtTraySurface>(window);
    controller_ = std::make_unique<TrayController>(host, *surface);
    surface->setController(controller_.get());
    surface_ = std::move(surface);
}

// The surface goes first: it forwards clicks to the controller.
TrayIcon::~TrayIcon() { surface_.reset(); }

} // namespace vantoli
