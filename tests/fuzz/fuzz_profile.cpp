// Profile files of any content are read without a crash, their bytes survive
// a decode/encode round trip, and a written key reads back.
#include "app/settings_file.h"
#include "platform/ansi_codec.h"

#include <cstdlib>

using namespace vantoli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = decodeAnsi(bytes);
    if (encodeAnsi(text) != bytes)
        std::abort();
    ProfileText profile(text);
    QString value;
    profile.lookup(u"S_q", u"ts", &value);
    profile.lookup(u"main", u"Name", &value);
    profile.set(QStringLiteral("S_q"), QStringLiteral("h_w"), QStringLiteral("14850"));
    ProfileText reread(decodeAnsi(encodeAnsi(profile.toText())));
    if (!reread.lookup(u"S_q", u"h_w", &value))
        std::abort();
    return 0;
}
