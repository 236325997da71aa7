#pragma once
// What may reach the player. Every address the program hands to the player
// or to a history file passes through checkPlayAddress first, with where it
// came from:
//
//   - from a page, a link, a network history line, a server reply or
//     another program (a browser's link, the remote control): only http and
//     https addresses and the peer-to-peer form
//     "peer://" size "|" info-hash "|" name "|";
//   - from the user's own action (open-file dialog, command line, a drop on
//     the window, the local-play list): the same, and local files.
//
// Anything else (the engine's own protocols such as "av://", "lavfi://",
// "fd://", "edl://", "file://" from a page, relative paths, control
// characters) is refused. The engine could otherwise be made to run filters
// that write files or read devices.

#include <QString>

namespace vantoli {

enum class AddressOrigin {
    Remote, // pages, links, network history lines, server replies, other programs
    User,   // open-file dialog, command line, drag and drop, the local-play list
};

struct PlayAddress {
    enum Kind { Refused, Web, Peer, LocalFile };
    Kind kind = Refused;
    // What the player gets: the address as given for Web and Peer; the
    // absolute path for a local file ("file:" URLs become paths).
    QString address;

    bool accepted() const { return kind != Refused; }
    bool isLocalFile() const { return kind == LocalFile; }
};

PlayAddress checkPlayAddress(const QString &text, AddressOrigin origin);

// Whether a local path names something the player can be asked to open: an
// existing, readable, non-empty regular file. Paths are looked up by their
// bytes (fileNameBytes); a name that lost its bytes on the way (U+FFFD in
// place of them) names no file.
bool isOpenableLocalFile(const QString &path);
// Whether anything exists at the path, looked up the same way.
bool localFileExists(const QString &path);

// True for http and https addresses with a host, the form the player limits
// to network protocols (what such an item names may not lead elsewhere).
bool isWebAddress(const QString &text);

} // namespace vantoli
