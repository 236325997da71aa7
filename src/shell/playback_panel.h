#pragma once
// What playback shows in the main window, over the window's controls: the
// parts by name, the transport buttons' faces, the status, times and title
// lines, and the few window commands the playback controllers use.

#include "playback/playback_view.h"

#include <QString>

#include <functional>

class QWidget;

namespace vantoli::shell {

class SkinSet;
class WindowControls;
class WindowModes;

class PlaybackPanel final : public PlaybackView {
public:
    PlaybackPanel(QWidget &window, WindowControls &controls, WindowModes &modes, const SkinSet &skin);

    // Set once the tray icon and the menus exist.
    void setBalloon(std::function<void(const QString &)> balloon) { balloon_ = std::move(balloon); }
    void setMuteCaption(std::function<void(bool)> caption) { muteCaption_ = std::move(caption); }
    // The title of the item playing, as the title line shows it.
    const QString &title() const { return title_; }

    bool isShown(Part part) const override;
    void setShown(Part part, bool shown) override;
    QRect geometryOf(Part part) const override;
    void setGeometryOf(Part part, const QRect &geometry) override;
    void setTextOf(Part part, const QString &text) override;
    void setToolTipOf(Part part, const QString &text) override;
    QRect transportButtonRect(int button) const override;
    void setTransportToolTip(int button, const QString &text) override;
    void setTransportEnabled(int button, bool enabled) override;
    void setTransportCapture(int button, bool capture) override;
    void setStatus(const QString &text) override;
    void setTimes(const QString &text, TimesLine line) override;
    void clearTimes() override;
    void setTitle(const QString &text) override;
    void setProgress(int position, int duration, int buffered) override;
    void hideBuffered() override;
    void showTransportTip(int button, const QString &text) override;
    void paintTransportFrame(int button, int strip, int frame) override;
    void hideTooltipBox() override;
    void balloon(const QString &text) override;
    void navigatePane(int number, const QString &url) override;
    void npc_Click(int index) override;
    int mainTab() const override;
    bool isTopmost() const override;
    void setMuteMenuCaption(bool muted) override;
    QSize clientSize() const override;
    void resetCursor() override;
    bool clickSuppress() const override;
    void setClickSuppress(bool on) override;

private:
    QWidget *part(Part p) const;
    QWidget *transportButton(int button) const;
    void setLabelText(QWidget *label, const QString &text, bool keepWidth = false);

    QWidget &window_;
    WindowControls &controls_;
    WindowModes &modes_;
    const SkinSet &skin_;
    std::function<void(const QString &)> balloon_;
    std::function<void(bool)> muteCaption_;
    QString title_;
};

} // namespace vantoli::shell
