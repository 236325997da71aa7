#include "platform/web_pane.h"

#include "app/text_util.h"
#include "platform/child_process.h"
#include "platform/graphics_path.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QContextMenuEvent>
#include <QWebEngineCertificateError>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <cstdio>
#include <unistd.h>

namespace vantoli {

namespace {

const char *const kProgramSchemes[] = {"kxpeer", "kxbovod", "kxtvs", "open", "delk"};

// The injected script reports to the native side through console messages
// that start with this marker: unlike a navigation to a carrier address they
// stop no load, are never merged and arrive in order. The random part keeps pages from imitating it:
// the script runs in its own world, which page scripts cannot read.
const QString &carrierMarker() {
    static const QString marker =
        QStringLiteral("\x1bvantoli-link-%1:").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    return marker;
}

// Runs in every frame before the page's own scripts. Clicks (also
// element.click() and clicks on elements inside a link) and middle clicks on
// links in the program's schemes are cancelled and their href, exactly as
// written, is reported. The context menu is always cancelled and reported
// with the href of the link under the pointer.
QString linkCaptureScript() {
    QString schemes;
    for (const char *scheme : kProgramSchemes)
        schemes += QStringLiteral("'%1://',").arg(QLatin1String(scheme));
    return QStringLiteral(R"JS(
(function () {
  if (window.__vantoliLinkCapture) return;
  window.__vantoliLinkCapture = true;
  var marker = '%1';
  var schemes = [%2];
  function linkOf(ev) {
    var path = ev.composedPath ? ev.composedPath() : [];
    for (var i = 0; i < path.length; ++i) {
      var n = path[i];
      if (n && n.nodeType === 1 && (n.localName === 'a' || n.localName === 'area') &&
          n.hasAttribute('href'))
        return n.getAttribute('href');
    }
    return null;
  }
  function isOwn(href) {
    var h = href.replace(/^[\s\u0000-\u0020]+/, '').toLowerCase();
    for (var i = 0; i < schemes.length; ++i)
      if (h.indexOf(schemes[i]) === 0) return true;
    return false;
  }
  function send(kind, text) {
    console.log(marker + JSON.stringify([kind, text, window === window.top]));
  }
  function onClick(ev) {
    if (ev.defaultPrevented) return;
    if (ev.type === 'auxclick' && ev.button !== 1) return;
    var href = linkOf(ev);
    if (href === null || !isOwn(href)) return;
    ev.preventDefault();
    send('navigate', href);
  }
  window.addEventListener('click', onClick, true);
  window.addEventListener('auxclick', onClick, true);
  window.addEventListener('contextmenu', function (ev) {
    ev.preventDefault();
    var href = linkOf(ev);
    send('menu', href === null ? '' : href);
  }, true);
})();
)JS")
        .arg(carrierMarker(), schemes);
}

// Anything that still asks the engine to load one of the program's schemes
// (an image source, a frame, a script-set location) is refused.
class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob *job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

void installSchemeHandlers(QWebEngineProfile *profile) {
    static RefusingSchemeHandler *handler = new RefusingSchemeHandler(QCoreApplication::instance());
    for (const char *scheme : kProgramSchemes) {
        const QByteArray name(scheme);
        if (!profile->urlSchemeHandler(name))
            profile->installUrlSchemeHandler(name, handler);
    }
}

// What a local page (c.htm, f.htm, t.htm: files that show server-provided
// text) may load: pictures, styles, scripts and fonts from its own folder, and
// remote ones. Its scripts fetch nothing (XMLHttpRequest, fetch, beacons,
// workers), also where cross-origin rules would let them (a server that
// allows any origin), and it opens no frames or objects, through which a
// script could read another local file. Runs on the engine's network thread;
// keeps no state.
class LocalPageGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override {
        const QUrl page = info.firstPartyUrl();
        if (!page.isLocalFile())
            return;
        switch (info.resourceType()) {
        case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
            return;
        case QWebEngineUrlRequestInfo::ResourceTypeImage:
        case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
        case QWebEngineUrlRequestInfo::ResourceTypeScript:
        case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
        case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
            if (!info.requestUrl().isLocalFile() || inFolderOf(info.requestUrl(), page))
                return;
            break;
        default:
            break;
        }
        info.block(true);
    }

private:
    static bool inFolderOf(const QUrl &file, const QUrl &page) {
        const QString path = file.toLocalFile();
        const QString folder = page.adjusted(QUrl::RemoveFilename | QUrl::RemoveQuery).toLocalFile();
        return path.startsWith(folder) && !path.mid(folder.size()).contains(u'/');
    }
};

QWebEngineUrlRequestInterceptor *localPageGuard() {
    static auto *guard = new LocalPageGuard(QCoreApplication::instance());
    return guard;
}

// An address given to navigate() as a URL: absolute local paths (with an
// optional query) become file URLs.
QUrl addressToUrl(const QString &address) {
    const QString trimmed = address.trimmed();
    if (trimmed.startsWith(QLatin1Char('/'))) {
        const qsizetype q = trimmed.indexOf(QLatin1Char('?'));
        QUrl url = QUrl::fromLocalFile(q < 0 ? trimmed : trimmed.left(q));
        if (q >= 0)
            url.setQuery(trimmed.mid(q + 1), QUrl::TolerantMode);
        return url;
    }
    QUrl url(trimmed, QUrl::TolerantMode);
    if (url.scheme().isEmpty())
        url = QUrl::fromUserInput(trimmed);
    return url;
}

// A "%" that does not start a two-digit escape.
bool hasBareEscape(const QString &address) {
    static const QRegularExpression bare(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    return address.contains(bare);
}

// The address as the stand-in page hands it to location.replace: local paths
// become file URLs, the query stays as written.
QString rawTargetOf(const QString &address, const QUrl &url) {
    const QString trimmed = address.trimmed();
    if (!trimmed.startsWith(QLatin1Char('/')))
        return trimmed;
    const qsizetype q = trimmed.indexOf(QLatin1Char('?'));
    QUrl base = url;
    base.setQuery(QString());
    return base.toString(QUrl::FullyEncoded) + (q < 0 ? QString() : trimmed.mid(q));
}

bool isWebAddress(const QUrl &url) {
    return url.scheme() == u"http" || url.scheme() == u"https";
}

// Net error "aborted": the load was cancelled or replaced by another one.
constexpr int kAbortedError = -3;

// Says on standard error why a server was refused, once per server and
// reason.
void reportRefusal(const QUrl &url, const QString &reason) {
    static QSet<QString> said;
    const QString line = QStringLiteral("vantoli: refused %1://%2: %3\n").arg(url.scheme(), url.authority(), reason);
    if (said.contains(line) || said.size() > 64)
        return;
    said.insert(line);
    std::fputs(line.toLocal8Bit().constData(), stderr);
}

// The pane's own page for a server whose certificate did not verify: which
// server, and why, in place of the page it would have shown.
QString certificateRefusalPage(const QUrl &url, int netError) {
    QString reason;
    switch (netError) {
    case -200: // ERR_CERT_COMMON_NAME_INVALID
        reason = QStringLiteral("证书上的名称与该服务器的名称不符。");
        break;
    case -201: // ERR_CERT_DATE_INVALID
        reason = QStringLiteral("证书已过期或尚未生效。");
        break;
    case -202: // ERR_CERT_AUTHORITY_INVALID
        reason = QStringLiteral("证书不是由受信任的证书机构签发的。");
        break;
    default:
        reason = QStringLiteral("证书无效（错误 %1）。").arg(netError);
        break;
    }
    const QString server = (url.scheme() + QStringLiteral("://") + url.authority()).toHtmlEscaped();
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>证书无法验证</title>"
                          "<style>body{margin:16px;font:14px sans-serif;color:#333;background:#fff}"
                          "h1{font-size:16px;color:#b00}</style></head><body id=\"certificate-refused\">"
                          "<h1>已拒绝连接：无法验证服务器的证书</h1><p>服务器：%1</p><p>原因：%2</p>"
                          "<p>网络中的第三方可能在冒充该服务器，因此本程序没有显示它的内容。"
                          "请联系服务器的管理员。</p></body></html>")
        .arg(server, reason);
}

} // namespace

