#pragma once
// The machine identifier sent to the statistics server, its fallback, and the
// scrambled form with its check number.

#include <QList>
#include <QString>

namespace vantoli {

// Source alphabet and the fixed permutation used by scramble(). The reference
// statistics server reverses the scramble with the same two tables.
inline const QString kScrambleAlphabet = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz_.|-");
inline const QString kScramblePermutation = QStringLiteral("tfwbvmu8zq_sge3odc|07rnh4kapix215yjl.-69");

struct AdapterInfo {
    QString hardwareAddress; // "AA:BB:CC:DD:EE:FF"
    bool up = false;
    bool loopback = false;
    bool hasIpAddress = false;
};

// The first adapter that is up, not loopback and has an IP address, as six
// pairs joined by "-"; empty when there is none or its address is one of the
// two placeholder values.
QString pickAdapterIdentifier(const QList<AdapterInfo> &adapters);
QString adapterIdentifier(); // from the system's interfaces
QString fallbackIdentifier(); // time stamp followed by a number 100..999
QString machineIdentifier(); // adapter, else fallback

QString scramble(const QString &text);
QString unscramble(const QString &scrambled);
qint32 checkNumber(const QString &text);

// enid and us of the statistics pings, from main/inst and user/Name.
QString statisticsIdentity(const QString &inst, const QString &user);

} // namespace vantoli
