#include "app/machine_id.h"

#include "platform/ansi_codec.h"

#include <QDateTime>
#include <QNetworkInterface>
#include <QRandomGenerator>

namespace vantoli {

// Both tables hold the same 40 characters.

QString pickAdapterIdentifier(const QList<AdapterInfo> &adapters) {
    for (const AdapterInfo &a : adapters) {
        if (!a.up || a.loopback || !a.hasIpAddress)
            continue;
        QString id = a.hardwareAddress;
        id.replace(u':', u'-');
        if (id.isEmpty() || id.contains(u"00-00-00-00-00-00") || id.contains(u"00-53-45-00-00-00"))
            return {};
        return id;
    }
    return {};
}

QString adapterIdentifier() {
    QList<AdapterInfo> adapters;
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        AdapterInfo a;
        a.hardwareAddress = i.hardwareAddress();
        a.up = i.flags().testFlag(QNetworkInterface::IsUp);
        a.loopback = i.flags().testFlag(QNetworkInterface::IsLoopBack);
        a.hasIpAddress = !i.addressEntries().isEmpty();
        adapters.append(a);
    }
    return pickAdapterIdentifier(adapters);
}

QString fallbackIdentifier() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    const int r = static_cast<int>(QRandomGenerator::global()->bounded(900)) + 100;
    QString s;
    for (int v : {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), r})
        s += QString::number(v);
    return s;
}

QString machineIdentifier() {
    const QString id = adapterIdentifier();
    return id.isEmpty() ? fallbackIdentifier() : id;
}

QString scramble(const QString &text) {
    if (text.isEmpty())
        return QStringLiteral("0");
    QString out;
    out.reserve(text.size());
    for (const QChar c : text.toLower()) {
        const qsizetype k = kScrambleAlphabet.indexOf(c);
        if (k >= 0)
            out.append(kScramblePermutation.at(k));
    }
    return out;
}

QString unscramble(const QString &scrambled) {
    QString out;
    out.reserve(scrambled.size());
    for (const QChar c : scrambled) {
        const qsizetype k = kScramblePermutation.indexOf(c);
        if (k >= 0)
            out.append(kScrambleAlphabet.at(k));
    }
    return out;
}

qint32 checkNumber(const QString &text) {
    qint32 sum = 0;
    for (const QChar c : text)
        sum += ansiCode(c.unicode());
    return sum;
}

QString statisticsIdentity(const QString &inst, const QString &user) {
    return scramble(inst + u'|' + user + QStringLiteral("|1|1.0"));
}

} // namespace vantoli
