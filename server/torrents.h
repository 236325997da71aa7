#pragma once
// Torrents of the catalog's media files, for viewers who fetch from each
// other as well as from this server.
//
// For every local media file of a player episode the data folder keeps the
// torrent's info dictionary (single file, v1 only, private, so clients use
// only the operator's tracker) in torrents/HASH.info, and torrents/index.txt
// lists which file each belongs to and the file's size and time when it was
// hashed. The tracker and the web seed are not part of the info dictionary
// (and so not of the info-hash): the server adds them when it serves the
// torrent, from its tracker option and the base URL the client used, so a
// torrent stays valid when the server moves or the tracker changes.
// torrents/whitelist.txt lists the info-hashes for the tracker.

#include "catalog.h"
#include "catalog_builder.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace vantoli::server {

struct TorrentEntry {
    std::string infoHash; // 40 lower-case hex digits
    QString path;         // under media/
    long long size = 0;
    long long mtime = 0; // nanoseconds, as the file had when it was hashed
    QString name;        // the torrent's file name
};

enum class TorrentState { Current, Changed, Missing };

struct TorrentStatus {
    TorrentEntry entry;
    TorrentState state = TorrentState::Current;
};

// The torrents the data folder lists, each with whether its file is still
// the one that was hashed.
std::vector<TorrentStatus> listTorrents(const std::string &dataDir);

// Makes the torrents of every player episode's media file that has none or
// whose file changed since, and removes those no episode uses any more.
// Returns an error message, empty on success; made receives the number of
// torrents made.
std::string makeTorrents(const std::string &dataDir, const Progress &progress, int *made);

// The torrent's file name for a media path: its last segment with every
// character a link field or a file name could trip over replaced by "_".
QString torrentFileName(const QString &mediaPath);

// "peer://" size "|" info-hash "|" name "|".
QString peerAddress(const TorrentEntry &entry);

// Media path to peer address, for the torrents whose files are unchanged.
QHash<QString, QString> currentPeerAddresses(const std::string &dataDir);

// The stored info dictionary of a torrent, checked against its hash;
// nullopt when there is none.
std::optional<QByteArray> torrentInfo(const std::string &dataDir, const std::string &infoHash);

// A whole torrent file: the info dictionary with the tracker (none when
// empty) and the web seed.
QByteArray torrentFile(const QByteArray &info, const QString &tracker, const QString &webSeed);

std::string torrentIndexPath(const std::string &dataDir);

} // namespace vantoli::server
