#pragma once
// Fetching the start of a link ahead of time. While one item plays, the start
// of the next is fetched with an HTTP range request into the cache folder.
// When that link is played, the engine reads the fetched bytes from the file
// and the rest from the network, through a stream protocol of our own.

#include "playback/mpv_library.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

namespace vantoli {

struct PrebufferedSources; // shared with the engine's reading threads

class PrebufferCache : public QObject {
    Q_OBJECT
public:
    // The engine protocol under which prebuffered links are played.
    static constexpr const char *kProtocol = "vantolicache";

    PrebufferCache(const QString &folder, qint64 limitBytes, int keep, QObject *parent = nullptr);
    ~PrebufferCache() override;

    void setFolder(const QString &folder);
    QString folder() const { return folder_; }
    qint64 limitBytes() const { return limitBytes_; }

    // Begins fetching the first limitBytes() of an http(s) link. Other links,
    // and a link already fetched or being fetched, are left alone. The folder
    // keeps the newest `keep` links; older files are deleted.
    void start(const QString &link);

    struct Source {
        QString address;        // what the engine opens
        qint64 prefixBytes = 0; // bytes served from the folder
        qint64 totalBytes = 0;  // the item's size
    };
    // Where to play a link from: a fetch of it still running ends here and
    // keeps what arrived. nullopt when nothing usable was fetched.
    std::optional<Source> takeSource(const QString &link);

    bool isFetching(const QString &link) const;
    qint64 fetchedBytes(const QString &link) const;

    // Registers kProtocol with the engine. Streams opened through it read
    // from the folder and the network on the engine's threads.
    int registerProtocol(const MpvApi *api, mpv_handle *mpv);

signals:
    // A fetch ended (complete, at its limit, or failed).
    void fetchEnded(const QString &link);

private:
    struct Entry {
        QString link;
        QString key;
        QString file;
        qint64 bytes = 0;
        qint64 total = -1;      // -1 while unknown
        bool ranged = false;    // the server honoured the range: the rest can be fetched later
        bool failed = false;
        QNetworkReply *reply = nullptr;
        QFile *out = nullptr;
    };
    void onReadyRead(Entry *entry, QNetworkReply *reply);
    void finishFetch(Entry *entry);
    void evictOldest();
    void removeEntry(const QString &link);
    void removeStaleFiles();

    QString folder_;
    qint64 limitBytes_;
    int keep_;
    bool cleaned_ = false;
    QNetworkAccessManager *network_ = nullptr;
    QHash<QString, std::shared_ptr<Entry>> entries_;
    QList<QString> order_; // links, oldest first
    std::shared_ptr<PrebufferedSources> sources_;
};

} // namespace vantoli
