#pragma once
// The player's side of the transfer program (PeerTerminal). When it runs, a
// network item is played through it from a local address, and its download
// progress and speed come from its status replies, polled in the background
// so that reading them never waits. When it does not run, nothing here is
// used and the player goes to the network itself.

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace vantoli {

class AsyncHttpGet;

// The web seed (an http or https address) of a torrent file's bytes, when
// its info dictionary has the v1 info-hash `infoHash` (40 hex digits); ""
// when it does not, or names none.
QString webSeedOfTorrent(const QByteArray &torrent, const QString &infoHash);

// Looks up the web seed of a peer address ("peer://" size "|" info-hash "|"
// name "|") in its torrent on the content server at contentBase, through
// the program's HTTP layer (its time-out, certificate checks, redirect rules
// and size limit). Nothing waits for it: the seed comes later, on the UI
// thread and never from inside start(), "" when there is none to be had.
// One lookup at a time: a new one, cancel() or the lookup's end drops the
// one waiting, whose reply then never comes. The getter must outlive it.
class WebSeedLookup {
public:
    using Reply = std::function<void(const QString &seed)>;
    explicit WebSeedLookup(AsyncHttpGet &http) : http_(http) {}
    ~WebSeedLookup() { cancel(); }
    WebSeedLookup(const WebSeedLookup &) = delete;
    WebSeedLookup &operator=(const WebSeedLookup &) = delete;

    void start(const QString &contentBase, const QString &peerAddress, Reply reply);
    void cancel();
    bool waiting() const { return id_ != 0; }

private:
    AsyncHttpGet &http_;
    quint64 id_ = 0;
};

class TerminalClient : public QObject {
    Q_OBJECT
public:
    // portFile: where the terminal names its port; empty for its usual place.
    explicit TerminalClient(QString portFile = {}, QObject *parent = nullptr);
    ~TerminalClient() override;

    // Whether a terminal answers now. Asks it at most every few seconds; an
    // answer takes a loopback round trip, a missing port file nothing, and a
    // terminal that hangs at most a few hundred milliseconds.
    bool available();
    // The content server whose torrents the terminal fetches for peer
    // addresses (its base URL, ending with "/").
    void setContentBase(const QString &base) { contentBase_ = base; }
    // The local address that plays an http(s) item or a peer address
    // through the terminal; "" for other items or when no terminal answers.
    QString playAddress(const QString &url);
    // Asks the terminal to fetch the start of an item; false when none answers.
    bool prefetch(const QString &url);

    // Polls the status of this item every second ("" stops).
    void watch(const QString &url);
    QString watched() const { return watched_; }
    int progress() const { return progress_; } // thousandths
    int speed() const { return speed_; }       // KB/s
    int uploadSpeed() const { return upload_; } // KB/s, to other viewers
    int peers() const { return peers_; }        // other viewers connected

signals:
    void statusChanged();

private:
    int port();
    void poll();
    QString localUrl(const char *path, const QString &url) const;
    bool servable(const QString &url) const;

    QString portFile_;
    int port_ = 0;
    QString token_; // from the port file; sent with every request
    bool alive_ = false;
    std::chrono::steady_clock::time_point checkedAt_{};
    QNetworkAccessManager *network_ = nullptr;
    QNetworkReply *pending_ = nullptr;
    QTimer timer_;
    QString watched_;
    int progress_ = 0;
    int speed_ = 0;
    int upload_ = 0;
    int peers_ = 0;
    QString contentBase_;
};

} // namespace vantoli
