#include "terminal/peer_player/command_line.h"

#include "app/text_util.h"
#include "playback/play_address.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace vantoli::peer {
namespace {

// Quotes a Windows-style caller leaves around a path, and stray blanks.
QString unquote(QString text) {
    text = text.trimmed();
    while (text.size() >= 2 && text.front() == u'"' && text.back() == u'"')
        text = text.mid(1, text.size() - 2).trimmed();
    if (text == u"\"")
        return {};
    return text;
}

bool isTrue(const QString &value) {
    const QString v = value.trimmed().toLower();
    return !v.isEmpty() && v != u"0" && v != u"no" && v != u"false" && v != u"off";
}

// "scheme://..." and "file:..." are addresses; anything else (a colon in a
// file name, a Windows drive letter) is a path.
bool isAddress(const QString &item) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(item).hasMatch() || item.startsWith(u"file:", Qt::CaseInsensitive);
}

} // namespace

PeerPlayerArgs parsePeerPlayerArgs(const QStringList &args, const QString &audioEnv,
                                   const QString &firstFrameEnv) {
    PeerPlayerArgs out;
    out.audioOutput = audioEnv.trimmed();
    out.printFirstFrameTime = isTrue(firstFrameEnv);
    QStringList items;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (!optionsEnded && arg.startsWith(u"--")) {
            if (arg == u"--") {
                optionsEnded = true;
                continue;
            }
            const qsizetype eq = arg.indexOf(u'=');
            const QString name = arg.left(eq < 0 ? arg.size() : eq);
            const bool hasValue = eq >= 0;
            if (name == u"--audio-output") {
                if (hasValue)
                    out.audioOutput = arg.mid(eq + 1).trimmed();
                else if (i + 1 < args.size())
                    out.audioOutput = args[++i].trimmed();
                else
                    out.warnings << QStringLiteral("--audio-output needs a value");
            } else if (name == u"--print-first-frame-time" && !hasValue) {
                out.printFirstFrameTime = true;
            } else if ((name == u"--help") && !hasValue) {
                out.help = true;
            } else if (name == u"--version" && !hasValue) {
                out.version = true;
            } else {
                out.warnings << QStringLiteral("unknown option ignored: %1").arg(arg);
            }
            continue;
        }
        if (!optionsEnded && arg == u"-h") {
            out.help = true;
            continue;
        }
        const QString item = unquote(arg);
        if (!item.isEmpty())
            items << item;
    }
    if (items.size() > 1) {
        // An unquoted path with spaces arrives as several words.
        const QString joined = items.join(u' ');
        if (QFileInfo(joined).isFile()) {
            items = {joined};
        } else {
            out.warnings << QStringLiteral("only the first item is played; ignored: %1")
                                .arg(items.mid(1).join(QStringLiteral(" ")));
        }
    }
    if (!items.isEmpty())
        out.item = items.front();
    return out;
}

QString peerPlayerUsage() {
    return QStringLiteral(
        "Usage: PeerPlayer [options] [file or http(s) address]\n"
        "  --audio-output=NAME       audio output (\"null\" for none); also VANTOLI_AUDIO_OUTPUT\n"
        "  --print-first-frame-time  print the monotonic clock time when the first video frame\n"
        "                            is drawn; also PEERPLAYER_PRINT_FIRST_FRAME_TIME=1\n"
        "  --help, --version\n"
        "  --                        what follows is an item even if it starts with \"--\"\n");
}

PlayTarget resolvePlayTarget(const QString &item, const QString &workingDir) {
    PlayTarget target;
    if (item.isEmpty())
        return target;
    QString path = item;
    if (isAddress(item)) {
        const QUrl url(item, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (scheme == u"file" && url.isValid() && url.isLocalFile()) {
            path = url.toLocalFile();
        } else if (isWebAddress(item)) {
            target.kind = PlayTarget::Network;
            target.address = item;
            target.displayName = url.fileName(QUrl::FullyDecoded);
            if (target.displayName.isEmpty())
                target.displayName = url.host();
            return target;
        } else {
            target.kind = PlayTarget::Unsupported;
            target.address = item;
            target.displayName = item;
            return target;
        }
    }
    target.kind = PlayTarget::LocalFile;
    target.address = QDir::cleanPath(QDir(workingDir).absoluteFilePath(path));
    target.displayName = displayName(target.address);
    if (target.displayName.isEmpty())
        target.displayName = target.address;
    return target;
}

} // namespace vantoli::peer
