#include "notices/ba4.h"

#include "app/dialogs.h"
#include "notices/close_picture.h"
#include "platform/web_pane.h"

#include <QGuiApplication>
#include <QScreen>

namespace vantoli {

ba4::ba4(Dialogs &dialogs, const QString &contentBase, std::function<void()> onClosed)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), dialogs_(dialogs),
      page_(contentBase + QStringLiteral("js/ads/tui.html")), onClosed_(std::move(onClosed)) {
    setObjectName(QStringLiteral("ba4"));
    setWindowTitle(QStringLiteral("推荐"));
    setAttribute(Qt::WA_DeleteOnClose);

    pc1_ = new QWidget(this);
    pc1_->setObjectName(QStringLiteral("Pc1"));
    web_ = new WebPane(pc1_);
    web_->setObjectName(QStringLiteral("Web1"));
    picture1_ = new ClosePicture(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->hide();
    picture1_->onClick = [this] { closer_.closeIconClicked(); };

    timer1_.setInterval(kRecommendationLifeMs);
    timer2_.setInterval(kRecommendationIconMs);
    connect(&timer1_, &QTimer::timeout, this, [this] { closer_.lifeTick(); });
    connect(&timer2_, &QTimer::timeout, this, [this] { closer_.iconTick(); });
    connect(web_, &WebPane::downloadBegin, this, [this] { web_->setSilent(true); });
    web_->setNewWindowHandler([this](WebPane &, WebNewWindow &request) {
        request.cancel = true;
        closer_.newWindow(request.address);
    });
}

ba4::~ba4() = default;

QWidget *ba4::closeIcon() const { return picture1_; }

void ba4::start() {
    QScreen *screen = QGuiApplication::primaryScreen();
    setGeometry(recommendationWindowRect(screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768)));
    web_->navigate(page_);
    closer_.start();
}

void ba4::resizeEvent(QResizeEvent *) {
    if (isMinimized())
        return;
    const RecommendationPlacement p = placeRecommendation(size(), picture1_->size());
    pc1_->setGeometry(p.frame);
    web_->setGeometry(p.pane);
    picture1_->move(p.closeIcon);
    picture1_->raise();
}

void ba4::setLifeTimer(bool enabled) { enabled ? timer1_.start() : timer1_.stop(); }

void ba4::setIconTimer(bool enabled) { enabled ? timer2_.start() : timer2_.stop(); }

void ba4::showCloseIcon() {
    picture1_->raise();
    picture1_->show();
}

void ba4::openInBrowser(const QString &url) { dialogs_.openUrl(url); }

void ba4::closeWindow() {
    // Runs once; the window deletes itself after this.
    auto done = std::move(onClosed_);
    close();
    if (done)
        done();
}

} // namespace vantoli
