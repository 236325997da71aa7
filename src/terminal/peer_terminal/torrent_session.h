#pragma once
// The peer-to-peer side of the transfer program: one libtorrent session
// that fetches items named by a peer address ("peer://" size "|" info-hash
// "|" name "|") from other viewers and from the content server's web seed,
// and uploads to other viewers.
//
// The session is made with every discovery feature off from its first
// moment (no DHT, no local peer discovery, no UPnP or NAT-PMP): settings
// changed after construction would come too late, as those start at once.
// It listens and connects only on the configured address, over TCP (uTP
// off). Torrents are taken only when they match the peer address exactly
// (v1 info-hash, one file of the stated size, private) and their file is
// stored under a name the caller chooses in the cache folder, so a torrent
// can neither name where its bytes go nor make the session read other files.
//
// Pieces are fetched in order from the earliest reader on (a player reads
// in order, and so do the other viewers); the piece a reader waits for has
// a deadline. The web seed is a peer of the torrent only while some reader
// is short of seconds of playback ahead that no other viewer can bring, or
// no other viewer is connected: everything else comes from the viewers.

#include <QByteArray>
#include <QString>

#include <libtorrent/download_priority.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace libtorrent {
class session;
class torrent_info;
struct settings_pack;
}

namespace vantoli::terminal {

// The fields of a peer address.
struct PeerAddress {
    std::int64_t size = 0;
    std::string infoHash; // 40 lower-case hex digits
    QString name;
};
bool isPeerAddress(const QString &address);
std::optional<PeerAddress> parsePeerAddress(const QString &address);

// A torrent that matches its peer address, with its web seeds (http and
// https only) taken out of it: the session adds them when it needs them.
struct CheckedTorrent {
    std::shared_ptr<const libtorrent::torrent_info> info;
    std::vector<std::string> webSeeds;
    int pieceLength = 0;
    int pieces = 0;
};
// Parses a torrent file's bytes and checks them against the address;
// nullopt with *error when they do not match.
std::optional<CheckedTorrent> checkTorrent(const QByteArray &bytes, const PeerAddress &address,
                                           std::string *error);

struct PeerSettings {
    // The address the session listens on and connects from.
    std::string address = "127.0.0.1";
    int listenPort = 0; // 0: any free port
    // Upload cap in bytes per second; 0 for none.
    int uploadRateLimit = 0;
    // Keep uploading an item once it is complete and nobody reads it.
    bool seeding = true;
    // The upload cap holds for peers on the same network (loopback, LAN) as
    // well; libtorrent leaves them uncapped otherwise.
    bool capLocalPeers = true;
    // The web seed is steered by seconds of playback verified ahead of each
    // reader, at the pace that reader reads (minReaderRate while it is not
    // known yet). It goes on when a reader has less than lowSeconds ahead
    // and no connected viewer holds its next piece, or less than
    // criticalSeconds for a while whoever holds it; it goes off once every
    // reader has highSeconds ahead, or lowSeconds and a viewer that holds
    // its next piece.
    double lowSeconds = 3;
    double highSeconds = 10;
    double criticalSeconds = 1;
    std::int64_t minReaderRate = 1 << 20;
    // A read within this far past a reader (or as far as it reads in
    // highSeconds) is that reader reading on; further is a seek.
    std::int64_t readerWindow = 8 << 20;
};

// The session's settings for `settings`: discovery off, TCP only, bound to
// the one address.
libtorrent::settings_pack sessionSettings(const PeerSettings &settings);

struct PeerStatus {
    bool known = false;
    bool checking = false;
    bool complete = false;
    std::int64_t verifiedBytes = 0;
    int downloadRate = 0; // bytes per second
    int uploadRate = 0;
    int peers = 0;         // other viewers connected (the web seed not counted)
    bool webSeedOn = false;
    std::string error;
};

class TorrentSession {
public:
    // Called from the session's thread when an item has more verified
    // bytes (at most every few MiB) and when it is complete.
    using ProgressFn = std::function<void(const std::string &infoHash, std::int64_t verified, bool complete)>;

    explicit TorrentSession(PeerSettings settings, ProgressFn onProgress = {});
    ~TorrentSession();
    TorrentSession(const TorrentSession &) = delete;
    TorrentSession &operator=(const TorrentSession &) = delete;

    const PeerSettings &settings() const { return settings_; }
    // The port the session listens on; 0 when it could not listen.
    int listenPort() const;
    // Waits until the session listens (true) or could not (false).
    bool waitUntilListening(std::chrono::milliseconds timeout);
    // The settings in force (tests).
    libtorrent::settings_pack currentSettings() const;

    // Starts the item, or resumes from what its file holds: pieces already
    // there are checked by hash before they count. The file is `fileName`
    // in `folder`; a reader starts at firstOffset (-1: none yet). `whole`:
    // the caller knows the file to be the complete item (it arrived checked
    // and is still the file that was written then); it is not read through
    // at once, each piece is checked before it is first uploaded. "" on
    // success, else why not.
    std::string add(const CheckedTorrent &torrent, const QString &folder, const QString &fileName,
                    std::int64_t firstOffset = -1, bool whole = false);
    bool has(const std::string &infoHash) const;
    // Takes the item out of the session; its file stays.
    void remove(const std::string &infoHash);

    // A reader needs bytes from `offset` on: the pieces of the window after
    // it get deadlines, the first at once. An offset outside every reader's
    // window is a seek, which drops older deadlines.
    void want(const std::string &infoHash, std::int64_t offset);
    // Verified bytes from `offset` on, at most `limit`.
    std::int64_t verifiedBytes(const std::string &infoHash, std::int64_t offset, std::int64_t limit) const;
    // Waits until the piece holding `offset` is verified (true), the item
    // failed or went, or the time is up.
    bool waitFor(const std::string &infoHash, std::int64_t offset, std::chrono::milliseconds timeout);

    PeerStatus status(const std::string &infoHash) const;

private:
    struct Reader;
    struct Torrent;
    std::shared_ptr<Torrent> find(const std::string &infoHash) const;
    void run();
    void handleAlerts();
    void tick();
    std::vector<libtorrent::download_priority_t> skipBefore(Torrent &t, int piece);
    std::int64_t windowOf(const Reader &r) const;
    void setDeadlines(Torrent &t, Reader &r, bool seek);

    PeerSettings settings_;
    ProgressFn onProgress_;
    std::unique_ptr<libtorrent::session> session_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::shared_ptr<Torrent>> torrents_;
    bool stopping_ = false;
    int listening_ = 0; // 1 listening, -1 could not, 0 not known yet
    bool tickNow_ = false; // the session thread decides at once, not at its next round
    std::thread thread_;
};

} // namespace vantoli::terminal
