#pragma once
// One embedded web pane: a QWebEngineView with the small command set and the
// events the program's panes rely on.
//
// Links in the program's own schemes ("kxpeer://", "kxbovod://", "kxtvs://",
// "open://", "delk://") reach the before-navigate handler exactly as written
// in the page: a script injected into every frame catches clicks on such
// links, cancels them and reports the raw href to the pane, because the
// engine would rewrite the address ("open://7" becomes "open://0.0.0.7", an
// invalid escape such as "%u4E2D" empties it). Whatever the handler decides,
// the pane never leaves its page for one of these links.

#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QUrl>
#include <QString>
#include <QWidget>

#include <functional>

class QWebEngineLoadingInfo;
class QWebEngineView;

namespace vantoli {

class WebPage;

// Registers the program's URL schemes and the carrier scheme with the web
// engine. Must run before QApplication exists; later calls do nothing.
void registerWebSchemes();

// Everything the web engine needs before QApplication exists: the schemes
// above, OpenGL or the software scene (graphics_path.h), the sandbox turned
// off when running as root (said once on standard error) and "--disable-gpu"
// when the machine has no GPU render node. Call once at the top of main().
void prepareWebEngineStart();

// True when the address starts with one of the program's own schemes
// (case-insensitive).
bool isProgramLink(const QString &address);

struct WebNavigation {
    // For links in the program's schemes: the text exactly as written in the
    // page (or as passed to navigate()). Otherwise the target URL as text.
    QString address;
    bool mainFrame = true;
    // Set by the handler to keep the pane on its page.
    bool cancel = false;
};

struct WebNewWindow {
    QString address;
    // When the handler leaves this false, an http(s) address opens in the
    // user's browser; nothing opens inside the program.
    bool cancel = false;
};

class WebPane : public QWidget {
    Q_OBJECT
public:
    explicit WebPane(QWidget *parent = nullptr);
    ~WebPane() override;

    using BeforeNavigateHandler = std::function<void(WebPane &, WebNavigation &)>;
    using NewWindowHandler = std::function<void(WebPane &, WebNewWindow &)>;

    void setBeforeNavigateHandler(BeforeNavigateHandler handler);
    void setNewWindowHandler(NewWindowHandler handler);

    // An absolute local path (optionally followed by "?query"), a URL, or a
    // link in one of the program's schemes (handed to the before-navigate
    // handler at once, never loaded). The page reads its query exactly as
    // given, "%u4E2D" escapes included.
    void navigate(const QString &address);
    void refresh();
    void back();
    void forward();
    void copy();
    void paste();

    // Replaces the document's HTML with this text (document.open, write,
    // close); waits for a load in progress to finish first.
    void writeDocument(const QString &html);
    // Reads document.body.innerHTML; done receives "" when there is no body.
    // done is not called when the pane is destroyed first.
    void readBodyHtml(std::function<void(const QString &)> done);

    // A load that fails without a reply from a server (server down,
    // connection refused or cut, unknown host) covers the engine's own error
    // page with this picture until a page loads; a click on it loads the
    // failed address again. Without a picture the engine's page shows.
    void setFailurePicture(const QPixmap &picture);
    bool isShowingFailure() const;

    // Silent: no script dialogs (alert, confirm, prompt) and no console
    // output from the page's scripts.
    void setSilent(bool silent);
    bool isSilent() const;

    QString currentAddress() const;
    bool isLoading() const;
    QWebEngineView *view() const { return view_; }

signals:
    // A page load started / ended (successfully, stopped or failed).
    void downloadBegin();
    void downloadComplete();
    // A load failed. statusCode: the HTTP status for HTTP errors, otherwise
    // the engine's (negative) network error code. Never sent for loads that
    // were cancelled or stopped, nor for an https server whose certificate
    // does not verify (unknown authority, another host name, expired): that
    // server is refused, never accepted, and the pane shows its own page
    // naming the server and the reason (standard error says it once).
    void navigateError(const QString &address, int statusCode);
    // The main frame's document finished loading.
    void documentComplete(const QString &address);
    // The page asked for its context menu (right click). link is the raw
    // href of the link under the pointer, empty when there is none. The
    // engine's own menu is never shown.
    void contextMenu(const QString &link, const QPoint &globalPos);

private:
    friend class WebPage;
    bool handleNavigation(WebNavigation &request);
    bool isOwnNavigation(const QUrl &url);
    void handleCarrier(const QString &payload);
    void handleNewWindow(const QString &address);
    void noteRefused(const QUrl &url);
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void showCertificateRefusal(const QUrl &url, int netError);
    void flushPendingWrite();
    void showFailure(bool failed);

    QWebEngineView *view_ = nullptr;
    WebPage *page_ = nullptr;
    BeforeNavigateHandler beforeNavigate_;
    NewWindowHandler newWindow_;
    bool silent_ = false;
    bool loading_ = false;
    bool everLoaded_ = false;
    bool navigationRequested_ = false; // navigate() called, no load started yet
    QList<QUrl> refused_;              // refused navigations not yet reported
    QUrl refusedLoad_;                 // the refused navigation being reported
    bool hasPendingWrite_ = false;
    QString pendingWrite_;
    QString rawTarget_; // set while a stand-in page navigates to it
    QWidget *failureCover_ = nullptr; // made by setFailurePicture
    bool showingOwnPage_ = false; // the refusal page is on its way in
    QUrl certificateRefused_;     // the server the refusal page is about
};

} // namespace vantoli
