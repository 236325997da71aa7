#pragma once
// The before-navigate handlers of the panes: where the program's own links
// (media, by-number, TV, history open and delete) and the end-of-play signal
// are caught and turned into playback and history actions. Each handler gets
// the link exactly as the page wrote it and says whether the pane must stay
// on its page. Only the panes and link forms listed below act; any other
// program link is cancelled and does nothing.
//
//   Web1  by-number links, media links
//   Web2  the end-of-play signal
//   Web3  history delete and open links
//   Web4  history links, handed on to Web3
//   Web5  by-number and media links, handed on to Web1
//   Web11 TV links

#include "app/settings_file.h"
#include "platform/http_get.h"
#include "playback/playback_session.h"
#include "playback/playback_view.h"

#include <QString>

namespace vantoli {

class Dialogs;
class HistoryStore;
class Player;

// What the handlers need from the window beyond the playback view.
class CatalogHost {
public:
    virtual ~CatalogHost() = default;
    // Reloads pane WebN's current page.
    virtual void refreshPane(int number) = 0;
    // The local-play list is the one shown beside the player (the history
    // list label reads "∴ 清空列表").
    virtual bool localListShown() const = 0;
    // Starts the transfer program when it is not running.
    virtual void ensureTransferRunning() = 0;
    // Navigates the statistics pane to the play ping.
    virtual void sendPlayPing() = 0;
    // Shows the episode list of a title in the episode list pane (DangJ).
    virtual void showEpisodeList(const QString &title, int videoId, int source, int episode) = 0;
};

struct CatalogServices {
    Player *player = nullptr;
    PlaybackSession *session = nullptr;
    PlaybackView *view = nullptr;
    PlaybackTimers *timers = nullptr;
    PlayAreaSwitch *playArea = nullptr;
    HistoryStore *history = nullptr;
    AsyncHttpGet *lookups = nullptr; // the by-number episode lookup
    Dialogs *dialogs = nullptr;
    CatalogHost *host = nullptr;
    const Settings *settings = nullptr;
    QString contentBase;
    QString playEndedUrl;
};

// Status text for an address the player may not open.
inline const QString kRefusedAddressText = QStringLiteral("无法播放此地址");

class PaneHandlers {
public:
    explicit PaneHandlers(const CatalogServices &services);

    // Before-navigate of pane WebN to `address`; true cancels the navigation.
    bool beforeNavigate(int pane, const QString &address);

    // The single handlers, for the panes that hand links on.
    void playMediaLink(const QString &link);
    // Asks the server and returns; the reply plays the episode. A second
    // by-number link while the lookup waits replaces it, and a reply that
    // comes after another item started is dropped.
    void lookUpByNumber(const QString &link);
    // Drops a lookup still waiting (the window is closing).
    void cancelLookup();
    void endOfPlay();
    void historyDelete(const QString &link);
    void historyOpen(const QString &link);
    void openTvChannel(const QString &link);

private:
    void startPlayer(const QString &url);
    void refuseAddress();
    void byNumberReplied(const QString &link, const QString &reply);

    CatalogServices s_;
    SingleFetch byNumber_;
};

} // namespace vantoli