void registerWebSchemes() {
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const char *name : kProgramSchemes) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

void prepareWebEngineStart() {
    registerWebSchemes();
    // OpenGL or Qt Quick's software renderer, shared contexts or none.
    const GraphicsPlan graphics = applyGraphicsPlan();
    // Chromium refuses to start its sandbox as root.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("vantoli: running as root, web engine sandbox turned off\n", stderr);
    }
    auto addFlag = [](const QByteArray &name, const QByteArray &flag) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (flags.contains(name))
            return; // given by the user: theirs wins
        if (!flags.isEmpty())
            flags += ' ';
        flags += flag;
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    };
    // Without a GPU render node the engine's GPU process only fails and retries.
    if (graphics.webEngineGpuOff)
        addFlag("--disable-gpu", "--disable-gpu");
    // All eleven panes in one renderer process instead of one each: a sixth
    // less memory and half the time to the loaded window on two cores. The
    // price: the panes share one main thread, so a page that hangs or crashes
    // its renderer stalls or blanks the others too, and pages of different
    // sites are not kept apart by process. The panes show only the content
    // server's pages and the program's own local pages.
    addFlag("--renderer-process-limit", "--renderer-process-limit=1");
}

bool isProgramLink(const QString &address) {
    for (const char *scheme : kProgramSchemes) {
        const QString prefix = QString::fromLatin1(scheme) + QStringLiteral("://");
        if (address.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// The page: routes the engine's navigation, window and script-dialog
// callbacks to its pane.
class WebPage : public QWebEnginePage {
public:
    WebPage(QWebEngineProfile *profile, WebPane *pane) : QWebEnginePage(profile, pane), pane_(pane) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override {
        if (isMainFrame && pane_->isOwnNavigation(url))
            return true;
        WebNavigation request;
        request.address = url.toString();
        request.mainFrame = isMainFrame;
        const bool accepted = pane_->handleNavigation(request);
        if (!accepted && isMainFrame)
            pane_->noteRefused(url);
        return accepted;
    }

    QWebEnginePage *createWindow(WebWindowType) override;

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int line, const QString &source) override {
        if (message.startsWith(carrierMarker())) {
            pane_->handleCarrier(message.mid(carrierMarker().size()));
            return;
        }
        if (!pane_->isSilent())
            QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }
    void javaScriptAlert(const QUrl &origin, const QString &msg) override {
        if (!pane_->isSilent())
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl &origin, const QString &msg) override {
        return pane_->isSilent() ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &defaultValue,
                          QString *result) override {
        return pane_->isSilent() ? false
                                 : QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
    }

private:
    WebPane *pane_;
};

namespace {

// A page that only learns where a new window would go: it refuses its first
// navigation, reports the address and goes away.
class NewWindowCatcher : public QWebEnginePage {
public:
    NewWindowCatcher(QWebEngineProfile *profile, std::function<void(const QString &)> report)
        : QWebEnginePage(profile), report_(std::move(report)) {
        // A window opened without ever navigating is dropped after a while.
        QTimer::singleShot(30000, this, &QObject::deleteLater);
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override {
        if (report_) {
            auto report = std::move(report_);
            report_ = nullptr;
            report(url.toString());
        }
        deleteLater();
        return false;
    }

private:
    std::function<void(const QString &)> report_;
};

// A view whose own context menu never shows; the page's context menu event
// is reported by the injected script instead. Where that script did not run,
// the engine's request stands in (its link address may be rewritten).
class PaneView : public QWebEngineView {
public:
    explicit PaneView(QWidget *parent) : QWebEngineView(parent) {}
    std::function<void(const QString &, const QPoint &)> onMenu;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override {
        QString link;
        if (auto *request = lastContextMenuRequest())
            link = request->linkUrl().toString();
        if (onMenu)
            onMenu(link, event->globalPos());
    }
};

// The pane's own failure notice over the engine's error page: a picture on
// a plain background that fills the pane; a left click asks for a retry.
class FailureCover : public QLabel {
public:
    FailureCover(QWidget *pane, std::function<void()> retry) : QLabel(pane), retry_(std::move(retry)) {
        setAlignment(Qt::AlignCenter);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::white);
        setPalette(p);
        setCursor(Qt::PointingHandCursor);
        pane->installEventFilter(this);
        setGeometry(pane->rect());
        hide();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && retry_)
            retry_();
    }

private:
    std::function<void()> retry_;
};

} // namespace

QWebEnginePage *WebPage::createWindow(WebWindowType) {
    QPointer<WebPane> pane(pane_);
    return new NewWindowCatcher(profile(), [pane](const QString &address) {
        if (pane)
            pane->handleNewWindow(address);
    });
}

WebPane::WebPane(QWidget *parent) : QWidget(parent) {
    QWebEngineProfile *profile = QWebEngineProfile::defaultProfile();
    installSchemeHandlers(profile);

    auto *view = new PaneView(this);
    view_ = view;
    page_ = new WebPage(profile, this);
    view_->setPage(page_);
    view->onMenu = [this](const QString &link, const QPoint &pos) { emit contextMenu(link, pos); };

    QWebEngineSettings *settings = page_->settings();
    // Pages that do not declare their charset are in the system code page.
    settings->setDefaultTextEncoding(QStringLiteral("GB18030"));
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    // Local pages keep file access: without it the engine loads no picture
    // beside them and refuses the stand-in page's navigation to a local page
    // with a "%u" query. What they may read is narrowed by the guard below.
    // No local page reads remote data with cross-origin rules lifted; a page
    // opens a window only from a user's click and never touches the clipboard.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    page_->setUrlRequestInterceptor(localPageGuard());

    QWebEngineScript capture;
    capture.setName(QStringLiteral("vantoli-link-capture"));
    capture.setInjectionPoint(QWebEngineScript::DocumentCreation);
    capture.setWorldId(QWebEngineScript::ApplicationWorld);
    capture.setRunsOnSubFrames(true);
    capture.setSourceCode(linkCaptureScript());
    page_->scripts().insert(capture);

    connect(page_, &QWebEnginePage::loadingChanged, this, &WebPane::onLoadingChanged);
    // A certificate that does not verify is never accepted; the failed load
    // then shows the pane's own page (below).
    connect(page_, &QWebEnginePage::certificateError, this, [](const QWebEngineCertificateError &error) {
        QWebEngineCertificateError refused = error;
        refused.rejectCertificate();
        reportRefusal(error.url(), QStringLiteral("its certificate does not verify (%1)").arg(error.description()));
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

WebPane::~WebPane() = default;

void WebPane::setBeforeNavigateHandler(BeforeNavigateHandler handler) { beforeNavigate_ = std::move(handler); }
void WebPane::setNewWindowHandler(NewWindowHandler handler) { newWindow_ = std::move(handler); }

bool WebPane::handleNavigation(WebNavigation &request) {
    if (beforeNavigate_)
        beforeNavigate_(*this, request);
    // The program's own links are commands, never pages.
    return !request.cancel && !isProgramLink(request.address);
}

bool WebPane::isOwnNavigation(const QUrl &url) {
    if (showingOwnPage_ && url.scheme() == u"data") // the refusal page of a certificate
        return true;
    if (rawTarget_.isEmpty())
        return false;
    // The stand-in page, then the navigation it makes.
    if (url.scheme() != u"data")
        rawTarget_.clear();
    return true;
}

void WebPane::handleCarrier(const QString &payload) {
    const QJsonArray message = QJsonDocument::fromJson(payload.toUtf8()).array();
    const QString kind = message.at(0).toString();
    const QString text = message.at(1).toString();
    if (kind == u"navigate") {
        WebNavigation request;
        request.address = text;
        request.mainFrame = message.at(2).toBool(true);
        handleNavigation(request);
    } else if (kind == u"menu") {
        emit contextMenu(text, QCursor::pos());
    }
}

void WebPane::handleNewWindow(const QString &address) {
    WebNewWindow request;
    request.address = address;
    if (newWindow_)
        newWindow_(*this, request);
    if (!request.cancel) {
        const QUrl url(address);
        // xdg-open started as every program is: the browser gets none of
        // the window's descriptors.
        if (isWebAddress(url) && !openWithDesktop(QString::fromLatin1(url.toEncoded())))
            QDesktopServices::openUrl(url);
    }
}

void WebPane::navigate(const QString &address) {
    if (isProgramLink(address)) {
        WebNavigation request;
        request.address = address;
        handleNavigation(request);
        return;
    }
    // A document write still waiting was meant for the page being left.
    hasPendingWrite_ = false;
    pendingWrite_.clear();
    const QUrl url = addressToUrl(address);
    if (!hasBareEscape(address)) {
        rawTarget_.clear();
        navigationRequested_ = true;
        page_->load(url);
        return;
    }
    // QUrl would turn "%u4E2D" into "%25u4E2D", and the page would read a
    // different query than the one written. A stand-in page with the
    // target's origin navigates to the text itself instead. The handler is
    // asked here, with the text as written; the two navigations that follow
    // are this pane's own.
    WebNavigation request;
    request.address = address;
    if (!handleNavigation(request))
        return;
    rawTarget_ = rawTargetOf(address, url);
    navigationRequested_ = true;
    // The target is the pane's caller's text (a title from a link may be in
    // it): escaped for the script element, so it stays one string.
    page_->setHtml(QStringLiteral("<script>location.replace(%1)</script>").arg(scriptString(rawTarget_)), url);
}

void WebPane::refresh() {
    // On the refusal page a reload asks the refused server again.
    if (!certificateRefused_.isEmpty())
        page_->load(certificateRefused_);
    else
        page_->triggerAction(QWebEnginePage::Reload);
}
void WebPane::back() { page_->triggerAction(QWebEnginePage::Back); }
void WebPane::forward() { page_->triggerAction(QWebEnginePage::Forward); }
void WebPane::copy() { page_->triggerAction(QWebEnginePage::Copy); }
void WebPane::paste() { page_->triggerAction(QWebEnginePage::Paste); }

void WebPane::writeDocument(const QString &html) {
    pendingWrite_ = html;
    hasPendingWrite_ = true;
    // A load that was asked for or is running would replace the document:
    // the write waits for it to end.
    if (loading_ || navigationRequested_)
        return;
    if (!everLoaded_) {
        // A fresh pane has no document to write into yet.
        navigationRequested_ = true;
        page_->load(QUrl(QStringLiteral("about:blank")));
        return;
    }
    flushPendingWrite();
}

void WebPane::flushPendingWrite() {
    if (!hasPendingWrite_)
        return;
    hasPendingWrite_ = false;
    const QString literal = scriptString(pendingWrite_);
    pendingWrite_.clear();
    page_->runJavaScript(QStringLiteral("document.open();document.write(%1);document.close();").arg(literal),
                         QWebEngineScript::ApplicationWorld);
}

void WebPane::readBodyHtml(std::function<void(const QString &)> done) {
    QPointer<WebPane> self(this);
    page_->runJavaScript(QStringLiteral("document.body ? document.body.innerHTML : ''"),
                         QWebEngineScript::ApplicationWorld, [self, done = std::move(done)](const QVariant &v) {
                             if (self && done)
                                 done(v.toString());
                         });
}

void WebPane::setFailurePicture(const QPixmap &picture) {
    if (!failureCover_) {
        // The failed load is its page's current entry: a reload asks for the
        // same address again, exactly as it was first asked for.
        failureCover_ = new FailureCover(this, [this] { page_->triggerAction(QWebEnginePage::Reload); });
    }
    static_cast<QLabel *>(failureCover_)->setPixmap(picture);
}

bool WebPane::isShowingFailure() const { return failureCover_ && !failureCover_->isHidden(); }

void WebPane::showFailure(bool failed) {
    if (!failureCover_)
        return;
    if (failed) {
        // A hidden pane gets its resizes only once shown: size it now.
        failureCover_->setGeometry(rect());
        failureCover_->raise();
    }
    failureCover_->setVisible(failed);
}

void WebPane::setSilent(bool silent) { silent_ = silent; }
bool WebPane::isSilent() const { return silent_; }

QString WebPane::currentAddress() const { return page_->url().toString(); }
bool WebPane::isLoading() const { return loading_; }

void WebPane::noteRefused(const QUrl &url) {
    navigationRequested_ = false;
    // The engine still reports a start and an end for a refused navigation;
    // they are not passed on.
    refused_.append(url);
    if (refused_.size() > 8)
        refused_.removeFirst();
}

void WebPane::showCertificateRefusal(const QUrl &url, int netError) {
    // A document write waiting for this load was meant for the refused page.
    hasPendingWrite_ = false;
    pendingWrite_.clear();
    showingOwnPage_ = true;
    page_->setHtml(certificateRefusalPage(url, netError));
    certificateRefused_ = url;
}

void WebPane::onLoadingChanged(const QWebEngineLoadingInfo &info) {
    const QUrl url = info.url();
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (showingOwnPage_)
            showingOwnPage_ = false; // the refusal page itself
        else
            certificateRefused_.clear();
    }
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (refused_.removeOne(url)) {
            refusedLoad_ = url;
            return;
        }
        loading_ = true;
        navigationRequested_ = false;
        emit downloadBegin();
        return;
    }
    if (!refusedLoad_.isEmpty() && url == refusedLoad_) {
        refusedLoad_.clear();
        return;
    }
    loading_ = false;
    everLoaded_ = true;
    emit downloadComplete();
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        showFailure(false);
        flushPendingWrite();
        emit documentComplete(url.toString());
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain) {
            // No navigate error: a retry cannot help, and the page says why.
            showCertificateRefusal(url, info.errorCode());
            break;
        }
        // "Aborted" is a load that was stopped or replaced, not an error.
        if (info.errorCode() != kAbortedError ||
            info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            // A server's error reply is its own page; only a load that got
            // no reply would show the engine's page.
            showFailure(info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain);
            emit navigateError(url.toString(), info.errorCode());
        }
        flushPendingWrite();
        break;
    default:
        flushPendingWrite();
        break;
    }
}

} // namespace vantoli

#if defined(__SANITIZE_ADDRESS__)
// Qt WebEngine frees one of its own objects through a pointer to a base of a
// different size whenever a page goes away. AddressSanitizer would end every
// program with a web pane at that point; the report is not about our code.
// Options given in ASAN_OPTIONS still apply on top of this.
extern "C" const char *__asan_default_options() { return "new_delete_type_mismatch=0"; }
#endif
