#pragma once
// Filling a data folder: the demo catalog, and titles imported from a
// folder tree of the user's own media files.

#include <QString>

#include <functional>
#include <string>

namespace vantoli::server {

using Progress = std::function<void(const std::string &)>;

struct DemoOptions {
    std::string dataDir;
    // Base URL written into the notice files (their addresses are absolute).
    std::string publicBase = "http://127.0.0.1:8260/";
    int clipSeconds = 25;
    QString size = QStringLiteral("640x360");
    bool fast = false;
};

// Creates DATA with catalog.db, media, posters and the lib/ control files.
// Refuses a folder that already holds a catalog. Returns an error message,
// empty on success.
std::string createDemo(const DemoOptions &options, const Progress &progress);

struct ImportOptions {
    std::string dataDir;
    std::string mediaFolder;
    QString kind = QStringLiteral("peer");
};

// Media files directly in the folder become films; every folder below it
// that holds media files becomes a series with its files as episodes, in
// natural name order. Files are hard-linked (or copied) into DATA/media.
// Returns an error message, empty on success; count receives the number of
// titles added.
std::string importMedia(const ImportOptions &options, const Progress &progress, int *count);

// Natural order: digit runs compare by value ("2" before "10").
bool naturalLess(const QString &a, const QString &b);
bool isMediaFileName(const QString &name);

} // namespace vantoli::server
