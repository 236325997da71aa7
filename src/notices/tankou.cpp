#include "notices/tankou.h"

#include "app/dialogs.h"
#include "notices/close_picture.h"
#include "notices/notice_line.h"
#include "platform/web_pane.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVariantList>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace vantoli {

namespace {

// Measures the page's body, then takes its border, margin and scroll bars
// away so the window shows the page edge to edge.
const QString kMeasureScript = QStringLiteral(
    "(function(){var b=document.body;if(!b)return null;var r=[b.scrollWidth,b.scrollHeight];"
    "b.style.border='0px';b.style.overflow='hidden';b.style.margin='0px';return r;})()");

constexpr QSize kShrunkPane{20, 20};

} // namespace

tankou::tankou(AsyncHttpGet &http, Dialogs &dialogs, QString contentBase, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      http_(http), dialogs_(dialogs), contentBase_(std::move(contentBase)) {
    setObjectName(QStringLiteral("tankou"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(kShrunkPane);

    p1_ = new QFrame(this);
    p1_->setObjectName(QStringLiteral("P1"));
    p1_->setStyleSheet(QStringLiteral("QFrame#P1{background:#3a3a3a;}"));
    web_ = new WebPane(p1_);
    web_->setObjectName(QStringLiteral("Web1"));
    web_->setGeometry(QRect(QPoint(0, 0), kShrunkPane));
    img_ = new ClosePicture(this);
    img_->onClick = [this] { hide(); };

    timerc_.setInterval(1000);
    timert_.setInterval(60000);
    connect(&timerc_, &QTimer::timeout, this, [this] { scheduler_.delayTick(); });
    connect(&timert_, &QTimer::timeout, this, [this] { scheduler_.showTick(); });

    connect(web_, &WebPane::downloadBegin, this, [this] { web_->setSilent(true); });
    connect(web_, &WebPane::documentComplete, this, [this] { documentComplete(); });
    // The page's context menu never shows: nothing listens to it.
    web_->setNewWindowHandler([this](WebPane &, WebNewWindow &request) {
        request.cancel = true;
        const QString url = webAddressToOpen(request.address);
        if (!url.isEmpty())
            dialogs_.openUrl(url);
        hide();
    });
}

tankou::~tankou() = default;

void tankou::load() {
    web_->navigate(QStringLiteral("about:blank"));
    scheduler_.tan_x(http_, contentBase_);
}

void tankou::navigateNotice(const QString &address) {
    ++pageLoads_;
    web_->navigate(address);
}

void tankou::setDelayTimer(bool enabled) { enabled ? timerc_.start() : timerc_.stop(); }

void tankou::setShowTimer(bool enabled) { enabled ? timert_.start() : timert_.stop(); }

void tankou::hideForNextNotice() {
    hide();
    web_->resize(kShrunkPane);
}

void tankou::unloadWindow() {
    timerc_.stop();
    timert_.stop();
    hide();
    emit unloaded();
    deleteLater();
}

void tankou::documentComplete() {
    if (!scheduler_.shown())
        return;
    QPointer<tankou> self(this);
    const int load = pageLoads_;
    web_->view()->page()->runJavaScript(kMeasureScript, [self, load](const QVariant &result) {
        if (!self || load != self->pageLoads_)
            return;
        const QVariantList size = result.toList();
        if (size.size() != 2)
            return;
        self->fitToPage(QSize(size.at(0).toInt(), size.at(1).toInt()));
    });
}

void tankou::fitToPage(QSize pageSize) {
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const NoticeWindowPlacement place = placeNoticeWindow(pageSize, area, img_->size());
    setGeometry(place.window);
    p1_->setGeometry(QRect(QPoint(0, 0), place.window.size()));
    web_->setGeometry(place.pane);
    img_->move(place.closeIcon);
    img_->raise();
    show();
}

} // namespace vantoli
