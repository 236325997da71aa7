#pragma once
// The panes' small care besides their links: no script dialogs once a page
// starts loading, the program's own context menus instead of the engine's,
// a retry picture when the catalog's home page fails, and the advertisement
// panes put away when their pages fail.

#include "playback/playback_session.h"
#include "playback/playback_view.h"

#include <QPoint>
#include <QString>

namespace vantoli {

class Player;

enum class PaneMenu { Main, History, Player };

class PaneEventsHost {
public:
    virtual ~PaneEventsHost() = default;
    virtual void setPaneSilent(int pane) = 0;
    virtual void popupMenu(PaneMenu menu, const QPoint &globalPos) = 0;
    // The picture jia shows in the waiting box: the retry picture (w3, which
    // tells the user that a click loads the home page again) or the loading
    // picture.
    virtual void showHomeRetryPicture(bool retry) = 0;
};

class PaneEvents {
public:
    PaneEvents(PaneEventsHost &host, PlaybackView &view, PlaybackSession &session, Player &player,
               QString contentBase);

    void downloadBegin(int pane);
    void downloadComplete(int pane);
    void navigateError(int pane, const QString &url);
    // Right click in a pane; link is the raw href under the pointer.
    void contextMenu(int pane, const QString &link, const QPoint &globalPos);
    // The retry picture of the catalog pane: the home page loads again, with
    // the loading picture until it has loaded or failed again.
    void jiaClicked();

    bool homeLoadFailed() const { return homeLoadFailed_; }
    // The history row under the last right click in the network-task list.
    const QString &contextEntry() const { return contextEntry_; }

private:
    PaneEventsHost &host_;
    PlaybackView &view_;
    PlaybackSession &session_;
    Player &player_;
    QString contentBase_;
    bool homeLoadFailed_ = false;
    QString contextEntry_;
};

} // namespace vantoli
