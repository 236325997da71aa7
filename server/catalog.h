#pragma once
// The catalog the server publishes: titles (films and series) with their
// playback sources and episodes, and the TV channels. It lives in
// DATA/catalog.db; the server keeps an in-memory snapshot of it.

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <string>

struct sqlite3;

namespace vantoli::server {

// Kind of the player component; every other kind is played by the web
// playback page.
inline const QString kPlayerKind = QStringLiteral("peer");
inline const QString kWebKind = QStringLiteral("html5");

struct Episode {
    QString name;
    // A path under DATA/media ("demo/a/01.mp4") or an absolute http(s) URL.
    QString address;
    QString kind = kPlayerKind;
};

struct Source {
    QString name;
    QList<Episode> episodes;
};

struct Title {
    int id = 0;
    QString name;
    bool series = false;
    QString description;
    QString poster; // path under DATA/media, or empty
    int year = 0;
    bool featured = false;
    QList<Source> sources;
};

struct Channel {
    int id = 0;
    QString name;
    QString address; // as Episode::address
    QString description;
};

struct Catalog {
    QList<Title> titles; // in catalog order
    QList<Channel> channels;

    const Title *findTitle(int id) const;
    const Channel *findChannel(int id) const;
    const Episode *findEpisode(int id, int source, int episode) const;
};

// Kinds are plain words: letters, digits and "_", at most 32 characters.
bool isValidKind(const QString &kind);
// Media paths are relative, "/"-separated, with no empty, "." or ".."
// segment, no backslash and no control character.
bool isValidMediaPath(const QString &path);
bool isAbsoluteHttpUrl(const QString &address);

// Thin owner of one SQLite connection.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    enum class Mode { ReadOnly, ReadWrite, Create };
    // Opens the file (creating it in Create mode); false with error() on
    // failure.
    bool open(const std::string &path, Mode mode);
    bool exec(const char *sql);
    void setError(std::string error) { error_ = std::move(error); }
    sqlite3 *handle() const { return db_; }
    std::string error() const { return error_; }

private:
    sqlite3 *db_ = nullptr;
    std::string error_;
};

class CatalogStore {
public:
    // Opens DATA/catalog.db, creating it and its tables when create is true.
    // Either open fails for a catalog of another schema version.
    bool open(const std::string &dataDir, bool create);
    // Opens it for reading only, as the server does, so a read-only data
    // folder can be served.
    bool openForReading(const std::string &dataDir);
    std::string error() const { return db_.error(); }

    std::optional<Catalog> load();
    // Adds a title with its sources and episodes; returns its new id, or 0
    // when the title is invalid (no name, bad kind or address) or on error.
    int addTitle(const Title &title);
    int addChannel(const Channel &channel);

private:
    bool isEmptyDatabase();
    // False, with error(), for a catalog of another schema version: an old
    // catalog is refused rather than served beside new links.
    bool checkSchemaVersion();

    Database db_;
};

// The stored version of the catalog's layout and of what its rows mean.
// Version 2 stores the player component's kind under its current name; older
// catalogs (version 0) would serve links of an earlier naming beside new ones.
inline constexpr int kCatalogSchemaVersion = 2;

std::string catalogPath(const std::string &dataDir);

} // namespace vantoli::server
