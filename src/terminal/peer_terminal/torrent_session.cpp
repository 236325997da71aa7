#include "terminal/peer_terminal/torrent_session.h"

#include <QRegularExpression>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/bdecode.hpp>
#include <libtorrent/error_code.hpp>
#include <libtorrent/hex.hpp>
#include <libtorrent/ip_filter.hpp>
#include <libtorrent/peer_info.hpp>
#include <libtorrent/posix_disk_io.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include <algorithm>
#include <set>

namespace lt = libtorrent;

namespace vantoli::terminal {

namespace {

using Clock = std::chrono::steady_clock;

// A reader that has not asked for this long is gone.
constexpr auto kReaderLife = std::chrono::seconds(10);
// Verified bytes between progress reports.
constexpr std::int64_t kReportEvery = 4 << 20;
// The largest torrent file taken: far more than a single file's pieces need.
constexpr int kMaxTorrentBytes = 16 << 20;
// The most one web seed request asks for. A request that has started is not
// taken back, so a seek waits for it; small ones keep that wait short.
constexpr int kWebSeedRequest = 1 << 20;
// The longest stretch past a reader within which a read is that reader
// reading on, whatever its pace.
constexpr std::int64_t kMaxWindow = 64 << 20;
// After the tracker named other viewers, they have this long to connect and
// say what they hold before the web seed stands in for them.
constexpr auto kPeerGrace = std::chrono::milliseconds(1500);
// A reader short of criticalSeconds for this long gets the web seed, even
// when viewers hold what it needs: they do not deliver in time.
constexpr auto kCriticalFor = std::chrono::milliseconds(1500);

double secondsOf(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string hexOf(const lt::sha1_hash &h) {
    return lt::aux::to_hex(h);
}

bool isWebUrl(const std::string &url) {
    const auto starts = [&](const char *p) {
        const std::size_t n = std::char_traits<char>::length(p);
        return url.size() > n && std::equal(p, p + n, url.begin(), [](char a, char b) {
                   return a == char(std::tolower(static_cast<unsigned char>(b)));
               });
    };
    return starts("http://") || starts("https://");
}

} // namespace

bool isPeerAddress(const QString &address) {
    return address.startsWith(QStringLiteral("peer://"), Qt::CaseInsensitive);
}

std::optional<PeerAddress> parsePeerAddress(const QString &address) {
    // v1 info-hashes only: the session takes no v2 torrents.
    static const QRegularExpression form(
        QStringLiteral("^peer://([0-9]{1,19})\\|([0-9A-Fa-f]{40})\\|([^|/\\\\]+)\\|$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = form.match(address);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong size = m.captured(1).toLongLong(&ok);
    if (!ok || size <= 0)
        return std::nullopt;
    return PeerAddress{size, m.captured(2).toLower().toStdString(), m.captured(3)};
}

std::optional<CheckedTorrent> checkTorrent(const QByteArray &bytes, const PeerAddress &address,
                                           std::string *error) {
    const auto fail = [&](const std::string &why) -> std::optional<CheckedTorrent> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (bytes.isEmpty() || bytes.size() > kMaxTorrentBytes)
        return fail("the torrent is empty or too large");
    lt::error_code ec;
    const lt::bdecode_node node =
        lt::bdecode(lt::span<char const>(bytes.constData(), bytes.size()), ec, nullptr, 100, 1000000);
    if (ec)
        return fail("the torrent does not parse: " + ec.message());
    auto info = std::make_shared<lt::torrent_info>(node, ec);
    if (ec)
        return fail("the torrent does not parse: " + ec.message());
    if (!info->info_hashes().has_v1() || info->info_hashes().has_v2())
        return fail("the torrent is not a v1 torrent");
    if (hexOf(info->info_hashes().v1) != address.infoHash)
        return fail("the torrent's info-hash is not the address's");
    if (!info->priv())
        return fail("the torrent is not private");
    const lt::file_storage &files = info->files();
    if (files.num_files() != 1)
        return fail("the torrent holds more than one file");
    const lt::file_index_t first{0};
    if (files.file_flags(first) & (lt::file_storage::flag_pad_file | lt::file_storage::flag_symlink))
        return fail("the torrent's file is not a plain file");
    if (files.file_size(first) != address.size || files.total_size() != address.size)
        return fail("the torrent's file is not of the address's size");
    CheckedTorrent out;
    for (const lt::web_seed_entry &seed : info->web_seeds()) {
        if (seed.type == lt::web_seed_entry::url_seed && isWebUrl(seed.url))
            out.webSeeds.push_back(seed.url);
    }
    info->set_web_seeds({});
    out.pieceLength = info->piece_length();
    out.pieces = info->num_pieces();
    out.info = std::move(info);
    return out;
}

lt::settings_pack sessionSettings(const PeerSettings &s) {
    lt::settings_pack p;
    // Each of these would send packets to addresses other than the tracker
    // and the viewers it names.
    p.set_bool(lt::settings_pack::enable_dht, false);
    p.set_bool(lt::settings_pack::enable_lsd, false);
    p.set_bool(lt::settings_pack::enable_upnp, false);
    p.set_bool(lt::settings_pack::enable_natpmp, false);
    p.set_str(lt::settings_pack::dht_bootstrap_nodes, "");
    p.set_bool(lt::settings_pack::enable_ip_notifier, false);
    // TCP only, on the one address.
    p.set_bool(lt::settings_pack::enable_incoming_utp, false);
    p.set_bool(lt::settings_pack::enable_outgoing_utp, false);
    p.set_str(lt::settings_pack::listen_interfaces, s.address + ':' + std::to_string(std::max(s.listenPort, 0)));
    p.set_str(lt::settings_pack::outgoing_interfaces, s.address);
    if (s.listenPort > 0) {
        // A port the user names is that port or none (it may be forwarded).
        p.set_bool(lt::settings_pack::listen_system_port_fallback, false);
        p.set_int(lt::settings_pack::max_retry_port_bind, 0);
    }
    p.set_int(lt::settings_pack::upload_rate_limit, std::max(s.uploadRateLimit, 0));
    p.set_int(lt::settings_pack::alert_mask,
              int(lt::alert_category::error | lt::alert_category::status | lt::alert_category::storage |
                  lt::alert_category::tracker | lt::alert_category::piece_progress));
    // A player waits for the pieces it reads: ask for what it needs at
    // once and in small steps, web seed requests a piece or two long.
    p.set_int(lt::settings_pack::initial_picker_threshold, 0);
    p.set_int(lt::settings_pack::request_queue_time, 1);
    p.set_int(lt::settings_pack::tick_interval, 100);
    p.set_int(lt::settings_pack::urlseed_pipeline_size, 2);
    p.set_int(lt::settings_pack::urlseed_max_request_bytes, kWebSeedRequest);
    // A web seed connection that was dropped is tried again soon.
    p.set_int(lt::settings_pack::urlseed_wait_retry, 1);
    // Every viewer that asks is served at once, not from the next round
    // of unchoking (every 15 s): viewers of one item feed each other while
    // they watch, and the upload cap bounds what that costs.
    p.set_int(lt::settings_pack::unchoke_slots_limit, -1);
    // Leaving must not wait long for a tracker that does not answer.
    p.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    return p;
}

struct TorrentSession::Reader {
    std::int64_t offset = 0;
    Clock::time_point at{};   // when it last asked
    int deadlinePiece = -1;   // the piece given a deadline for it
    // Its pace, measured over a second or more; 0 while not known.
    double rate = 0;
    std::int64_t markOffset = 0;
    Clock::time_point markAt{};
    // Since when it has had less than criticalSeconds ahead.
    Clock::time_point shortSince{};
};

struct TorrentSession::Torrent {
    std::string hash;
    lt::torrent_handle handle;
    std::int64_t total = 0;
    int pieceLength = 0;
    std::vector<bool> have; // verified pieces
    std::int64_t verified = 0;
    std::int64_t reported = 0;
    bool checking = true;
    bool complete = false;
    bool paused = false;
    std::string error;
    std::vector<std::string> webSeeds;
    bool webSeedOn = false;
    // When the tracker last named other viewers for the item.
    Clock::time_point peersNamedAt{};
    // Pieces are fetched in order from the first piece not skipped: the
    // missing pieces before this one are skipped while readers are past it.
    int skipBelow = 0;
    // Readers' positions and when they last asked.
    std::vector<Reader> readers;

    std::int64_t pieceSize(int piece) const {
        return std::min<std::int64_t>(pieceLength, total - std::int64_t(piece) * pieceLength);
    }
    // Verified bytes from offset on, up to limit.
    std::int64_t aheadOf(std::int64_t offset, std::int64_t limit) const {
        if (offset >= total)
            return 0;
        std::int64_t n = 0;
        int piece = int(offset / pieceLength);
        std::int64_t inPiece = offset - std::int64_t(piece) * pieceLength;
        while (piece < int(have.size()) && have[std::size_t(piece)] && n < limit) {
            n += pieceSize(piece) - inPiece;
            inPiece = 0;
            ++piece;
        }
        return std::min(n, limit);
    }
    int firstMissing(int piece) const {
        while (piece < int(have.size()) && have[std::size_t(piece)])
            ++piece;
        return piece;
    }
};

TorrentSession::TorrentSession(PeerSettings settings, ProgressFn onProgress)
    : settings_(std::move(settings)), onProgress_(std::move(onProgress)) {
    lt::session_params params(sessionSettings(settings_));
    // Plain reads and writes instead of mapping each file into memory.
    params.disk_io_constructor = lt::posix_disk_io_constructor;
    session_ = std::make_unique<lt::session>(std::move(params));
    if (settings_.capLocalPeers) {
        // libtorrent puts peers on the same network in a class of their
        // own, which the upload cap does not hold; every address goes into
        // the global class instead. Set before any torrent is added, so it
        // holds for every connection.
        const std::uint32_t global = 1u << static_cast<std::uint32_t>(lt::session::global_peer_class_id);
        lt::ip_filter classes;
        classes.add_rule(lt::make_address("0.0.0.0"), lt::make_address("255.255.255.255"), global);
        classes.add_rule(lt::make_address("::"), lt::make_address("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"), global);
        session_->set_peer_class_filter(classes);
    }
    thread_ = std::thread([this] { run(); });
}

TorrentSession::~TorrentSession() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    session_.reset();
}

int TorrentSession::listenPort() const {
    return session_->is_listening() ? session_->listen_port() : 0;
}

bool TorrentSession::waitUntilListening(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return listening_ != 0 || stopping_; });
    return listening_ > 0;
}

lt::settings_pack TorrentSession::currentSettings() const {
    return session_->get_settings();
}

std::shared_ptr<TorrentSession::Torrent> TorrentSession::find(const std::string &infoHash) const {
    const std::lock_guard lock(mutex_);
    const auto it = torrents_.find(infoHash);
    return it == torrents_.end() ? nullptr : it->second;
}

bool TorrentSession::has(const std::string &infoHash) const {
    return find(infoHash) != nullptr;
}

std::string TorrentSession::add(const CheckedTorrent &torrent, const QString &folder, const QString &fileName,
                                std::int64_t firstOffset, bool whole) {
    if (!torrent.info)
        return "no torrent";
    const std::string hash = hexOf(torrent.info->info_hashes().v1);
    if (has(hash))
        return {};
    lt::add_torrent_params atp;
    atp.ti = std::make_shared<lt::torrent_info>(*torrent.info);
    atp.save_path = folder.toStdString();
    // The file's name is ours, not the torrent's.
    atp.renamed_files[lt::file_index_t{0}] = fileName.toStdString();
    atp.flags &= ~(lt::torrent_flags::auto_managed | lt::torrent_flags::paused);
    atp.flags |= lt::torrent_flags::disable_dht | lt::torrent_flags::disable_lsd | lt::torrent_flags::disable_pex;
    // A new item starts with its web seed: the session connects to it as
    // soon as the check is done, not at its next once-a-second round, and
    // the first bytes do not wait for the tracker. tick() takes it off once
    // other viewers carry the item.
    atp.url_seeds = torrent.webSeeds;
    auto t = std::make_shared<Torrent>();
    t->hash = hash;
    t->total = torrent.info->total_size();
    t->pieceLength = torrent.pieceLength;
    t->have.assign(std::size_t(torrent.pieces), false);
    t->webSeeds = torrent.webSeeds;
    t->webSeedOn = !t->webSeeds.empty();
    // Nothing before the reader's first piece is fetched yet, so the first
    // request to every source, the web seed's included, starts there.
    if (firstOffset >= 0 && firstOffset < t->total && torrent.pieceLength > 0)
        atp.piece_priorities = skipBefore(*t, int(firstOffset / torrent.pieceLength));
    // A player reads in order: so do its sources, the web seed included
    // (each request starts where the last ended).
    atp.flags |= lt::torrent_flags::sequential_download;
    // A complete item is not hashed through before it is offered: each
    // piece is checked as it is first asked for.
    if (whole)
        atp.flags |= lt::torrent_flags::seed_mode;
    {
        // Known before its first alert (the end of its check) is handled.
        const std::lock_guard lock(mutex_);
        lt::error_code ec;
        t->handle = session_->add_torrent(std::move(atp), ec);
        if (ec)
            return "the session does not take the torrent: " + ec.message();
        torrents_[hash] = t;
    }
    changed_.notify_all();
    return {};
}

void TorrentSession::remove(const std::string &infoHash) {
    std::shared_ptr<Torrent> t;
    {
        const std::lock_guard lock(mutex_);
        const auto it = torrents_.find(infoHash);
        if (it == torrents_.end())
            return;
        t = it->second;
        torrents_.erase(it);
    }
    session_->remove_torrent(t->handle);
    changed_.notify_all();
}

std::vector<lt::download_priority_t> TorrentSession::skipBefore(Torrent &t, int piece) {
    // Called with mutex_ held. The session fetches pieces in order from the
    // first missing one, and libtorrent stretches a web seed request
    // backwards as well as forwards to whole requests: the missing pieces
    // before a reader are kept out until no reader is past them, so that
    // the next request starts where the reader is.
    std::vector<lt::download_priority_t> prio(t.have.size(), lt::default_priority);
    for (int p = 0; p < piece && p < int(prio.size()); ++p) {
        if (!t.have[std::size_t(p)])
            prio[std::size_t(p)] = lt::dont_download;
    }
    t.skipBelow = piece;
    return prio;
}

std::int64_t TorrentSession::windowOf(const Reader &r) const {
    // highSeconds of playback at the reader's pace, within bounds.
    const double bytes = r.rate * settings_.highSeconds;
    return std::clamp<std::int64_t>(std::int64_t(bytes), settings_.readerWindow, kMaxWindow);
}

void TorrentSession::setDeadlines(Torrent &t, Reader &r, bool seek) {
    // Called with mutex_ held; the handle's calls only post to the session.
    const int first = t.firstMissing(int(r.offset / t.pieceLength));
    if (seek) {
        // Fetching goes on from the earliest reader.
        t.handle.clear_piece_deadlines();
        int earliest = first;
        for (const auto &other : t.readers)
            earliest = std::min(earliest, int(other.offset / t.pieceLength));
        t.handle.prioritize_pieces(skipBefore(t, earliest));
    }
    // The piece the reader waits for comes first, from whoever has it
    // soonest (a viewer slow to deliver it is passed over).
    if (first < int(t.have.size()))
        t.handle.set_piece_deadline(lt::piece_index_t{first}, 0);
}

void TorrentSession::want(const std::string &infoHash, std::int64_t offset) {
    const auto t = find(infoHash);
    if (!t)
        return;
    bool resumed = false;
    {
        const std::lock_guard lock(mutex_);
        if (offset < 0 || offset >= t->total)
            return;
        const auto now = Clock::now();
        const int piece = int(offset / t->pieceLength);
        Reader *reader = nullptr;
        for (auto &r : t->readers) {
            const int rp = int(r.offset / t->pieceLength);
            const int windowPieces = int(windowOf(r) / t->pieceLength) + 1;
            if (piece >= rp && piece <= rp + windowPieces && now - r.at < kReaderLife) {
                reader = &r;
                break;
            }
        }
        const bool seek = reader == nullptr;
        if (seek) {
            // A new reader or a seek: a reader that has not asked for a
            // while, or whose window this is not, makes room.
            std::erase_if(t->readers, [&](const auto &r) { return now - r.at >= kReaderLife; });
            if (t->readers.size() >= 4)
                t->readers.erase(t->readers.begin());
            Reader r;
            r.offset = offset;
            r.markOffset = offset;
            r.markAt = now;
            t->readers.push_back(r);
            reader = &t->readers.back();
        } else if (const double dt = secondsOf(now - reader->markAt); dt >= 1) {
            // Its pace over the last second or more, smoothed.
            const double rate = double(offset - reader->markOffset) / dt;
            reader->rate = reader->rate > 0 ? (reader->rate + rate) / 2 : rate;
            reader->markOffset = offset;
            reader->markAt = now;
        }
        reader->offset = offset;
        reader->at = now;
        if (reader->deadlinePiece != piece && !t->complete) {
            setDeadlines(*t, *reader, seek);
            reader->deadlinePiece = piece;
        }
        if (t->paused) {
            t->paused = false;
            resumed = true;
        }
    }
    if (resumed)
        t->handle.resume();
    changed_.notify_all();
}

std::int64_t TorrentSession::verifiedBytes(const std::string &infoHash, std::int64_t offset,
                                           std::int64_t limit) const {
    const auto t = find(infoHash);
    if (!t)
        return 0;
    const std::lock_guard lock(mutex_);
    return t->aheadOf(offset, limit);
}

bool TorrentSession::waitFor(const std::string &infoHash, std::int64_t offset, std::chrono::milliseconds timeout) {
    const auto t = find(infoHash);
    if (!t)
        return false;
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return stopping_ || !t->error.empty() || t->aheadOf(offset, 1) > 0 || !torrents_.count(infoHash);
    }) && t->aheadOf(offset, 1) > 0;
}

