#include "platform/ansi_codec.h"

#include <iconv.h>

#include <array>
#include <cerrno>

namespace vantoli {
namespace {

constexpr char16_t kEscapeBase = 0xDC00; // lone low surrogates carry raw bytes

class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid())
            iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Per code unit of the BMP: the GBK bytes (0 = not encodable as one or two
// GBK bytes). Built once; about 256 KB.
struct GbkTable {
    std::array<quint16, 65536> code{};
    std::array<quint8, 65536> width{};
};

const GbkTable &gbkTable() {
    static GbkTable *table = [] {
        auto *t = new GbkTable;
        Iconv cd("GBK", "UTF-16LE");
        for (uint u = 0; u < 65536; ++u) {
            if (u < 0x80) {
                t->code[u] = static_cast<quint16>(u);
                t->width[u] = 1;
                continue;
            }
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            if (!cd.valid())
                continue;
            char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            char out[8];
            char *ip = in;
            char *op = out;
            size_t il = 2, ol = sizeof out;
            cd.reset();
            if (iconv(cd.get(), &ip, &il, &op, &ol) == static_cast<size_t>(-1))
                continue;
            const size_t n = sizeof out - ol;
            const auto b0 = static_cast<quint8>(out[0]);
            if (n == 1) {
                t->code[u] = b0;
                t->width[u] = 1;
            } else if (n == 2) {
                t->code[u] = static_cast<quint16>(b0 << 8 | static_cast<quint8>(out[1]));
                t->width[u] = 2;
            }
        }
        return t;
    }();
    return *table;
}

} // namespace

QString decodeAnsi(const QByteArray &bytes) {
    QString result;
    result.reserve(bytes.size());
    Iconv cd("UTF-16LE", "GB18030");
    if (!cd.valid()) {
        for (char c : bytes) {
            const auto b = static_cast<quint8>(c);
            result.append(b < 0x80 ? QChar(b) : QChar(char16_t(kEscapeBase + b)));
        }
        return result;
    }
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    std::array<char, 4096> buf;
    while (inLeft > 0) {
        char *out = buf.data();
        size_t outLeft = buf.size();
        const size_t rc = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
        const size_t produced = buf.size() - outLeft;
        result.append(QStringView(reinterpret_cast<const char16_t *>(buf.data()),
                                  static_cast<qsizetype>(produced / 2)));
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // Invalid or truncated sequence: carry the first byte through as-is.
        result.append(QChar(char16_t(kEscapeBase + static_cast<quint8>(*in))));
        ++in;
        --inLeft;
        cd.reset();
    }
    return result;
}

QByteArray encodeAnsi(const QString &text) {
    QByteArray result;
    result.reserve(text.size() * 2);
    Iconv cd("GB18030", "UTF-16LE");
    const char16_t *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    std::array<char, 4096> buf;
    while (i < n) {
        // Find the next run of encodable text (everything but lone surrogates).
        qsizetype j = i;
        while (j < n) {
            const char16_t u = units[j];
            if (QChar::isHighSurrogate(u) && j + 1 < n && QChar::isLowSurrogate(units[j + 1])) {
                j += 2;
                continue;
            }
            if (QChar::isSurrogate(u))
                break;
            ++j;
        }
        if (j > i && cd.valid()) {
            char *in = reinterpret_cast<char *>(const_cast<char16_t *>(units + i));
            size_t inLeft = static_cast<size_t>(j - i) * 2;
            while (inLeft > 0) {
                char *out = buf.data();
                size_t outLeft = buf.size();
                const size_t rc = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
                result.append(buf.data(), static_cast<qsizetype>(buf.size() - outLeft));
                if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                    result.append('?');
                    in += 2;
                    inLeft -= inLeft >= 2 ? 2 : inLeft;
                    cd.reset();
                }
            }
        }
        if (j < n) {
            const char16_t u = units[j];
            if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF)
                result.append(static_cast<char>(u - kEscapeBase));
            else
                result.append('?');
            ++j;
        }
        i = j;
    }
    return result;
}

int gbkWidth(char16_t unit) {
    return gbkTable().width[unit] == 2 ? 2 : 1;
}

qint16 ansiCode(char16_t unit) {
    const GbkTable &t = gbkTable();
    if (t.width[unit] == 0)
        return '?';
    return static_cast<qint16>(t.code[unit]);
}

} // namespace vantoli
