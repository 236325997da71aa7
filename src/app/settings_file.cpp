#include "app/settings_file.h"

#include "platform/text_file.h"

#include <cmath>

namespace vantoli {
namespace {

constexpr qsizetype kReadBufferChars = 255; // one is taken by the terminating NUL

bool isComment(QStringView trimmed) {
    return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

// Section name of a "[name]" line, or a null view for other lines.
QStringView sectionName(QStringView trimmed) {
    if (trimmed.size() < 2 || !trimmed.startsWith(u'['))
        return {};
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return {};
    return trimmed.mid(1, close - 1).trimmed();
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Splits "key = value" into its trimmed parts; false for lines without "=".
bool splitEntry(QStringView line, QStringView *key, QStringView *value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1).trimmed();
    return true;
}

QString cleanValue(QString v) {
    // A line break inside a value would start a new line in the file.
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    return v;
}

} // namespace

ProfileText::ProfileText(const QString &text) : lines_(splitLines(text)) {}

bool ProfileText::lookup(QStringView section, QStringView key, QString *value) const {
    bool inSection = false;
    for (const QString &raw : lines_) {
        const QStringView line = QStringView(raw).trimmed();
        if (line.isEmpty() || isComment(line))
            continue;
        const QStringView name = sectionName(line);
        if (!name.isNull()) {
            inSection = sameName(name, section);
            continue;
        }
        if (!inSection)
            continue;
        QStringView k, v;
        if (splitEntry(line, &k, &v) && sameName(k, key)) {
            // Surrounding double quotes are not part of the value.
            if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"'))
                v = v.mid(1, v.size() - 2);
            *value = v.toString();
            return true;
        }
    }
    return false;
}

void ProfileText::set(const QString &section, const QString &key, const QString &value) {
    const QString entry = key + u'=' + cleanValue(value);
    bool inSection = false;
    qsizetype insertAt = -1; // after the last non-blank line of the first matching section
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QStringView line = QStringView(lines_.at(i)).trimmed();
        const QStringView name = line.isEmpty() || isComment(line) ? QStringView() : sectionName(line);
        if (!name.isNull()) {
            if (inSection)
                break; // first matching section ended without the key
            inSection = sameName(name, section);
            if (inSection)
                insertAt = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!line.isEmpty())
            insertAt = i + 1;
        QStringView k, v;
        if (!isComment(line) && splitEntry(line, &k, &v) && sameName(k, key)) {
            lines_[i] = k.toString() + u'=' + cleanValue(value);
            return;
        }
    }
    if (insertAt >= 0) {
        lines_.insert(insertAt, entry);
        return;
    }
    lines_.append(u'[' + section + u']');
    lines_.append(entry);
}

QString ProfileText::toText() const {
    QString out;
    for (const QString &l : lines_) {
        out += l;
        out += kCrLf;
    }
    return out;
}

QString readSetting(const QString &path, const QString &section, const QString &key,
                    const QString &defaultValue) {
    const auto text = readTextFile(path);
    QString value;
    if (!text || !ProfileText(*text).lookup(section, key, &value))
        value = defaultValue;
    const qsizetype nul = value.indexOf(QChar(u'\0'));
    if (nul >= 0)
        value.truncate(nul);
    value.truncate(kReadBufferChars - 1);
    return value;
}

std::optional<double> settingNumber(const QString &value) {
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

bool settingIs(const QString &value, int number) {
    const std::optional<double> read = settingNumber(value);
    return read && *read == double(number);
}

bool writeSetting(const QString &path, const QString &section, const QString &key,
                  const QString &value) {
    ProfileText profile(readTextFile(path).value_or(QString()));
    profile.set(section, key, value);
    return writeTextFile(path, profile.toText());
}

} // namespace vantoli
