#pragma once
// Text forms the server writes into pages, scripts, links and URLs.

#include <QString>

#include <string>

namespace vantoli::server {

// HTML element content and attribute values.
QString html(const QString &text);

// The escaped title used in by-number links and page parameters. The link
// fields are separated by "-", so a "-" (and a "/", which a trailing-slash
// strip would eat) inside the title is written as its %-sequence.
QString linkTitle(const QString &plainTitle);

// Percent-encodes a media path for a URL: unreserved characters and "/"
// stay, every other UTF-8 byte becomes %XX.
QString encodePath(const QString &path);

// An absolute address made safe for the separators of the episode data and
// for script strings ("$", "#", "|", quotes, ";", "<", blanks, non-ASCII):
// such characters are percent-encoded; existing %-sequences stay.
QString safeUrl(const QString &url);

// Address of a catalog media entry: a media path becomes base + "media/" +
// encoded path; an absolute URL is made safe.
QString mediaUrl(const QString &base, const QString &address);

// Content type for a media file name.
std::string mimeTypeFor(const std::string &fileName);

// One request-log field: printable ASCII kept, anything else as \xNN, cut
// to at most max characters.
std::string logField(const std::string &text, size_t max = 300);

} // namespace vantoli::server
