#include "platform/file_name.h"

#include <QDir>
#include <QUrl>

#include <unistd.h>

#include <climits>

namespace vantoli {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

void appendUtf8(QByteArray &out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at p (n bytes left) and its code
// point; 0 when the bytes there are no valid sequence (a stray continuation
// byte, a cut sequence, an overlong form, a surrogate, beyond U+10FFFF).
int validSequence(const unsigned char *p, qsizetype n, char32_t *cp) {
    const unsigned char b = p[0];
    int len = 0;
    char32_t value = 0, least = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, value = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, value = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, value = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (p[k] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *cp = value;
    return len;
}

} // namespace

QString fileNameFromBytes(const QByteArray &bytes) {
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            out += QChar(char16_t(p[i++]));
            continue;
        }
        char32_t cp = 0;
        if (const int len = validSequence(p + i, n - i, &cp)) {
            const char32_t one[1] = {cp};
            out += QString::fromUcs4(one, 1);
            i += len;
        } else {
            out += QChar(char16_t(kEscapeBase + p[i++]));
        }
    }
    return out;
}

bool isEscapedByte(const QString &text, qsizetype i, char *byte) {
    const char16_t u = text.at(i).unicode();
    if (u < kEscapeBase + 0x80 || u > kEscapeBase + 0xFF)
        return false;
    if (i > 0 && text.at(i - 1).isHighSurrogate())
        return false; // the second half of a pair
    if (byte)
        *byte = char(u - kEscapeBase);
    return true;
}

QByteArray fileNameBytes(const QString &name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        char byte = 0;
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(c, name.at(i + 1)));
            ++i;
        } else if (isEscapedByte(name, i, &byte)) {
            out += byte;
        } else if (c.isSurrogate()) {
            appendUtf8(out, QChar::ReplacementCharacter);
        } else {
            appendUtf8(out, c.unicode());
        }
    }
    return out;
}

QString fileNameFromUrl(const QUrl &url) {
    return fileNameFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString absoluteFileName(const QString &name) {
    if (name.startsWith(u'/'))
        return QDir::cleanPath(name);
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder))
        return name;
    return QDir::cleanPath(fileNameFromBytes(QByteArray(folder)) + u'/' + name);
}

QString fileNameForDisplay(const QString &name) {
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isEscapedByte(name, i))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

} // namespace vantoli
