// Links and server replies of any shape decode without a crash, the escape
// functions round-trip every text, and what the player may open from a page
// is only ever a network address.
#include "catalog/escape.h"
#include "catalog/links.h"
#include "playback/play_address.h"

#include <cstdlib>

using namespace vantoli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    recognizeLink(text);
    const MediaLink media = decodeMediaLink(text);
    decodeMediaLink(buildMediaLink(media));
    decodeByNumberLink(text);
    decodeTvLink(text);
    decodeHistoryOpenLink(text);
    decodeHistoryDeleteLink(text);
    parsePageParameters(text);
    parseEpisodeLookupReply(text);
    if (unescapeText(escapeText(text)) != text)
        std::abort();
    unescapeText(text);

    for (const QString &address : {text, unescapeText(decodeMediaLink(text).address)}) {
        const PlayAddress remote = checkPlayAddress(address, AddressOrigin::Remote);
        const PlayAddress user = checkPlayAddress(address, AddressOrigin::User);
        if (remote.accepted()) {
            const bool network = address.startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive) ||
                                 address.startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive) ||
                                 address.startsWith(QLatin1StringView("peer://"));
            // From a page: a network address, as given, and the user may open it too.
            if (!network || remote.isLocalFile() || remote.address != address || user.kind != remote.kind)
                std::abort();
        }
        // A local file is an absolute path the engine cannot read as a protocol.
        if (user.isLocalFile() && (!user.address.startsWith(u'/') || user.address.contains(u'\n')))
            std::abort();
    }
    return 0;
}
