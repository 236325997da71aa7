#pragma once
// The settings dialog BA3: a borderless window over the main window,
// painted from the current skin like the main window's compact frame, with a
// vertical tab strip on the left and three pages (about, settings, cache).
// It only shows SettingsDialogModel and forwards its clicks to it.
//
// Controls carry their object names; an element of a control array carries
// its index in its name ("Check15", "d_z0", "pz2", "L10").

#include "settings/settings_dialog.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantoli::shell {
class SkinSet;
}

namespace vantoli {

// The tab captions by tab index, and the colours of a tab label.
QString settingsTabCaption(int index);
struct TabLook {
    QColor background;
    QColor text;
};
TabLook settingsTabLook(bool selected);

// The about page's version line for a version text such as "1.0".
QString aboutVersionLine(const QString &version);

// Where the dialog opens: centred over its owner window, kept inside the
// screen's work area.
QPoint centredOver(const QRect &owner, QSize size, const QRect &workArea);

class BA3 final : public QWidget, public SettingsDialogView {
    Q_OBJECT
public:
    BA3(SettingsDialogHost &host, const shell::SkinSet &skin, QWidget *parent = nullptr);

    // Selects tab 0 (about), 1 (settings) or 2 (cache).
    void d_z_Click(int index);
    int selectedTab() const { return selectedTab_; }
    // Paints the frame and the close button from the current skin again
    // (after a skin switch) and places the controls.
    void F2_Paint();

    SettingsDialogModel &model() { return model_; }

    // Buttons.
    void cmdApply_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void Command1_Click();

    // SettingsDialogView.
    void setChangingNoticeVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildSettingsPage(QWidget *page);
    void buildCachePage(QWidget *page);
    void buildAboutPage(QWidget *page);
    void showModel();
    // False when the dialog was deleted meanwhile; *accepted tells whether
    // the model took the input.
    bool applyAndSurvive(bool *accepted = nullptr);
    void takeFieldTexts();
    void showPeerFields();
    void showLinkLook();
    void paintCloseButton(bool hover);
    QLabel *makeLabel(const QString &name, QWidget *parent, const QString &text);

    SettingsDialogModel model_;
    SettingsDialogHost &host_;
    const shell::SkinSet &skin_;
    int selectedTab_ = -1;
    bool closeHover_ = false;
    qint64 paintedFrameKey_ = 0;
    std::optional<QPoint> dragOffset_; // press point in the dialog while it follows the mouse
    QWidget *p1_ = nullptr, *p2_ = nullptr, *p3_ = nullptr, *pic4_ = nullptr;
    QLabel *name_ = nullptr, *guan_ = nullptr, *dengdeng_ = nullptr, *link_ = nullptr;
    QLabel *tabs_[3] = {};
    QWidget *pages_[3] = {};
    QCheckBox *boxes_[9] = {}; // by box index
    QLineEdit *text1_ = nullptr;
    QLineEdit *uploadLimit_ = nullptr, *listenPort_ = nullptr;
    QCheckBox *seeding_ = nullptr;
    QPushButton *apply_ = nullptr, *ok_ = nullptr, *cancel_ = nullptr, *browse_ = nullptr;
};

} // namespace vantoli
