#pragma once
// The recommendation window ba4, shown once when the program quits: the
// content server's page "js/ads/tui.html" in a small borderless window that
// closes after 20 seconds, on its close picture (shown after one second) or
// when the page opens a new window. Closing it ends the program.

#include "notices/recommendation.h"

#include <QTimer>
#include <QWidget>

#include <functional>

namespace vantoli {

class ClosePicture;
class Dialogs;
class WebPane;

class ba4 final : public QWidget, private RecommendationView {
    Q_OBJECT
public:
    // Deletes itself when closed; onClosed then runs (the program's quit).
    ba4(Dialogs &dialogs, const QString &contentBase, std::function<void()> onClosed);
    ~ba4() override;

    // Window start-up: loads the page, places the window, starts the timers.
    void start();

    RecommendationCloser &closer() { return closer_; }
    WebPane *pane() const { return web_; }
    QWidget *closeIcon() const;

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    void setLifeTimer(bool enabled) override;
    void setIconTimer(bool enabled) override;
    void showCloseIcon() override;
    void openInBrowser(const QString &url) override;
    void closeWindow() override;

    Dialogs &dialogs_;
    QString page_;
    std::function<void()> onClosed_;
    RecommendationCloser closer_{*this};
    QTimer timer1_; // life
    QTimer timer2_; // close picture
    QWidget *pc1_ = nullptr;
    WebPane *web_ = nullptr;
    ClosePicture *picture1_ = nullptr;
};

} // namespace vantoli
