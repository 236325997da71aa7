#pragma once
// The transfer program's work: an HTTP server on 127.0.0.1 that plays http(s)
// items out of the cache folder while they download.
//
// - GET /play?url=U serves item U with byte ranges. The item is fetched once
//   into a file of the cache folder named after it; readers get what has
//   arrived and wait for the rest; a read far ahead of the download is served
//   by a range fetch of its own from the origin.
// - GET /prefetch?url=U fetches the first `prefetchBytes` of U.
// - GET /status?url=U answers {"progress":thousandths,"speed":KB/s,...}.
// - A partial download keeps its file and a small state file and goes on
//   from there when the item is asked for again, also after a restart.
// - The folder holds at most `cacheLimitBytes` of our items and leaves
//   `freeMarginBytes` free: the least recently played go first; an item
//   being read or downloaded is never deleted. An item is stored only up to
//   what fits; the rest is read from the origin.
// - A file is deleted or written only while it is still the file the
//   service wrote (device, inode, size, modification time, kept in its state
//   file). Files without a state file, or that took the place of one of
//   ours, are not ours and are left alone.
// - A failed write (a full disk) fails the item: its readers are served
//   from the origin and the download is tried again only after a pause that
//   grows with every failure.
// - Without the configured token a request is answered 403.
// - A peer address ("peer://" size "|" info-hash "|" name "|") is played
//   from other viewers and the content server's web seed through a
//   TorrentSession: its torrent comes from the content server the request
//   names (`server=`), only hash-checked bytes are served, and the reader's
//   position steers which pieces come first. When the torrent cannot be
//   used there, the item is served as a plain http item from its web seed.

#include "terminal/peer_terminal/torrent_session.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
class DataSink;
}

namespace vantoli::terminal {

struct TerminalConfig {
    QString cacheFolder;
    std::int64_t cacheLimitBytes = std::int64_t(4) << 30;
    std::int64_t prefetchBytes = 32 << 20;
    // A read further past the downloaded bytes than this, or than the
    // download brings in two seconds, is fetched from the origin directly
    // instead of waiting for the download.
    std::int64_t aheadBytes = 256 << 10;
    int connectTimeoutSeconds = 10;
    int readTimeoutSeconds = 20;
    int serverThreads = 16;
    // A connection's whole request head must arrive within this time.
    int requestHeadMs = 5000;
    // Connections at once from any one other local user.
    int connectionsPerOtherUser = 4;
    // Every request but /ping must carry it as the `t` parameter; empty
    // accepts any.
    QString token;
    // Free space the cache leaves on its file system: older items are
    // evicted, and then an item is no longer stored, to keep it.
    std::int64_t freeMarginBytes = std::int64_t(512) << 20;
    // Seams for tests that play a full disk: the free bytes of the cache
    // folder's file system (-1 unknown) and the write of downloaded bytes.
    std::function<std::int64_t()> freeBytes;
    std::function<long(int fd, const char *data, std::size_t n, std::int64_t at)> writeAt;
    // Peer items: off, and they fail unless a web seed is known.
    bool peerToPeer = true;
    PeerSettings peer;
};

struct Item;
class ConnectionGate;

class TerminalService {
public:
    explicit TerminalService(TerminalConfig config);
    ~TerminalService();
    TerminalService(const TerminalService &) = delete;
    TerminalService &operator=(const TerminalService &) = delete;

    // Binds 127.0.0.1 on `port` (0: any free one) and serves on a thread of
    // its own, through a ConnectionGate. False when the port cannot be bound.
    bool start(int port = 0);
    int port() const { return port_; }
    // Ends every download (their state is kept) and the server.
    void stop();

    // Origin fetches started by downloads and ahead reads (tests).
    int originFetches() const { return originFetches_; }
    const TerminalConfig &config() const { return config_; }
    // The peer-to-peer session; nullptr until a peer item needs it (tests).
    TorrentSession *torrentSession() const { return torrents_.load(); }

private:
    void loadIndex();
    // The item of an address, made when new; `reader` counts a reader on it
    // before anything can evict it.
    std::shared_ptr<Item> itemFor(const QString &url, bool reader, const QString &fileName = {});
    void releaseReader(const std::shared_ptr<Item> &item);
    void forgetIfNothingArrived(const std::shared_ptr<Item> &item);
    void removeFiles(const std::shared_ptr<Item> &item);
    void ensureDownloading(const std::shared_ptr<Item> &item, std::int64_t upTo);
    void download(std::shared_ptr<Item> item);
    bool waitForHead(const std::shared_ptr<Item> &item);
    // Sends what has arrived from `offset` on, waiting for it when needed.
    // `chunked`: the item has no stated length, and its end ends the reply.
    bool streamTo(const std::shared_ptr<Item> &item, std::size_t offset, std::size_t length, httplib::DataSink &sink,
                  bool chunked = false);
    bool streamFromOrigin(const std::shared_ptr<Item> &item, std::size_t offset, std::size_t length,
                          httplib::DataSink &sink);
    void saveState(const std::shared_ptr<Item> &item);
    void noteFile(const std::shared_ptr<Item> &item, int fd);
    std::int64_t freeBytes() const;
    void enforceLimit();
    void handlePlay(const httplib::Request &req, httplib::Response &res);
    void servePlain(const httplib::Request &req, httplib::Response &res, const QString &url);
    void servePeer(const httplib::Request &req, httplib::Response &res, const QString &url);
    // Puts a peer item into the session, its torrent fetched from `server`
    // (or from where it came last time) when not known yet, with a reader
    // at firstOffset (-1: none). False with *error when it cannot be
    // played from peers.
    bool startPeer(const std::shared_ptr<Item> &item, const PeerAddress &address, const QString &server,
                   std::string *error, std::int64_t firstOffset);
    bool streamPeer(const std::shared_ptr<Item> &item, std::size_t offset, std::size_t length,
                    httplib::DataSink &sink);
    void peerProgress(const std::string &infoHash, std::int64_t verified, bool complete);
    void startSeeding();
    // Replies 416 for a range the item does not have; false then.
    static bool rangeAcceptable(const httplib::Request &req, httplib::Response &res, std::int64_t total);
    void handlePrefetch(const httplib::Request &req, httplib::Response &res);
    void handleStatus(const httplib::Request &req, httplib::Response &res);
    bool authorised(const httplib::Request &req, httplib::Response &res) const;
    QString filePath(const QString &name) const;

    TerminalConfig config_;
    std::unique_ptr<httplib::Server> server_;
    std::unique_ptr<ConnectionGate> gate_;
    std::string socketFolder_; // private; holds the server's Unix socket
    std::thread serverThread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> originFetches_{0};

    std::mutex mutex_; // the index; taken before any item's own mutex
    std::map<QString, std::shared_ptr<Item>> items_; // by origin address
    std::map<std::string, std::shared_ptr<Item>> peerItems_; // in the session, by info-hash
    // Made when the first peer item needs it, so that a terminal that plays
    // only http items opens no peer port.
    TorrentSession *openSession();
    std::mutex sessionMutex_;
    std::unique_ptr<TorrentSession> sessionOwner_;
    std::atomic<TorrentSession *> torrents_{nullptr};
    std::thread seeder_; // puts cached peer items back into the session at start
    std::mutex workersMutex_;
    std::condition_variable workersDone_;
    int workers_ = 0; // running download threads
};

} // namespace vantoli::terminal