PeerStatus TorrentSession::status(const std::string &infoHash) const {
    const auto t = find(infoHash);
    PeerStatus s;
    if (!t)
        return s;
    {
        const std::lock_guard lock(mutex_);
        s.known = true;
        s.checking = t->checking;
        s.complete = t->complete;
        s.verifiedBytes = t->verified;
        s.webSeedOn = t->webSeedOn;
        s.error = t->error;
    }
    const lt::torrent_status ts = t->handle.status({});
    s.downloadRate = ts.download_payload_rate;
    s.uploadRate = ts.upload_payload_rate;
    std::vector<lt::peer_info> peers;
    t->handle.get_peer_info(peers);
    s.peers = int(std::count_if(peers.begin(), peers.end(), [](const lt::peer_info &p) {
        return p.connection_type == lt::peer_info::standard_bittorrent;
    }));
    return s;
}

void TorrentSession::run() {
    auto nextTick = Clock::now();
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        session_->wait_for_alert(lt::milliseconds(100));
        handleAlerts();
        if (Clock::now() >= nextTick || std::exchange(tickNow_, false)) {
            tick();
            nextTick = Clock::now() + std::chrono::milliseconds(250);
        }
    }
}

void TorrentSession::handleAlerts() {
    std::vector<lt::alert *> alerts;
    session_->pop_alerts(&alerts);
    // Reports go out after the lock is let go.
    std::vector<std::tuple<std::string, std::int64_t, bool>> reports;
    std::vector<std::shared_ptr<Torrent>> loadPieces;
    {
        const std::lock_guard lock(mutex_);
        for (lt::alert *a : alerts) {
            if (const auto *ok = lt::alert_cast<lt::listen_succeeded_alert>(a)) {
                if (ok->socket_type == lt::socket_type_t::tcp)
                    listening_ = 1;
            } else if (const auto *failed = lt::alert_cast<lt::listen_failed_alert>(a)) {
                if (failed->socket_type == lt::socket_type_t::tcp && listening_ == 0)
                    listening_ = -1;
            }
            // alert_cast matches exact types only; this is their base.
            const auto *ta = dynamic_cast<const lt::torrent_alert *>(a);
            if (!ta)
                continue;
            const auto it = torrents_.find(hexOf(ta->handle.info_hashes().v1));
            if (it == torrents_.end())
                continue;
            Torrent &t = *it->second;
            if (const auto *pf = lt::alert_cast<lt::piece_finished_alert>(a)) {
                const int p = int(static_cast<int>(pf->piece_index));
                if (p >= 0 && p < int(t.have.size()) && !t.have[std::size_t(p)]) {
                    t.have[std::size_t(p)] = true;
                    t.verified += t.pieceSize(p);
                    if (t.verified - t.reported >= kReportEvery) {
                        t.reported = t.verified;
                        reports.emplace_back(t.hash, t.verified, false);
                    }
                }
            } else if (const auto *tr = lt::alert_cast<lt::tracker_reply_alert>(a)) {
                // Other viewers to fetch from: the web seed makes way for
                // them. (The tracker names the viewer itself too.)
                if (tr->num_peers > 1) {
                    t.peersNamedAt = Clock::now();
                    tickNow_ = true;
                }
            } else if (lt::alert_cast<lt::torrent_checked_alert>(a)) {
                loadPieces.push_back(it->second);
            } else if (lt::alert_cast<lt::torrent_finished_alert>(a)) {
                loadPieces.push_back(it->second);
            } else if (const auto *fe = lt::alert_cast<lt::file_error_alert>(a)) {
                t.error = "the cache file: " + fe->error.message();
            } else if (const auto *te = lt::alert_cast<lt::torrent_error_alert>(a)) {
                t.error = te->error.message();
            }
        }
    }
    // What the session holds after a check, or at the end, by its own count.
    for (const auto &t : loadPieces) {
        const lt::torrent_status ts = t->handle.status(lt::torrent_handle::query_pieces);
        const std::lock_guard lock(mutex_);
        t->checking = false;
        std::int64_t verified = 0;
        for (int p = 0; p < int(t->have.size()) && p < ts.pieces.size(); ++p) {
            t->have[std::size_t(p)] = ts.pieces[lt::piece_index_t{p}];
            if (t->have[std::size_t(p)])
                verified += t->pieceSize(p);
        }
        t->verified = verified;
        t->reported = verified;
        t->complete = verified >= t->total;
        reports.emplace_back(t->hash, verified, t->complete);
    }
    if (!alerts.empty() || !loadPieces.empty())
        changed_.notify_all();
    if (onProgress_) {
        for (const auto &[hash, verified, complete] : reports)
            onProgress_(hash, verified, complete);
    }
}

