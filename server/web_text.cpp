#include "web_text.h"

#include "app/text_util.h"
#include "catalog/escape.h"

namespace vantoli::server {

QString html(const QString &text) {
    return htmlEscape(text);
}

QString linkTitle(const QString &plainTitle) {
    QString t = escapeText(plainTitle);
    t.replace(u'-', QStringLiteral("%2D"));
    t.replace(u'/', QStringLiteral("%2F"));
    return t;
}

static bool unreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

static const char kHex[] = "0123456789ABCDEF";

QString encodePath(const QString &path) {
    QString out;
    for (const char c : path.toUtf8()) {
        if (unreserved(c) || c == '/') {
            out += QLatin1Char(c);
        } else {
            const auto b = static_cast<unsigned char>(c);
            out += u'%';
            out += QLatin1Char(kHex[b >> 4]);
            out += QLatin1Char(kHex[b & 15]);
        }
    }
    return out;
}

QString safeUrl(const QString &url) {
    QString out;
    for (const char c : url.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        const bool keep = unreserved(c) || (b > 0x20 && b < 0x7f && QByteArray(":/?=%@!*+,()[]&").contains(c));
        if (keep) {
            out += QLatin1Char(c);
        } else {
            out += u'%';
            out += QLatin1Char(kHex[b >> 4]);
            out += QLatin1Char(kHex[b & 15]);
        }
    }
    return out;
}

QString mediaUrl(const QString &base, const QString &address) {
    // A peer address names a torrent, not a file under the base.
    if (address.startsWith(u"peer://"))
        return address;
    if (address.startsWith(u"http://") || address.startsWith(u"https://"))
        return safeUrl(address);
    return base + QStringLiteral("media/") + encodePath(address);
}

std::string mimeTypeFor(const std::string &fileName) {
    const auto dot = fileName.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
    for (char &c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    static const std::pair<const char *, const char *> types[] = {
        {"mp4", "video/mp4"},       {"m4v", "video/mp4"},        {"webm", "video/webm"},
        {"mkv", "video/x-matroska"}, {"ogv", "video/ogg"},       {"mov", "video/quicktime"},
        {"avi", "video/x-msvideo"}, {"ts", "video/mp2t"},        {"flv", "video/x-flv"},
        {"mpg", "video/mpeg"},      {"mpeg", "video/mpeg"},      {"wmv", "video/x-ms-wmv"},
        {"jpg", "image/jpeg"},      {"jpeg", "image/jpeg"},      {"png", "image/png"},
        {"mp3", "audio/mpeg"},      {"ogg", "audio/ogg"},        {"opus", "audio/ogg"},
        {"exe", "application/octet-stream"}};
    for (const auto &[e, type] : types)
        if (ext == e)
            return type;
    return "application/octet-stream";
}

std::string logField(const std::string &text, size_t max) {
    std::string out;
    for (const char c : text) {
        if (out.size() >= max) {
            out += "...";
            break;
        }
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7f && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

} // namespace vantoli::server
