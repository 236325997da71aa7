#pragma once
// The main window's controls: the tree of named children it is made of,
// built once, and found by the names the layout, the skins and the tests use.
// Every control that reports the mouse has the window as its event filter.
//
// An element of a control array carries its index in its name ("npc4",
// "bo_but6", "La0").

#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

class QLabel;
class QObject;
class QWidget;

namespace vantoli {
class WebPane;
}

namespace vantoli::shell {

struct DesignSizes;
class PictureBox;

// What a control is to the mouse.
enum class MouseRole {
    TitleButton, // npc0 to npc15
    Transport,   // bo_but0 to bo_but7
    Bar,         // the seek and volume parts
    TextButton,  // jbi, qk: red while hovered, a click acts
    SideBar,     // shan
    Cover,       // bo_ad
    Plain,       // bo_zt, zz, jia: the arrow cursor
    Footer,      // bo_foot: the bar's labels back to their looks
    CloseBox,    // ggx, gtv: the close cursor, a click closes
    MouseLayer,  // Lpeer, and the native video widget under it
    PauseAd,     // adp
};

// A control's role, and its index in its array (npc, bo_but) or its Part
// (the bars).
struct ControlRole {
    MouseRole role;
    int index = -1;
};

// What the control of this name is to the mouse; none for a control the
// window's mouse handling leaves alone.
std::optional<ControlRole> controlRole(const QString &name);

class WindowControls {
public:
    explicit WindowControls(QWidget &window);
    // The panes go first: their engine pages must go before the profile
    // they use.
    ~WindowControls();
    WindowControls(const WindowControls &) = delete;
    WindowControls &operator=(const WindowControls &) = delete;

    QWidget *control(const QString &name) const { return controls_.value(name); }
    PictureBox *pictureBox(const QString &name) const;
    QLabel *label(const QString &name) const;
    // Makes the web panes in their places. Apart from the other controls:
    // the first pane starts the web engine, which takes a while, and a
    // window started with something to play starts its player first.
    void createPanes();
    bool panesMade() const { return panesMade_; }
    // Web1 to Web11; null for any other number (and before createPanes).
    WebPane *pane(int number) const { return number >= 1 && number <= 11 ? panes_[number] : nullptr; }
    WebPane *const *panes() const { return panes_; }
    // The control's rectangle in window coordinates.
    QRect rectInWindow(const QString &name) const;
    // The sizes the layout takes from the controls' texts and pictures.
    DesignSizes designSizes() const;
    // The looks a hover on the control of this name gives the labels; true
    // when the notice line's own hover look ended with it (the footer).
    bool showHoverLook(const QString &name, QWidget *hovered);
    // The player draws into a native window of its own (X11): the mouse
    // layer's events then come from the video widget (to filter), and the
    // tooltip box, which may overlap the video, needs a native window too.
    bool videoInNativeWindow() const;
    void watchNativeVideo(QObject *filter);

private:
    void build();
    template <class T> T *add(T *widget);
    PictureBox *box(const QString &name, QWidget *parent, QSize size = {});
    QLabel *label(const QString &name, QWidget *parent, const QString &text = {});
    WebPane *pane(int number, QWidget *holder);

    QWidget &window_;
    QHash<QString, QWidget *> controls_;
    WebPane *panes_[12] = {};
    QWidget *holders_[12] = {};
    bool panesMade_ = false;
};

} // namespace vantoli::shell
