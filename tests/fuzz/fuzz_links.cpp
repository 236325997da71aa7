// Links and server replies of any shape decode without a crash, and the
// escape functions round-trip every text.
#include "catalog/escape.h"
#include "catalog/links.h"

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
    return 0;
}
