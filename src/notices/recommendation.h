#pragma once
// The recommendation window's (ba4) decisions: it closes by itself after 20
// seconds, when its close picture is clicked (the picture appears after one
// second), or when its page opens a new window, whose address then opens in
// the desktop's browser. Also where its parts go. No screen here.

#include <QRect>
#include <QSize>
#include <QString>

namespace vantoli {

inline constexpr int kRecommendationLifeMs = 20000; // Timer1
inline constexpr int kRecommendationIconMs = 1000;  // Timer2
inline constexpr QSize kRecommendationSize{660, 184};

class RecommendationView {
public:
    virtual ~RecommendationView() = default;
    virtual void setLifeTimer(bool enabled) = 0; // Timer1
    virtual void setIconTimer(bool enabled) = 0; // Timer2
    virtual void showCloseIcon() = 0;
    virtual void openInBrowser(const QString &url) = 0;
    // Closes the window; the program ends with it.
    virtual void closeWindow() = 0;
};

class RecommendationCloser {
public:
    explicit RecommendationCloser(RecommendationView &view) : view_(view) {}

    void start();                // the window was shown: both timers run
    void iconTick();             // Timer2
    void lifeTick();             // Timer1
    void closeIconClicked();
    void newWindow(const QString &address);

    bool closed() const { return closed_; }

private:
    void close();

    RecommendationView &view_;
    bool iconShown_ = false;
    bool closed_ = false;
};

struct RecommendationPlacement {
    QRect frame;     // Pc1, the page's holder
    QRect pane;      // Web1 inside Pc1, its border bled out
    QPoint closeIcon;
};

// Parts of a window whose inner size is inner.
RecommendationPlacement placeRecommendation(QSize inner, QSize closeIconSize);

// The window's place: centred in the work area, and never larger than it.
QRect recommendationWindowRect(const QRect &workArea);

} // namespace vantoli
