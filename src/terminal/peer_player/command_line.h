#pragma once
// PeerPlayer's command line: one file or address to play and a few options.
// Whatever the line holds, parsing never fails: an odd argument becomes a
// warning, and the window opens with what could be understood.

#include <QString>
#include <QStringList>

namespace vantoli::peer {

struct PeerPlayerArgs {
    // As given, surrounding quotes stripped; empty for an empty window. Words
    // of an unquoted path with spaces are joined again when that names a file.
    QString item;
    QString audioOutput;   // mpv audio output; empty for mpv's own choice
    bool printFirstFrameTime = false;
    bool help = false;
    bool version = false;
    QStringList warnings;  // one line each, for standard error
};

// args without the program name. env is the value of VANTOLI_AUDIO_OUTPUT and
// PEERPLAYER_PRINT_FIRST_FRAME_TIME, which the options override.
PeerPlayerArgs parsePeerPlayerArgs(const QStringList &args, const QString &audioEnv = {},
                                   const QString &firstFrameEnv = {});

QString peerPlayerUsage();

// What an item names once made concrete.
struct PlayTarget {
    enum Kind { None, LocalFile, Network, Unsupported };
    Kind kind = None;
    QString address;     // absolute local path, or the URL as given
    QString displayName; // for the title and messages
};

// Local paths are made absolute against workingDir ("file:" URLs become
// paths); http and https addresses (isWebAddress) are kept as written; any
// other scheme is Unsupported, so the engine is never asked to open
// protocols of its own (devices, filters, other programs' streams) from a
// command line.
PlayTarget resolvePlayTarget(const QString &item, const QString &workingDir);

} // namespace vantoli::peer
