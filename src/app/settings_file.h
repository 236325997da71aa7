#pragma once
// App.ini: a profile file of "[section]" headers and "key=value" lines.
// Every read goes to the file and every write rewrites it at once, so a value
// written anywhere is seen by the next read everywhere.

#include <QString>
#include <QStringList>

#include <optional>

namespace vantoli {

// Parsed view of a profile file's text, kept line for line so that a write
// changes only the line it must.
class ProfileText {
public:
    explicit ProfileText(const QString &text = {});

    // The value, or nullptr-like absence: returns false when the key is missing.
    bool lookup(QStringView section, QStringView key, QString *value) const;
    void set(const QString &section, const QString &key, const QString &value);
    QString toText() const; // CR LF after every line

private:
    QStringList lines_;
};

// Read setting: the default when the key is missing; the empty string for an
// empty value; otherwise the value cut at its first NUL and to the 254
// characters a 255-character buffer holds.
QString readSetting(const QString &path, const QString &section, const QString &key,
                    const QString &defaultValue = QStringLiteral("0"));
// Write setting: one key, the rest of the file kept as it was. Returns false
// when the file could not be written (callers ignore it).
bool writeSetting(const QString &path, const QString &section, const QString &key,
                  const QString &value);

// A stored value read as a number, the one way every switch and count of
// App.ini is read: blanks around it allowed, decimal with an optional
// fraction or exponent, so "2", " 2" and "2.0" are all 2. Empty for text
// that is no finite number.
std::optional<double> settingNumber(const QString &value);
// Whether the value reads as exactly that number ("2.0" is 2; "2x" is not).
bool settingIs(const QString &value, int number);

// Settings access bound to one file.
class Settings {
public:
    explicit Settings(QString path) : path_(std::move(path)) {}
    QString read(const QString &section, const QString &key,
                 const QString &defaultValue = QStringLiteral("0")) const {
        return readSetting(path_, section, key, defaultValue);
    }
    bool write(const QString &section, const QString &key, const QString &value) const {
        return writeSetting(path_, section, key, value);
    }
    const QString &path() const { return path_; }

private:
    QString path_;
};

} // namespace vantoli
