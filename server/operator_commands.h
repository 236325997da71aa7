#pragma once
// The operator's commands on a data folder: the control file's switches and
// texts (lib/wen.txt), the notice pop-up's schedule (lib/tan.txt), the
// notice line (lib/gun.txt), and signed releases under update/.
//
// Every function returns "" on success or the reason it refused; files are
// replaced atomically, and nothing is written when an argument is refused.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantoli::server {

// Fields of the control file, in its order: show the recommendation at
// exit, notice pop-up, pause advertisement, notice line, stop
// advertisement, latest version. A field left nullopt keeps its value.
using ControlFields = std::array<std::optional<QString>, 6>;
std::string setControlFields(const std::string &dataDir, const ControlFields &fields);
// The six fields as the file holds them now ("" for missing ones).
std::array<QString, 6> readControlFields(const std::string &dataDir);

// delay in seconds, show time in minutes, cycle, then the notice pages
// (at most 51, each an "http://" address).
std::string setNoticeSchedule(const std::string &dataDir, int delaySeconds, int showMinutes, bool cycle,
                              const QStringList &addresses);

// Notices as (text, link); an empty link or "*" is none. At most 51.
std::string setNoticeLine(const std::string &dataDir, const std::vector<std::pair<QString, QString>> &notices);

// The release signing key in keys/ of the data folder (mode 0600), made on
// first use; a retired key (one whose secret is public) found there is
// replaced by a new one. Its public half (hex) in *publicKeyHex; *made
// tells whether a new key was made.
std::string releaseKey(const std::string &dataDir, QString *publicKeyHex, bool *made = nullptr);

// Packs the files and folders into update/VERSION/, signs its manifest and,
// when `announce`, sets the control file's latest version to VERSION. A
// release version is numbers separated by dots, which is how the updater
// tells that it is newer.
std::string publishRelease(const std::string &dataDir, const QString &version, const QStringList &files,
                           bool announce);

// The remote updater's page: the announced version and every published
// release with its archive.
QString updatePage(const std::string &dataDir);

} // namespace vantoli::server
