#pragma once
// The transfer program's record of one cached item: the hidden state file
// ".<name>.vantoli" beside the file it downloaded. Shared by the transfer
// program and by the history command that deletes downloads, so that both
// touch only files the transfer program made, and only while they are still
// the files it wrote (same device, inode, size and modification time).

#include <QString>

#include <cstdint>
#include <optional>

namespace vantoli::terminal {

// Who a file is: enough to tell it from a file that took its name since.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0; // 0: unknown (never matches)
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileIdentity &) const = default;
};

// The identity of the file at path (not following a link); nullopt when
// there is none or it is not a regular file.
std::optional<FileIdentity> identityOf(const QString &path);
std::optional<FileIdentity> identityOfFd(int fd);

struct ItemState {
    QString url;          // the origin address, or the item's peer address
    QString name;         // the cached file's name in the cache folder
    std::int64_t total = -1; // the item's size; -1 while unknown
    std::int64_t have = 0;   // bytes from the start already in the file (peer items: verified bytes)
    std::int64_t lastPlayed = 0; // ms since the epoch
    QString contentType;
    QString validator;    // the origin's ETag or Last-Modified, to resume only the same item
                          // (peer items: where their torrent was fetched)
    FileIdentity file;    // the file as the transfer program last wrote it
};

// ".<name>.vantoli": hidden, beside the file.
QString stateFileName(const QString &name);
bool isStateFileName(const QString &fileName);
bool writeItemState(const QString &path, const ItemState &state);
std::optional<ItemState> readItemState(const QString &path);

// Whether the file `state.name` in folder is still the one the record
// describes. A download that is still running has written more since its
// last record: with allowGrowth, the same file (device and inode, which the
// writer's open file keeps from being reused) only larger and newer, and
// not larger than the item, counts too.
bool fileMatchesRecord(const QString &folder, const ItemState &state, bool allowGrowth = false);

// The record of the item fetched from url in folder, nullopt when none.
std::optional<ItemState> findRecord(const QString &folder, const QString &url);

// Whether an address may be fetched: absolute http or https with a host.
bool isFetchableUrl(const QString &url);

} // namespace vantoli::terminal