void TorrentSession::tick() {
    std::vector<std::shared_ptr<Torrent>> all;
    {
        const std::lock_guard lock(mutex_);
        for (const auto &[hash, t] : torrents_)
            all.push_back(t);
    }
    const auto now = Clock::now();
    for (const auto &t : all) {
        std::vector<lt::peer_info> peers;
        t->handle.get_peer_info(peers);
        const long viewers = std::count_if(peers.begin(), peers.end(), [](const lt::peer_info &p) {
            return p.connection_type == lt::peer_info::standard_bittorrent;
        });
        // How many connected viewers hold each piece (the web seed not counted).
        std::vector<int> held;
        bool hasReaders = false;
        {
            const std::lock_guard lock(mutex_);
            hasReaders = !t->readers.empty() && !t->checking && !t->complete;
        }
        if (hasReaders && viewers > 0)
            t->handle.piece_availability(held);
        bool seedOn = false;
        bool seedOff = false;
        bool pause = false;
        std::vector<std::string> seeds;
        {
            const std::lock_guard lock(mutex_);
            std::erase_if(t->readers, [&](const auto &r) { return now - r.at >= kReaderLife; });
            if (t->skipBelow > 0 && !t->checking) {
                // Once no reader is past them (all gone, or all read to the
                // end), the skipped pieces are fetched too.
                const bool past = std::any_of(t->readers.begin(), t->readers.end(), [&](const Reader &r) {
                    return r.offset + t->aheadOf(r.offset, t->total) < t->total;
                });
                if (!past) {
                    // Posted under the lock, so that a seek's own priorities
                    // posted after it are not undone.
                    t->skipBelow = 0;
                    t->handle.prioritize_pieces(
                        std::vector<lt::download_priority_t>(t->have.size(), lt::default_priority));
                }
            }
            if (t->checking) {
                // Nothing to decide until the session knows what the file holds.
            } else if (t->complete) {
                seedOff = t->webSeedOn;
                t->webSeedOn = false;
                // Without seeding a complete item uploads only while read.
                if (t->complete && !settings_.seeding && t->readers.empty() && !t->paused) {
                    t->paused = true;
                    pause = true;
                }
            } else {
                // Viewers the tracker named a moment ago may not have
                // connected or said what they hold yet.
                const bool grace = t->peersNamedAt != Clock::time_point{} && now - t->peersNamedAt < kPeerGrace;
                bool need = false;     // a reader needs the web seed
                bool satisfied = true; // every reader can do without it
                for (auto &r : t->readers) {
                    const std::int64_t ahead = t->aheadOf(r.offset, t->total);
                    if (r.offset + ahead >= t->total) {
                        r.shortSince = {};
                        continue;
                    }
                    const double seconds = double(ahead) / std::max(r.rate, double(settings_.minReaderRate));
                    const int next = int((r.offset + ahead) / t->pieceLength);
                    const bool viewerHolds = next < int(held.size()) && held[std::size_t(next)] > 0;
                    if (seconds < settings_.criticalSeconds) {
                        if (r.shortSince == Clock::time_point{})
                            r.shortSince = now;
                        need |= now - r.shortSince >= kCriticalFor;
                    } else {
                        r.shortSince = {};
                    }
                    need |= seconds < settings_.lowSeconds && !viewerHolds && !grace;
                    // Far enough ahead, or viewers hold what comes next (or
                    // are about to say so): they bring it.
                    satisfied &= seconds >= settings_.highSeconds ||
                                 (viewerHolds && seconds >= settings_.criticalSeconds) || grace;
                }
                // Nobody else to fetch from: the web seed brings the item.
                need |= viewers == 0 && !grace;
                if (need && !t->webSeedOn && !t->webSeeds.empty()) {
                    t->webSeedOn = seedOn = true;
                } else if (t->webSeedOn && !need && (viewers > 0 || grace) && satisfied) {
                    t->webSeedOn = false;
                    seedOff = true;
                }
            }
            seeds = t->webSeeds;
        }
        for (const auto &url : seeds) {
            if (seedOn)
                t->handle.add_url_seed(url);
            else if (seedOff)
                t->handle.remove_url_seed(url);
        }
        if (pause)
            t->handle.pause();
    }
}

} // namespace vantoli::terminal
